// Stand-in for the platform library's FSRef conversions, built only while
// the platform library is not part of the build: a ref holds a magic word
// and the index of its path in a table of interned paths.
#include "platform/FSRefSupport.h"

#include "platform/ResultCodes.h"

#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#if DC_FSREF_STAND_IN

namespace
{

constexpr uint32_t kMagic = 0x46535246; // "FSRF"

struct PathTable
{
    std::mutex lock;
    std::vector<std::string> paths;
    std::unordered_map<std::string, uint32_t> indices;
};

PathTable& table()
{
    static PathTable* instance = new PathTable; // never freed: refs may outlive everything
    return *instance;
}

} // namespace

extern "C" int32_t FSPathMakeRef(const uint8_t* path, FSRef* ref, unsigned char* isDirectory)
{
    if (!path || !ref)
        return paramErr;
    std::error_code ec;
    std::filesystem::path p(reinterpret_cast<const char*>(path));
    std::filesystem::path absolute = std::filesystem::absolute(p, ec);
    if (ec)
        return fnfErr;
    // The folder part is made canonical; the leaf stays as named so that a
    // link can be referred to itself.
    std::filesystem::path parent = absolute.parent_path();
    std::filesystem::path leaf = absolute.filename();
    std::filesystem::path canonicalParent = std::filesystem::canonical(parent, ec);
    if (ec)
        return fnfErr;
    std::filesystem::path full = (leaf.empty() || leaf == ".") ? canonicalParent : canonicalParent / leaf;
    if (leaf == "..")
        full = canonicalParent.parent_path();
    std::filesystem::file_status status = std::filesystem::symlink_status(full, ec);
    if (ec || !std::filesystem::exists(status))
        return fnfErr;
    if (isDirectory)
        *isDirectory = std::filesystem::is_directory(std::filesystem::status(full, ec));
    PathTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto found = t.indices.find(full.string());
    uint32_t index;
    if (found != t.indices.end())
        index = found->second;
    else
    {
        index = static_cast<uint32_t>(t.paths.size());
        t.paths.push_back(full.string());
        t.indices.emplace(full.string(), index);
    }
    std::memset(ref, 0, sizeof(FSRef));
    std::memcpy(ref->hidden, &kMagic, 4);
    std::memcpy(ref->hidden + 4, &index, 4);
    return noErr;
}

extern "C" int32_t FSRefMakePath(const FSRef* ref, uint8_t* path, uint32_t maxSize)
{
    if (!ref || !path)
        return paramErr;
    uint32_t magic, index;
    std::memcpy(&magic, ref->hidden, 4);
    std::memcpy(&index, ref->hidden + 4, 4);
    PathTable& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    if (magic != kMagic || index >= t.paths.size())
        return paramErr;
    const std::string& p = t.paths[index];
    if (p.size() + 1 > maxSize)
        return -2110; // buffer too small
    std::memcpy(path, p.c_str(), p.size() + 1);
    return noErr;
}

#endif
