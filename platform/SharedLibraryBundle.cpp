#include "platform/SharedLibraryBundle.h"

#include <dlfcn.h>
#include <plist/plist.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

#if defined(__SANITIZE_ADDRESS__)
#define DC_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DC_ADDRESS_SANITIZER 1
#endif
#endif

namespace
{

bool isRegularFile(const fs::path& p)
{
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

bool isFolder(const fs::path& p)
{
    std::error_code ec;
    return fs::is_directory(p, ec);
}

// CFBundleExecutable of an Info.plist (XML or binary), or empty.
std::string readExecutableName(const fs::path& infoPlist)
{
    std::ifstream in(infoPlist, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.empty() || bytes.size() > (64u << 20))
        return {};
    plist_t root = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    if (!root)
        return {};
    std::unique_ptr<void, void (*)(plist_t)> guard(root, plist_free);
    if (plist_get_node_type(root) != PLIST_DICT)
        return {};
    plist_t item = plist_dict_get_item(root, "CFBundleExecutable");
    if (!item || plist_get_node_type(item) != PLIST_STRING)
        return {};
    char* value = nullptr;
    plist_get_string_val(item, &value);
    std::string name = value ? value : "";
    free(value);
    return name;
}

// The one shared library directly inside `folder`, or empty.
fs::path onlyLibraryIn(const fs::path& folder)
{
    fs::path found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
    {
        if (entry.path().extension() != ".so" || !isRegularFile(entry.path()))
            continue;
        if (!found.empty())
            return {};
        found = entry.path();
    }
    return found;
}

const char* const kCodeFolders[] = {"x86_64-linux", "Linux", "MacOS"};

struct ReleaseBundle
{
    void operator()(CodeBundle* bundle) const { bundle->release(); }
};

} // namespace

SharedLibraryBundle* SharedLibraryBundle::create(const fs::path& location)
{
    std::unique_ptr<SharedLibraryBundle, ReleaseBundle> bundle(new SharedLibraryBundle());
    bundle->bundlePath = location;
    if (isRegularFile(location))
    {
        bundle->executablePath = location;
        return bundle.release();
    }
    if (!isFolder(location))
        return nullptr;

    const fs::path contents = location / "Contents";
    if (isFolder(contents))
    {
        if (isFolder(contents / "Resources"))
            bundle->resourcesFolder = contents / "Resources";
        if (isRegularFile(contents / "Info.plist"))
            bundle->infoDictionaryPath = contents / "Info.plist";
        const std::string name = bundle->infoDictionaryPath.empty() ? std::string() : readExecutableName(bundle->infoDictionaryPath);
        for (const char* codeFolder : kCodeFolders)
        {
            const fs::path folder = contents / codeFolder;
            if (!isFolder(folder))
                continue;
            if (!name.empty())
            {
                for (const fs::path& candidate : {folder / name, folder / (name + ".so")})
                    if (isRegularFile(candidate))
                    {
                        bundle->executablePath = candidate;
                        return bundle.release();
                    }
            }
            else if (fs::path only = onlyLibraryIn(folder); !only.empty())
            {
                bundle->executablePath = only;
                return bundle.release();
            }
        }
        return nullptr;
    }

    fs::path only = onlyLibraryIn(location);
    if (only.empty())
        return nullptr;
    bundle->executablePath = only;
    return bundle.release();
}

std::optional<fs::path> SharedLibraryBundle::imagePathContaining(const void* address)
{
    Dl_info info{};
    if (!address || dladdr(address, &info) == 0 || !info.dli_fname || !*info.dli_fname)
        return std::nullopt;
    return fs::path(info.dli_fname);
}

SharedLibraryBundle::~SharedLibraryBundle() = default;

bool SharedLibraryBundle::loadExecutable()
{
    if (handle)
        return true;
    // RTLD_LOCAL keeps the effect's symbols out of the host's namespace.
    int flags = RTLD_NOW | RTLD_LOCAL;
#if DC_ADDRESS_SANITIZER
    // Under AddressSanitizer the code stays mapped after unloading, so that
    // reports can name its functions and the leak check still sees what the
    // libraries it pulled in (cairo, pixman...) hold in their globals.
    flags |= RTLD_NODELETE;
#endif
    handle = dlopen(executablePath.c_str(), flags);
    if (!handle)
    {
        const char* text = dlerror();
        loadError = text ? text : "unknown error";
        return false;
    }
    loadError.clear();
    return true;
}

void SharedLibraryBundle::unloadExecutable()
{
    if (!handle)
        return;
    dlclose(handle);
    handle = nullptr;
}

void* SharedLibraryBundle::getFunctionPointerForName(const char* name) const
{
    if (!handle || !name)
        return nullptr;
    return dlsym(handle, name);
}
