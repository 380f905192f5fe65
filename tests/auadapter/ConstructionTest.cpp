// Construction failures with their messages. This test program is itself
// placed inside a component bundle (UnitTest.component/Contents/<arch>/), so
// the component built into it finds that bundle as its own; each case
// rewrites the bundle's Info.plist and Resources before constructing.
#include "RecordingEffect.h"
#include "auadapter/EOFException.h"
#include "auadapter/FormatException.h"
#include "auadapter/MacOSException.h"
#include "auadapter/TwinfoldComponent.h"
#include "auadapter/TwinfoldException.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace
{

std::string configBlock(const std::string& body)
{
    return "<key>TWConfig</key><dict>" + body + "</dict>";
}

const std::string kGoodConfig = configBlock("<key>AutoConvertPresets</key><false/><key>PresetIsFXB</key><false/>"
                                            "<key>UpdateNameOnLoad</key><true/>");

std::string plist(const std::string& extra)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\"><dict><key>CFBundleExecutable</key><string>component_unit_tests</string>" +
           extra + "</dict></plist>\n";
}

class Construction : public ::testing::Test
{
protected:
    void SetUp() override
    {
        bundle = fs::path(DC_UNIT_BUNDLE);
        fs::remove_all(bundle / "Contents" / "Resources");
        fs::create_directories(bundle / "Contents" / "Resources");
        module = dlopen(DC_RECORDING_EFFECT, RTLD_NOW);
        ASSERT_NE(module, nullptr);
        control = reinterpret_cast<RecordingEffectControlFunction>(dlsym(module, "recordingEffectControl"))();
        control->reset();
    }
    void TearDown() override
    {
        if (module)
            dlclose(module);
    }
    void writeInfo(const std::string& text)
    {
        std::ofstream(bundle / "Contents" / "Info.plist", std::ios::binary) << text;
    }
    void linkEffect(const std::string& name)
    {
        fs::create_symlink(DC_RECORDING_EFFECT, bundle / "Contents" / "Resources" / name);
    }
    // The message of the construction failure, and its result code.
    std::string failure()
    {
        try
        {
            TwinfoldComponent component(nullptr);
        }
        catch (const MacOSException& e)
        {
            return "MacOSException " + std::to_string(e.getCode());
        }
        catch (const EOFException& e)
        {
            return std::string("EOFException ") + e.what();
        }
        catch (const FormatException& e)
        {
            return std::string("FormatException ") + e.what();
        }
        catch (const TwinfoldException& e)
        {
            return e.what();
        }
        return "constructed";
    }

    fs::path bundle;
    void* module = nullptr;
    RecordingEffectControl* control = nullptr;
};

TEST_F(Construction, BrokenInfoDictionary)
{
    writeInfo("<?xml version=\"1.0\"?><plist><dict><key>unfinished");
    // Without a readable executable name the code is not found at all.
    EXPECT_EQ(failure(), "Could not create bundle from URL");
    // With the one library of a component bundle it is, and the dictionary is what fails.
    const fs::path library = bundle / "Contents" / "x86_64-linux" / "Only.so";
    std::ofstream(library) << "";
    EXPECT_EQ(failure(), "Could not get info dictionary for bundle");
    fs::remove(library);
}

TEST_F(Construction, MissingConfiguration)
{
    writeInfo(plist(""));
    EXPECT_EQ(failure(), "Missing key in dictionary");
}

struct ConfigCase
{
    const char* body;
    const char* expected;
};

class ConfigurationKeys : public Construction, public ::testing::WithParamInterface<ConfigCase>
{
};

TEST_P(ConfigurationKeys, AreAllRequiredBooleans)
{
    writeInfo(plist(configBlock(GetParam().body)));
    linkEffect("Recording.vst");
    EXPECT_EQ(failure(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    All, ConfigurationKeys,
    ::testing::Values(
        ConfigCase{"<key>PresetIsFXB</key><false/><key>UpdateNameOnLoad</key><true/>", "Missing key in dictionary"},
        ConfigCase{"<key>AutoConvertPresets</key><false/><key>UpdateNameOnLoad</key><true/>", "Missing key in dictionary"},
        ConfigCase{"<key>AutoConvertPresets</key><false/><key>PresetIsFXB</key><false/>", "Missing key in dictionary"},
        ConfigCase{"<key>AutoConvertPresets</key><string>yes</string><key>PresetIsFXB</key><false/>"
                   "<key>UpdateNameOnLoad</key><true/>",
                   "FormatException Value in dictionary is not of expected type"}));

TEST_F(Construction, ConfigurationThatIsNotADictionary)
{
    writeInfo(plist("<key>TWConfig</key><string>on</string>"));
    EXPECT_EQ(failure(), "FormatException Value in dictionary is not of expected type");
}

TEST_F(Construction, NoResourcesFolder)
{
    writeInfo(plist(kGoodConfig));
    fs::remove_all(bundle / "Contents" / "Resources");
    EXPECT_EQ(failure(), "Could not locate resources directory within bundle");
}

TEST_F(Construction, TwoVSTResources)
{
    writeInfo(plist(kGoodConfig));
    linkEffect("One.vst");
    linkEffect("Two.vst");
    EXPECT_EQ(failure(), "Found more than one VST bundle or alias in resources");
}

TEST_F(Construction, VSTResourceThatIsNoBundle)
{
    writeInfo(plist(kGoodConfig));
    fs::create_directories(bundle / "Contents" / "Resources" / "Empty.vst");
    EXPECT_EQ(failure(), "Could not locate VST bundle");
}

TEST_F(Construction, LinkToNothing)
{
    writeInfo(plist(kGoodConfig));
    fs::create_symlink(bundle / "missing.so", bundle / "Contents" / "Resources" / "Gone.vst");
    EXPECT_EQ(failure(), "Could not locate VST bundle");
}

struct ShapeCase
{
    VstInt32 inputs, outputs;
    bool replacing;
    const char* expected;
};

class EffectShapes : public Construction, public ::testing::WithParamInterface<ShapeCase>
{
};

TEST_P(EffectShapes, AreChecked)
{
    writeInfo(plist(kGoodConfig));
    linkEffect("Recording.vst");
    control->inputs = GetParam().inputs;
    control->outputs = GetParam().outputs;
    control->canReplacing = GetParam().replacing;
    EXPECT_EQ(failure(), GetParam().expected);
    // What was opened is closed again.
    EXPECT_EQ(control->count(effOpen), 1);
    EXPECT_EQ(control->count(effClose), 1);
}

INSTANTIATE_TEST_SUITE_P(All, EffectShapes,
                         ::testing::Values(ShapeCase{33, 2, true, "VST has too many inputs"},
                                           ShapeCase{2, 33, true, "VST has too many outputs"},
                                           ShapeCase{2, 2, false, "VST does not support processReplacing()"},
                                           // A good effect gets as far as asking the Component Manager
                                           // about an instance this test does not have.
                                           ShapeCase{32, 32, true, "MacOSException -3000"}));

} // namespace
