// Test bundles for the Component Manager tests: a component folder with an
// Info.plist registration and the recording test component as its code.
#pragma once

#include <CoreServices/CoreServices.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace platformtest
{

inline std::filesystem::path tempFolder(const std::string& name)
{
    auto folder = std::filesystem::temp_directory_path() / (name + "-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    return folder;
}

struct Registration
{
    std::string type = "aumf", subtype = "Tst1", manufacturer = "Trnb";
    std::string name = "Tarnby Audio: Test \xE2\x82\xAC"; // UTF-8
    long version = 0x00010000;
    std::string factory = "RecordingEntry";
};

// <folder>/<bundleName>/Contents/{Info.plist, x86_64-linux/Test.so}
inline std::filesystem::path makeBundle(const std::filesystem::path& folder, const std::string& bundleName,
                                        const Registration& r = {})
{
    namespace fs = std::filesystem;
    const fs::path bundle = folder / bundleName;
    fs::create_directories(bundle / "Contents" / "x86_64-linux");
    fs::copy_file(DC_RECORDING_COMPONENT, bundle / "Contents" / "x86_64-linux" / "Test.so",
                  fs::copy_options::overwrite_existing);
    std::ofstream(bundle / "Contents" / "Info.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
           "<key>CFBundleExecutable</key><string>Test.so</string>"
           "<key>CFBundleIdentifier</key><string>com.tarnby.test</string>"
           "<key>AudioComponents</key><array><dict>"
           "<key>type</key><string>"
        << r.type << "</string><key>subtype</key><string>" << r.subtype
        << "</string><key>manufacturer</key><string>" << r.manufacturer << "</string><key>name</key><string>"
        << r.name << "</string><key>version</key><integer>" << r.version
        << "</integer><key>factoryFunction</key><string>" << r.factory << "</string></dict></array></dict></plist>\n";
    return bundle;
}

inline OSErr registerBundle(const std::filesystem::path& bundle)
{
    FSRef ref;
    const OSStatus status = FSPathMakeRef(reinterpret_cast<const UInt8*>(bundle.c_str()), &ref, nullptr);
    if (status != noErr)
        return static_cast<OSErr>(status);
    return RegisterComponentFileRef(&ref, 0);
}

inline constexpr OSType code(const char (&s)[5])
{
    return (OSType(static_cast<unsigned char>(s[0])) << 24) | (OSType(static_cast<unsigned char>(s[1])) << 16) |
           (OSType(static_cast<unsigned char>(s[2])) << 8) | OSType(static_cast<unsigned char>(s[3]));
}

} // namespace platformtest
