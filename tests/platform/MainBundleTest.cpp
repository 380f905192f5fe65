// The main bundle is the .app folder around the resolved executable.
#include "PlatformTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>

namespace fs = std::filesystem;

namespace
{

std::string run(const fs::path& program)
{
    std::string out;
    FILE* pipe = popen(("'" + program.string() + "'").c_str(), "r");
    if (!pipe)
        return out;
    std::array<char, 256> buffer;
    while (fgets(buffer.data(), buffer.size(), pipe))
        out += buffer.data();
    return pclose(pipe) == 0 ? out : "failed: " + out;
}

fs::path makeApp(const fs::path& folder, const std::string& name, const std::string& identifier,
                 const std::string& version)
{
    const fs::path contents = folder / (name + ".app") / "Contents";
    fs::create_directories(contents / "x86_64-linux");
    fs::copy_file(DC_MAIN_BUNDLE_PROBE, contents / "x86_64-linux" / name);
    std::ofstream(contents / "Info.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
           "<key>CFBundleIdentifier</key><string>"
        << identifier << "</string><key>CFBundleShortVersionString</key><string>" << version
        << "</string></dict></plist>";
    return contents / "x86_64-linux" / name;
}

TEST(MainBundle, IdentifiesTheAppAroundTheResolvedExecutable)
{
    const fs::path folder = platformtest::tempFolder("apps");
    const fs::path logic = makeApp(folder, "Logic Pro", "com.apple.logic.pro", "8.1");
    EXPECT_EQ(run(logic), "com.apple.logic.pro\n8.1\n");
    // Started through a link from outside: the resolved path decides.
    fs::create_symlink(logic, folder / "logic-link");
    EXPECT_EQ(run(folder / "logic-link"), "com.apple.logic.pro\n8.1\n");
    // Outside any .app: a bundle without identifier.
    fs::copy_file(DC_MAIN_BUNDLE_PROBE, folder / "plain");
    EXPECT_EQ(run(folder / "plain"), "(none)\n(none)\n");
    // An .app without Info.plist is no main bundle either.
    const fs::path broken = makeApp(folder, "Broken", "x", "1");
    fs::remove(broken.parent_path().parent_path() / "Info.plist");
    EXPECT_EQ(run(broken), "(none)\n(none)\n");
    fs::remove_all(folder);
}

} // namespace
