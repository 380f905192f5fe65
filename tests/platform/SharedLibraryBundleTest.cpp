#include "platform/SharedLibraryBundle.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

class SharedLibraryBundleTest : public ::testing::Test
{
protected:
    void SetUp() override { fs::create_directories(root); }
    void TearDown() override { fs::remove_all(root); }
    void write(const fs::path& path, const std::string& text)
    {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << text;
    }
    SharedLibraryBundle* bundleWithPlist(const std::string& name, const std::string& executable, bool withCode)
    {
        write(root / name / "Contents" / "Info.plist", "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleExecutable</key><string>" +
                                                           executable + "</string></dict></plist>");
        fs::create_directories(root / name / "Contents" / "Resources");
        fs::create_directories(root / name / "Contents" / "x86_64-linux");
        if (withCode)
            fs::copy_file(module, root / name / "Contents" / "x86_64-linux" / (executable + ".so"));
        return SharedLibraryBundle::create(root / name);
    }

    const fs::path module = DC_TEST_MODULE;
    const fs::path root = fs::temp_directory_path() / ("bundles-" + std::to_string(getpid()));
};

TEST_F(SharedLibraryBundleTest, LoadsFindsFunctionsAndUnloads)
{
    SharedLibraryBundle* bundle = SharedLibraryBundle::create(module);
    ASSERT_TRUE(bundle);
    EXPECT_EQ(bundle->getExecutablePath(), module);
    EXPECT_EQ(bundle->getFunctionPointerForName("testModuleMarker"), nullptr) << "nothing before loading";
    ASSERT_TRUE(bundle->loadExecutable());
    auto marker = reinterpret_cast<int (*)()>(bundle->getFunctionPointerForName("testModuleMarker"));
    ASSERT_NE(marker, nullptr);
    EXPECT_EQ(marker(), 42);
    EXPECT_EQ(bundle->getFunctionPointerForName("noSuchFunction"), nullptr);
    EXPECT_EQ(SharedLibraryBundle::imagePathContaining(reinterpret_cast<void*>(marker)), module);
    int onTheStack = 0;
    EXPECT_FALSE(SharedLibraryBundle::imagePathContaining(&onTheStack).has_value());
    bundle->unloadExecutable();
    EXPECT_FALSE(bundle->isExecutableLoaded());
    bundle->retain();
    EXPECT_EQ(bundle->getRetainCount(), 2);
    bundle->release();
    bundle->release(); // destroyed here; ASan would report a leak otherwise
}

TEST_F(SharedLibraryBundleTest, BundleFolderFindsItsCodeThroughInfoPlist)
{
    SharedLibraryBundle* bundle = bundleWithPlist("Effect.vst", "Effect", true);
    ASSERT_TRUE(bundle);
    EXPECT_EQ(bundle->getExecutablePath(), root / "Effect.vst/Contents/x86_64-linux/Effect.so");
    EXPECT_EQ(bundle->getResourcesFolder(), root / "Effect.vst/Contents/Resources");
    EXPECT_EQ(bundle->getInfoDictionaryPath(), root / "Effect.vst/Contents/Info.plist");
    EXPECT_TRUE(bundle->loadExecutable());
    bundle->release();
}

TEST_F(SharedLibraryBundleTest, OnlyUnambiguousLocationsWithCodeAreBundles)
{
    fs::create_directories(root / "One.vst");
    fs::copy_file(module, root / "One.vst" / "One.so");
    SharedLibraryBundle* one = SharedLibraryBundle::create(root / "One.vst");
    ASSERT_TRUE(one);
    EXPECT_EQ(one->getExecutablePath(), root / "One.vst" / "One.so");
    one->release();
    fs::copy_file(module, root / "One.vst" / "Two.so");
    EXPECT_EQ(SharedLibraryBundle::create(root / "One.vst"), nullptr);
    EXPECT_EQ(SharedLibraryBundle::create(root / "missing.so"), nullptr);
    EXPECT_EQ(bundleWithPlist("Named.vst", "Missing", false), nullptr);
    write(root / "Bad.vst" / "Contents" / "Info.plist", "not a property list");
    EXPECT_EQ(SharedLibraryBundle::create(root / "Bad.vst"), nullptr);
}

TEST_F(SharedLibraryBundleTest, FileThatIsNoLibraryFailsToLoadWithAReason)
{
    write(root / "fake.so", "this is text");
    SharedLibraryBundle* bundle = SharedLibraryBundle::create(root / "fake.so");
    ASSERT_TRUE(bundle);
    EXPECT_FALSE(bundle->loadExecutable());
    EXPECT_NE(bundle->getLoadError().find("fake.so"), std::string::npos);
    bundle->release();
}

} // namespace
