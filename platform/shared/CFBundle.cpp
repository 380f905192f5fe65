// The main bundle: the .app folder that holds the process's executable at
// X.app/Contents/<folder>/<executable>, with X.app/Contents/Info.plist.
#include "CFPropertyList.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

struct __CFBundle final : cf::CFObject
{
    __CFBundle() : CFObject(cf::kBundleTypeID) { immortal = true; }
    fs::path folder;
    CFDictionaryRef info = nullptr; // owned; null outside an .app
    CFStringRef identifier = nullptr; // inside `info`
};

namespace
{

__CFBundle* makeMainBundle()
{
    auto* bundle = new __CFBundle();
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty())
        return bundle;
    const fs::path contents = exe.parent_path().parent_path();
    const fs::path app = contents.parent_path();
    if (contents.filename() != "Contents" || app.extension() != ".app")
        return bundle;
    CFPropertyListRef info = cf::readPropertyListFile(contents / "Info.plist");
    if (!info)
        return bundle;
    if (CFGetTypeID(info) != cf::kDictionaryTypeID)
    {
        CFRelease(info);
        return bundle;
    }
    bundle->folder = app;
    bundle->info = static_cast<CFDictionaryRef>(info);
    const void* id = CFDictionaryGetValue(bundle->info, CFSTR("CFBundleIdentifier"));
    if (CFGetTypeID(id) == cf::kStringTypeID)
        bundle->identifier = static_cast<CFStringRef>(id);
    return bundle;
}

} // namespace

extern "C" {

CFBundleRef CFBundleGetMainBundle(void)
{
    // Made once, kept for the life of the process.
    static __CFBundle* const mainBundle = makeMainBundle();
    return mainBundle;
}

CFStringRef CFBundleGetIdentifier(CFBundleRef bundle)
{
    const auto* b = cf::as<const __CFBundle>(bundle, cf::kBundleTypeID);
    return b ? b->identifier : nullptr;
}

CFTypeRef CFBundleGetValueForInfoDictionaryKey(CFBundleRef bundle, CFStringRef key)
{
    const auto* b = cf::as<const __CFBundle>(bundle, cf::kBundleTypeID);
    if (!b || !b->info || !key)
        return nullptr;
    return CFDictionaryGetValue(b->info, key);
}

} // extern "C"
