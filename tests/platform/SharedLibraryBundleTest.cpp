#include "platform/SharedLibraryBundle.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>

namespace fs = std::filesystem;

namespace
{

struct Release
{
    void operator()(CodeBundle* bundle) const { bundle->release(); }
};
using BundlePtr = std::unique_ptr<SharedLibraryBundle, Release>;

class SharedLibraryBundleTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() / ("bundle-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override { fs::remove_all(root); }

    void writeFile(const fs::path& path, const std::string& text)
    {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << text;
    }

    static std::string infoPlist(const std::string& executable)
    {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
               "<key>CFBundleExecutable</key><string>" + executable + "</string></dict></plist>\n";
    }

    const fs::path module = DC_TEST_MODULE;
    fs::path root;
};

TEST_F(SharedLibraryBundleTest, BareLibraryLoadsFindsFunctionsAndUnloads)
{
    BundlePtr bundle(SharedLibraryBundle::create(module));
    ASSERT_TRUE(bundle);
    EXPECT_EQ(bundle->getExecutablePath(), module);
    EXPECT_TRUE(bundle->getResourcesFolder().empty());
    EXPECT_FALSE(bundle->isExecutableLoaded());
    EXPECT_EQ(bundle->getFunctionPointerForName("testModuleMarker"), nullptr) << "nothing before loading";
    ASSERT_TRUE(bundle->loadExecutable());
    EXPECT_TRUE(bundle->isExecutableLoaded());
    auto marker = reinterpret_cast<int (*)()>(bundle->getFunctionPointerForName("testModuleMarker"));
    ASSERT_NE(marker, nullptr);
    EXPECT_EQ(marker(), 42);
    EXPECT_EQ(bundle->getFunctionPointerForName("noSuchFunction"), nullptr);
    EXPECT_EQ(SharedLibraryBundle::imagePathContaining(reinterpret_cast<void*>(marker)), fs::path(module));
    bundle->unloadExecutable();
    EXPECT_FALSE(bundle->isExecutableLoaded());
}

TEST_F(SharedLibraryBundleTest, BundleFolderFindsItsCodeThroughInfoPlist)
{
    const fs::path folder = root / "Effect.vst";
    writeFile(folder / "Contents" / "Info.plist", infoPlist("Effect"));
    fs::create_directories(folder / "Contents" / "Resources");
    fs::create_directories(folder / "Contents" / "x86_64-linux");
    fs::copy_file(module, folder / "Contents" / "x86_64-linux" / "Effect.so");
    BundlePtr bundle(SharedLibraryBundle::create(folder));
    ASSERT_TRUE(bundle);
    EXPECT_EQ(bundle->getExecutablePath(), folder / "Contents" / "x86_64-linux" / "Effect.so");
    EXPECT_EQ(bundle->getResourcesFolder(), folder / "Contents" / "Resources");
    EXPECT_EQ(bundle->getInfoDictionaryPath(), folder / "Contents" / "Info.plist");
    ASSERT_TRUE(bundle->loadExecutable());
    EXPECT_NE(bundle->getFunctionPointerForName("VSTPluginMain"), nullptr);
}

TEST_F(SharedLibraryBundleTest, FolderWithOneLibraryIsABundle)
{
    fs::create_directories(root / "One.vst");
    fs::copy_file(module, root / "One.vst" / "One.so");
    BundlePtr bundle(SharedLibraryBundle::create(root / "One.vst"));
    ASSERT_TRUE(bundle);
    EXPECT_EQ(bundle->getExecutablePath(), root / "One.vst" / "One.so");
}

TEST_F(SharedLibraryBundleTest, LocationsWithoutCodeAreNoBundles)
{
    EXPECT_EQ(SharedLibraryBundle::create(root / "missing.so"), nullptr);
    fs::create_directories(root / "Empty.vst");
    EXPECT_EQ(SharedLibraryBundle::create(root / "Empty.vst"), nullptr);
    fs::create_directories(root / "Two.vst");
    fs::copy_file(module, root / "Two.vst" / "A.so");
    fs::copy_file(module, root / "Two.vst" / "B.so");
    EXPECT_EQ(SharedLibraryBundle::create(root / "Two.vst"), nullptr) << "ambiguous";
    writeFile(root / "Named.vst" / "Contents" / "Info.plist", infoPlist("Missing"));
    fs::create_directories(root / "Named.vst" / "Contents" / "x86_64-linux");
    EXPECT_EQ(SharedLibraryBundle::create(root / "Named.vst"), nullptr);
    writeFile(root / "Bad.vst" / "Contents" / "Info.plist", "not a property list");
    EXPECT_EQ(SharedLibraryBundle::create(root / "Bad.vst"), nullptr);
}

TEST_F(SharedLibraryBundleTest, FileThatIsNoLibraryFailsToLoadWithAReason)
{
    writeFile(root / "fake.so", "this is text");
    BundlePtr bundle(SharedLibraryBundle::create(root / "fake.so"));
    ASSERT_TRUE(bundle);
    EXPECT_FALSE(bundle->loadExecutable());
    EXPECT_FALSE(bundle->isExecutableLoaded());
    EXPECT_FALSE(bundle->getLoadError().empty());
}

TEST_F(SharedLibraryBundleTest, RetainAndReleaseCountReferences)
{
    SharedLibraryBundle* bundle = SharedLibraryBundle::create(module);
    ASSERT_TRUE(bundle);
    EXPECT_EQ(bundle->getRetainCount(), 1);
    bundle->retain();
    EXPECT_EQ(bundle->getRetainCount(), 2);
    bundle->release();
    EXPECT_EQ(bundle->getRetainCount(), 1);
    bundle->release(); // destroyed; ASan reports a leak otherwise
}

TEST(LoadedImages, AddressOutsideAnyImageHasNoPath)
{
    EXPECT_FALSE(SharedLibraryBundle::imagePathContaining(nullptr).has_value());
    int onTheStack = 0;
    EXPECT_FALSE(SharedLibraryBundle::imagePathContaining(&onTheStack).has_value());
}

} // namespace
