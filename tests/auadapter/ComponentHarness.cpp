#include "ComponentHarness.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

std::set<Component> registeredComponents()
{
    std::set<Component> all;
    ComponentDescription any{};
    for (Component c = FindNextComponent(nullptr, &any); c; c = FindNextComponent(c, &any))
        all.insert(c);
    return all;
}

void replaceInFile(const fs::path& file, const std::string& from, const std::string& to)
{
    std::ifstream in(file, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
}

} // namespace

fs::path ComponentHarness::builtBundle()
{
    return DC_AU_BUNDLE;
}

fs::path ComponentHarness::auhost()
{
    return DC_AUHOST;
}

ComponentHarness::ComponentHarness(const BundleOptions& options)
{
    static std::atomic<int> serial{0};
    root = fs::temp_directory_path() / ("au-state-" + std::to_string(getpid()) + "-" + std::to_string(serial++));
    fs::remove_all(root);
    bundlePath = root / "Bundle" / "DitherCrunch.component";
    homePath = root / "home";
    localPath = root / "local";
    fs::create_directories(bundlePath.parent_path());
    fs::copy(builtBundle(), bundlePath, fs::copy_options::recursive);
    if (!options.builtResources)
        for (const fs::directory_entry& item : fs::directory_iterator(resources()))
            if (item.path().extension() == ".aupreset" || item.path().extension() == ".txt")
                fs::remove(item.path());
    fs::create_directories(homePath / "Library" / "Audio");
    fs::create_directories(localPath / "Library" / "Audio");
    if (options.testEffect)
        fs::copy_file(DC_EXTENSION_EFFECT, resources() / "TestEffect.vst");
    const fs::path info = bundlePath / "Contents" / "Info.plist";
    if (options.presetIsFXB)
        replaceInFile(info, "<key>PresetIsFXB</key>\n\t\t<false/>", "<key>PresetIsFXB</key>\n\t\t<true/>");
    if (!options.autoConvert)
        replaceInFile(info, "<key>AutoConvertPresets</key>\n\t\t<true/>", "<key>AutoConvertPresets</key>\n\t\t<false/>");
    setenv("HOME", homePath.c_str(), 1);
    setenv("TWINFOLD_LOCAL_DOMAIN", localPath.c_str(), 1);
}

ComponentHarness::~ComponentHarness()
{
    for (AudioUnit unit : open_)
        CloseComponent(unit);
    std::error_code ec;
    fs::remove_all(root, ec);
}

OSStatus ComponentHarness::open(AudioUnit& unit)
{
    unit = nullptr;
    if (!component)
    {
        const std::set<Component> before = registeredComponents();
        FSRef ref{};
        OSStatus status = FSPathMakeRef(reinterpret_cast<const UInt8*>(bundlePath.c_str()), &ref, nullptr);
        if (status == noErr)
            status = RegisterComponentFileRef(&ref, 0);
        if (status != noErr)
            return status;
        for (Component c : registeredComponents())
            if (!before.count(c))
                component = c;
        if (!component)
            return invalidComponentID;
    }
    const OSStatus status = OpenAComponent(component, &unit);
    if (status == noErr)
        open_.push_back(unit);
    return status;
}

AudioUnit ComponentHarness::open()
{
    AudioUnit unit = nullptr;
    const OSStatus status = open(unit);
    EXPECT_EQ(status, noErr) << "opening " << bundlePath;
    return unit;
}

void ComponentHarness::close(AudioUnit unit)
{
    for (auto it = open_.begin(); it != open_.end(); ++it)
        if (*it == unit)
        {
            open_.erase(it);
            CloseComponent(unit);
            return;
        }
}

fs::path ComponentHarness::userPresets() const
{
    return homePath / "Library" / "Audio" / "Presets" / "Tarnby Audio" / "DitherCrunch";
}

fs::path ComponentHarness::localPresets() const
{
    return localPath / "Library" / "Audio" / "Presets" / "Tarnby Audio" / "DitherCrunch";
}

CFDictionaryRef classInfo(AudioUnit unit)
{
    CFPropertyListRef document = nullptr;
    UInt32 size = sizeof(document);
    EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &document, &size),
              noErr);
    EXPECT_EQ(size, sizeof(document));
    return static_cast<CFDictionaryRef>(document);
}

OSStatus setClassInfo(AudioUnit unit, CFPropertyListRef document)
{
    return AudioUnitSetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &document,
                                sizeof(document));
}

CFMutableDictionaryRef mutableCopy(CFDictionaryRef document, const std::vector<const char*>& without)
{
    CFMutableDictionaryRef copy =
        CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    for (const char* key : {"version", "type", "subtype", "manufacturer", "name", "vstdata", "ProgramNumber"})
    {
        bool skip = false;
        for (const char* w : without)
            skip = skip || std::string(w) == key;
        CFStringRef k = __CFStringMakeConstantString(key);
        if (!skip)
            if (CFTypeRef value = CFDictionaryGetValue(document, k))
                CFDictionarySetValue(copy, k, value);
    }
    return copy;
}

std::vector<uint8_t> dataBytes(CFDictionaryRef document, const char* key)
{
    auto data = static_cast<CFDataRef>(CFDictionaryGetValue(document, __CFStringMakeConstantString(key)));
    if (!data || CFGetTypeID(data) != CFDataGetTypeID())
        return {};
    return std::vector<uint8_t>(CFDataGetBytePtr(data), CFDataGetBytePtr(data) + CFDataGetLength(data));
}

int32_t numberValue(CFDictionaryRef document, const char* key)
{
    auto number = static_cast<CFNumberRef>(CFDictionaryGetValue(document, __CFStringMakeConstantString(key)));
    int32_t value = -999;
    if (number && CFGetTypeID(number) == CFNumberGetTypeID())
        CFNumberGetValue(number, kCFNumberSInt32Type, &value);
    return value;
}

std::string stringValue(CFTypeRef value)
{
    char text[1024] = {};
    if (!value || CFGetTypeID(value) != CFStringGetTypeID() ||
        !CFStringGetCString(static_cast<CFStringRef>(value), text, sizeof(text), kCFStringEncodingUTF8))
        return "<not a string>";
    return text;
}

std::vector<uint8_t> readBytes(const fs::path& file)
{
    // In one read: byte by byte takes seconds for a module in the unoptimised builds.
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    if (!in)
        return {};
    std::vector<uint8_t> bytes(static_cast<size_t>(in.tellg()));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

void writeBytes(const fs::path& file, const std::vector<uint8_t>& bytes)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

CFPropertyListRef readPropertyListFile(const fs::path& file)
{
    const std::vector<uint8_t> bytes = readBytes(file);
    CFDataRef data = CFDataCreate(kCFAllocatorDefault, bytes.data(), static_cast<CFIndex>(bytes.size()));
    CFPropertyListRef list = CFPropertyListCreateFromXMLData(kCFAllocatorDefault, data, kCFPropertyListImmutable, nullptr);
    CFRelease(data);
    return list;
}

std::map<fs::path, std::vector<uint8_t>> snapshot(const fs::path& folder)
{
    std::map<fs::path, std::vector<uint8_t>> files;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec))
            files[it->path()] = readBytes(it->path());
    return files;
}

int run(const std::string& command, std::string& output)
{
    output.clear();
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return -1;
    std::array<char, 4096> buffer;
    size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        output.append(buffer.data(), n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
