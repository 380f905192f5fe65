// File references and folders. An FSRef holds a magic word and the index of
// its path in a process-wide table of interned absolute paths (never freed,
// so a reference stays valid for the life of the process).
#include "FileManager.h"

#include <CoreServices/MacErrors.h>

#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <pwd.h>
#include <string>
#include <system_error>
#include <unistd.h>
#include <unordered_map>

namespace fs = std::filesystem;

namespace
{

constexpr UInt32 kRefMagic = 0x66737266; // 'fsrf'

struct PathTable
{
    std::mutex lock;
    std::deque<std::string> paths;
    std::unordered_map<std::string, UInt32> indices;
};

PathTable& table()
{
    static auto* t = new PathTable();
    return *t;
}

UInt32 intern(const std::string& path)
{
    PathTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto found = t.indices.find(path);
    if (found != t.indices.end())
        return found->second;
    const auto index = static_cast<UInt32>(t.paths.size());
    t.paths.push_back(path);
    t.indices.emplace(path, index);
    return index;
}

bool itemExists(const fs::path& p)
{
    std::error_code ec;
    return fs::exists(fs::symlink_status(p, ec));
}

} // namespace

namespace platform
{

fs::path homeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/";
}

// The item's path with its folder resolved (real path) and its own name kept,
// so that a symbolic link (an alias) stays a reference to the link.
std::optional<fs::path> normalisedPath(const fs::path& path)
{
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec).lexically_normal();
    if (ec)
        return std::nullopt;
    if (absolute.has_filename() == false && absolute != absolute.root_path())
        absolute = absolute.parent_path();
    if (absolute == absolute.root_path())
        return absolute;
    const fs::path folder = fs::canonical(absolute.parent_path(), ec);
    if (ec)
        return std::nullopt;
    return folder / absolute.filename();
}

bool makeRef(const fs::path& path, FSRef& ref)
{
    const auto p = normalisedPath(path);
    if (!p || !itemExists(*p))
        return false;
    std::memset(&ref, 0, sizeof ref);
    const UInt32 index = intern(p->string());
    std::memcpy(ref.hidden, &kRefMagic, 4);
    std::memcpy(ref.hidden + 4, &index, 4);
    return true;
}

std::optional<fs::path> pathOf(const FSRef& ref)
{
    UInt32 magic, index;
    std::memcpy(&magic, ref.hidden, 4);
    std::memcpy(&index, ref.hidden + 4, 4);
    if (magic != kRefMagic)
        return std::nullopt;
    PathTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    if (index >= t.paths.size())
        return std::nullopt;
    return fs::path(t.paths[index]);
}

} // namespace platform

extern "C" {

OSStatus FSPathMakeRef(const UInt8* path, FSRef* ref, Boolean* isDirectory)
{
    if (!path || !ref || !*path)
        return paramErr;
    const fs::path p(reinterpret_cast<const char*>(path));
    if (!platform::makeRef(p, *ref))
        return fnfErr;
    if (isDirectory)
    {
        std::error_code ec;
        *isDirectory = fs::is_directory(p, ec);
    }
    return noErr;
}

OSStatus FSRefMakePath(const FSRef* ref, UInt8* path, UInt32 maxPathSize)
{
    if (!ref || !path || maxPathSize == 0)
        return paramErr;
    const auto p = platform::pathOf(*ref);
    if (!p)
        return errFSBadFSRef;
    const std::string text = p->string();
    if (text.size() >= maxPathSize)
        return pathTooLongErr;
    std::memcpy(path, text.c_str(), text.size() + 1);
    return noErr;
}

OSErr FSFindFolder(short vRefNum, OSType folderType, Boolean createFolder, FSRef* foundRef)
{
    if (!foundRef)
        return paramErr;
    if (folderType != kAudioSupportFolderType)
        return fnfErr;
    fs::path folder;
    switch (vRefNum)
    {
    case kUserDomain:
        folder = platform::homeFolder() / "Library" / "Audio";
        break;
    case kLocalDomain:
    case kOnAppropriateDisk:
    case kOnSystemDisk:
    {
        const char* root = std::getenv("TWINFOLD_LOCAL_DOMAIN");
        folder = fs::path(root && *root ? root : "/") / "Library" / "Audio";
        break;
    }
    default:
        return fnfErr;
    }
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
    {
        if (!createFolder)
            return fnfErr;
        fs::create_directories(folder, ec);
        if (ec || !fs::is_directory(folder, ec))
            return permErr;
    }
    return platform::makeRef(folder, *foundRef) ? noErr : fnfErr;
}

} // extern "C"
