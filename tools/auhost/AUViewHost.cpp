#include "tools/auhost/AUViewHost.h"

#include <CoreFoundation/CoreFoundation.h>

#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace
{

std::string text(CFStringRef s)
{
    char buffer[1024] = {};
    if (!s || !CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingUTF8))
        return {};
    return buffer;
}

// CFBundleExecutable of the bundle's Info.plist.
std::string executableName(const fs::path& bundle)
{
    std::ifstream in(bundle / "Contents" / "Info.plist", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(bytes.data()), static_cast<CFIndex>(bytes.size()));
    CFPropertyListRef info = CFPropertyListCreateFromXMLData(nullptr, data, kCFPropertyListImmutable, nullptr);
    CFRelease(data);
    std::string name;
    if (info && CFGetTypeID(info) == CFDictionaryGetTypeID())
    {
        const void* value = CFDictionaryGetValue(static_cast<CFDictionaryRef>(info), CFSTR("CFBundleExecutable"));
        if (value && CFGetTypeID(value) == CFStringGetTypeID())
            name = text(static_cast<CFStringRef>(value));
    }
    if (info)
        CFRelease(info);
    return name;
}

} // namespace

const AUCocoaViewFactory* findViewFactory(AudioUnit unit, std::string& error)
{
    AudioUnitCocoaViewInfo info{};
    UInt32 size = sizeof info;
    const OSStatus status =
        AudioUnitGetProperty(unit, kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, &info, &size);
    if (status != noErr)
    {
        error = "the unit offers no editor view (CocoaUI: error " + std::to_string(status) + ")";
        return nullptr;
    }
    UInt8 path[4096] = {};
    const bool havePath = CFURLGetFileSystemRepresentation(info.mCocoaAUViewBundleLocation, true, path, sizeof path);
    const std::string className = text(info.mCocoaAUViewClass[0]);
    CFRelease(info.mCocoaAUViewBundleLocation);
    CFRelease(info.mCocoaAUViewClass[0]);
    if (!havePath || className.empty())
    {
        error = "the unit's CocoaUI property names no bundle or class";
        return nullptr;
    }
    const fs::path bundle(reinterpret_cast<const char*>(path));
    const std::string executable = executableName(bundle);
    if (executable.empty())
    {
        error = "the view bundle " + bundle.string() + " names no executable";
        return nullptr;
    }
    // Loaded already when the view bundle is the component's own: the loader
    // hands out the same copy. The reference is kept for the process.
    void* module = dlopen((bundle / "Contents" / "x86_64-linux" / executable).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module)
    {
        const char* why = dlerror();
        error = "cannot load the view bundle's code: " + std::string(why ? why : "unknown error");
        return nullptr;
    }
    const auto* factory = static_cast<const AUCocoaViewFactory*>(dlsym(module, className.c_str()));
    if (!factory)
    {
        error = "the view bundle has no class " + className;
        return nullptr;
    }
    if (factory->interfaceVersion() != 0)
    {
        error = "the view factory " + className + " speaks an unknown interface version";
        return nullptr;
    }
    return factory;
}
