// The Component Manager: components registered from bundles' Info.plist
// (AudioComponents), found by description, opened by loading the bundle's
// code and calling its factory function with the standard selectors.
#include "CFPropertyList.h"
#include "ComponentManager.h"
#include "FileManager.h"

#include <CoreServices/CoreServices.h>

#include <algorithm>
#include <deque>
#include <dlfcn.h>
#include <filesystem>
#include <memory>
#include <mutex>
#include <set>
#include <system_error>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define DC_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DC_ADDRESS_SANITIZER 1
#endif
#endif

namespace fs = std::filesystem;

namespace
{

struct Registry
{
    std::recursive_mutex lock;
    // Records live as long as the process: Component pointers stay valid.
    std::deque<ComponentRecord> components;
    std::deque<ComponentInstanceRecord> instances;
    std::set<std::string> bundles;
    bool homeScanned = false;
};

Registry& registry()
{
    static auto* r = new Registry();
    return *r;
}

// A four-character code from a four-character string.
bool fourCharCode(CFTypeRef value, OSType& code)
{
    if (CFGetTypeID(value) != CFStringGetTypeID())
        return false;
    char text[8] = {};
    if (!CFStringGetCString(static_cast<CFStringRef>(value), text, sizeof text, kCFStringEncodingMacRoman) ||
        std::strlen(text) != 4)
        return false;
    code = 0;
    for (int i = 0; i < 4; ++i)
        code = (code << 8) | static_cast<unsigned char>(text[i]);
    return true;
}

const void* valueFor(CFDictionaryRef d, const char* key)
{
    CFStringRef k = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
    const void* v = CFDictionaryGetValue(d, k);
    CFRelease(k);
    return v;
}

std::string stringFor(CFDictionaryRef d, const char* key)
{
    const void* v = valueFor(d, key);
    return CFGetTypeID(v) == CFStringGetTypeID() ? cf::toUTF8(static_cast<CFStringRef>(v)) : std::string();
}

// Registers the bundle at its real path; the registry lock is held.
OSErr registerBundle(const fs::path& location)
{
    Registry& r = registry();
    std::error_code ec;
    const fs::path bundle = fs::canonical(location, ec);
    if (ec || !fs::is_directory(bundle, ec))
        return fnfErr;
    if (r.bundles.count(bundle.string()))
        return noErr;
    CFPropertyListRef info = cf::readPropertyListFile(bundle / "Contents" / "Info.plist");
    if (!info)
        return resFNotFound;
    std::unique_ptr<const void, void (*)(CFTypeRef)> guard(info, CFRelease);
    if (CFGetTypeID(info) != CFDictionaryGetTypeID())
        return resFNotFound;
    const auto dict = static_cast<CFDictionaryRef>(info);
    const void* list = valueFor(dict, "AudioComponents");
    if (CFGetTypeID(list) != CFArrayGetTypeID())
        return resNotFound;
    const std::string executable = stringFor(dict, "CFBundleExecutable");
    if (executable.empty())
        return resNotFound;

    std::vector<ComponentRecord*> added;
    const auto array = static_cast<CFArrayRef>(list);
    for (CFIndex i = 0; i < CFArrayGetCount(array); ++i)
    {
        const void* item = CFArrayGetValueAtIndex(array, i);
        if (CFGetTypeID(item) != CFDictionaryGetTypeID())
            continue;
        const auto entry = static_cast<CFDictionaryRef>(item);
        ComponentDescription d{};
        if (!fourCharCode(valueFor(entry, "type"), d.componentType) ||
            !fourCharCode(valueFor(entry, "subtype"), d.componentSubType) ||
            !fourCharCode(valueFor(entry, "manufacturer"), d.componentManufacturer))
            continue;
        const std::string factory = stringFor(entry, "factoryFunction");
        if (factory.empty())
            continue;
        SInt64 version = 0;
        const void* v = valueFor(entry, "version");
        if (CFGetTypeID(v) == CFNumberGetTypeID())
            CFNumberGetValue(static_cast<CFNumberRef>(v), kCFNumberSInt64Type, &version);
        ComponentRecord& c = r.components.emplace_back();
        c.description = d;
        c.name = stringFor(entry, "name");
        c.version = static_cast<long>(version);
        c.bundlePath = bundle.string();
        c.executablePath = (bundle / "Contents" / "x86_64-linux" / executable).string();
        c.factoryFunction = factory;
        added.push_back(&c);
    }
    if (added.empty())
        return resNotFound;
    r.bundles.insert(bundle.string());
    return noErr;
}

void scanHomeOnce()
{
    Registry& r = registry();
    if (r.homeScanned)
        return;
    r.homeScanned = true;
    const fs::path folder = platform::homeFolder() / "Library" / "Audio" / "Plug-Ins" / "Components";
    std::error_code ec;
    std::vector<fs::path> bundles;
    for (const auto& item : fs::directory_iterator(folder, ec))
        if (item.path().extension() == ".component")
            bundles.push_back(item.path());
    std::sort(bundles.begin(), bundles.end());
    for (const auto& b : bundles)
        registerBundle(b);
}

bool matches(const ComponentDescription& c, const ComponentDescription* looking)
{
    if (!looking)
        return true;
    return (!looking->componentType || looking->componentType == c.componentType) &&
           (!looking->componentSubType || looking->componentSubType == c.componentSubType) &&
           (!looking->componentManufacturer || looking->componentManufacturer == c.componentManufacturer) &&
           (c.componentFlags & looking->componentFlagsMask) ==
               (looking->componentFlags & looking->componentFlagsMask);
}

ComponentRecord* componentOf(Component c)
{
    if (!c)
        return nullptr;
    const UInt32 magic = c->magic.load(std::memory_order_acquire);
    if (magic == platform::kComponentMagic)
        return c;
    // An instance names its component, as on macOS.
    if (magic == platform::kInstanceMagic)
        return reinterpret_cast<ComponentInstanceRecord*>(c)->component;
    return nullptr;
}

void setPascalString(Handle h, const std::string& utf8)
{
    if (!h)
        return;
    std::string bytes;
    if (CFStringRef s = cf::makeStringFromUTF8(utf8))
    {
        char buffer[1024];
        if (CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingMacRoman))
            bytes = buffer;
        CFRelease(s);
    }
    if (bytes.size() > 255)
        bytes.resize(255);
    SetHandleSize(h, static_cast<Size>(bytes.size() + 1));
    if (GetHandleSize(h) != static_cast<Size>(bytes.size() + 1))
        return;
    (*h)[0] = static_cast<char>(bytes.size());
    std::memcpy(*h + 1, bytes.data(), bytes.size());
}

void unloadIfUnused(ComponentRecord& c)
{
    if (c.openInstances > 0 || !c.library)
        return;
    dlclose(c.library);
    c.library = nullptr;
    c.entry = nullptr;
}

} // namespace

extern "C" {

OSErr RegisterComponentFileRef(const FSRef* ref, SInt16)
{
    if (!ref)
        return paramErr;
    const auto path = platform::pathOf(*ref);
    if (!path)
        return paramErr;
    std::lock_guard<std::recursive_mutex> guard(registry().lock);
    return registerBundle(*path);
}

Component FindNextComponent(Component aComponent, ComponentDescription* looking)
{
    Registry& r = registry();
    std::lock_guard<std::recursive_mutex> guard(r.lock);
    scanHomeOnce();
    bool started = aComponent == nullptr;
    for (ComponentRecord& c : r.components)
    {
        if (!started)
        {
            started = &c == aComponent;
            continue;
        }
        if (matches(c.description, looking))
            return &c;
    }
    return nullptr;
}

long CountComponents(ComponentDescription* looking)
{
    Registry& r = registry();
    std::lock_guard<std::recursive_mutex> guard(r.lock);
    scanHomeOnce();
    long count = 0;
    for (const ComponentRecord& c : r.components)
        count += matches(c.description, looking) ? 1 : 0;
    return count;
}

OSErr GetComponentInfo(Component aComponent, ComponentDescription* cd, Handle componentName, Handle componentInfo,
                       Handle)
{
    const ComponentRecord* c = componentOf(aComponent);
    if (!c)
        return invalidComponentID;
    if (cd)
        *cd = c->description;
    setPascalString(componentName, c->name);
    setPascalString(componentInfo, std::string());
    return noErr;
}

OSErr OpenAComponent(Component aComponent, ComponentInstance* ci)
{
    if (!ci)
        return paramErr;
    *ci = nullptr;
    Registry& r = registry();
    ComponentInstanceRecord* instance = nullptr;
    {
        std::lock_guard<std::recursive_mutex> guard(r.lock);
        if (!aComponent || aComponent->magic.load() != platform::kComponentMagic)
            return invalidComponentID;
        ComponentRecord& c = *aComponent;
        if (!c.library)
        {
            int flags = RTLD_NOW | RTLD_LOCAL;
#if DC_ADDRESS_SANITIZER
            // Keep unloaded code mapped so that leak reports can name it.
            flags |= RTLD_NODELETE;
#endif
            c.library = dlopen(c.executablePath.c_str(), flags);
            if (!c.library)
                return unresolvedComponentDLLErr;
            c.entry = reinterpret_cast<ComponentRoutineProcPtr>(dlsym(c.library, c.factoryFunction.c_str()));
            if (!c.entry)
            {
                unloadIfUnused(c);
                return unresolvedComponentDLLErr;
            }
        }
        instance = &r.instances.emplace_back();
        instance->component = &c;
        instance->entry = c.entry;
        ++c.openInstances;
    }
    // Called outside the lock: the component may use the Component Manager.
    const ComponentResult result = platform::callComponent(instance, kComponentOpenSelect);
    if (result != noErr)
    {
        // As on macOS, a failed open is followed by close.
        platform::callComponent(instance, kComponentCloseSelect);
        std::lock_guard<std::recursive_mutex> guard(r.lock);
        instance->magic.store(platform::kClosedInstanceMagic, std::memory_order_release);
        --instance->component->openInstances;
        unloadIfUnused(*instance->component);
        return static_cast<OSErr>(result);
    }
    *ci = instance;
    return noErr;
}

OSErr CloseComponent(ComponentInstance aComponentInstance)
{
    ComponentInstanceRecord* instance = platform::openInstance(aComponentInstance);
    if (!instance)
        return static_cast<OSErr>(badComponentInstance);
    const ComponentResult result = platform::callComponent(instance, kComponentCloseSelect);
    std::lock_guard<std::recursive_mutex> guard(registry().lock);
    instance->magic.store(platform::kClosedInstanceMagic, std::memory_order_release);
    instance->storage.store(nullptr);
    --instance->component->openInstances;
    unloadIfUnused(*instance->component);
    return static_cast<OSErr>(result);
}

long GetComponentVersion(ComponentInstance aComponentInstance)
{
    ComponentInstanceRecord* instance = platform::openInstance(aComponentInstance);
    if (!instance)
        return badComponentInstance;
    return platform::callComponent(instance, kComponentVersionSelect);
}

long ComponentFunctionImplemented(ComponentInstance ci, SInt16 ftnNumber)
{
    ComponentInstanceRecord* instance = platform::openInstance(ci);
    if (!instance)
        return 0;
    return platform::callComponent(instance, kComponentCanDoSelect, ftnNumber);
}

Handle GetComponentInstanceStorage(ComponentInstance aComponentInstance)
{
    ComponentInstanceRecord* instance = platform::openInstance(aComponentInstance);
    return instance ? instance->storage.load(std::memory_order_acquire) : nullptr;
}

void SetComponentInstanceStorage(ComponentInstance aComponentInstance, Handle theStorage)
{
    if (ComponentInstanceRecord* instance = platform::openInstance(aComponentInstance))
        instance->storage.store(theStorage, std::memory_order_release);
}

} // extern "C"
