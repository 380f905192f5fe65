// What the layer tells about items: type code and visibility, flat folder
// listings, and aliases followed to their targets.
#include "platform/Files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/xattr.h>

namespace fs = std::filesystem;

namespace Files
{

namespace
{

constexpr const char* kFinderInfoAttribute = "user.com.apple.FinderInfo";
constexpr uint16_t kIsInvisible = 0x4000;

uint32_t bigEndian32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

} // namespace

OSStatus getItemInfo(const FSRef& item, ItemInfo& info)
{
    try
    {
        fs::path path;
        if (OSStatus status = pathOf(item, path))
            return status;
        struct stat own;
        if (::lstat(path.c_str(), &own) != 0)
            return codeForErrno(errno);
        ItemInfo result;
        result.alias = S_ISLNK(own.st_mode);
        struct stat target;
        result.plainFile = ::stat(path.c_str(), &target) == 0 && S_ISREG(target.st_mode);
        std::u16string name;
        if (!fromUtf8(path.filename().string(), name))
            return bdNamErr;
        result.invisible = !name.empty() && name[0] == u'.';
        uint8_t finderInfo[32] = {};
        ssize_t size = ::getxattr(path.c_str(), kFinderInfoAttribute, finderInfo, sizeof(finderInfo));
        if (size >= 4 && result.plainFile)
            result.typeCode = bigEndian32(finderInfo);
        if (size >= 10 && ((uint16_t(finderInfo[8]) << 8 | finderInfo[9]) & kIsInvisible))
            result.invisible = true;
        size_t start = extensionStart(name);
        if (start != std::u16string::npos)
            result.extension = name.substr(start);
        info = std::move(result);
        return noErr;
    }
    catch (...)
    {
        return memFullErr;
    }
}

OSStatus FolderIterator::open(const FSRef& folder)
{
    close();
    try
    {
        fs::path path;
        if (OSStatus status = pathOf(folder, path))
            return status;
        DIR* directory = ::opendir(path.c_str());
        if (!directory)
            return codeForErrno(errno);
        while (dirent* entry = ::readdir(directory))
        {
            if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
                continue;
            items.push_back(path / entry->d_name);
        }
        ::closedir(directory);
        std::sort(items.begin(), items.end());
        opened = true;
        return noErr;
    }
    catch (...)
    {
        close();
        return memFullErr;
    }
}

OSStatus FolderIterator::next(std::vector<FSRef>& batch, size_t max)
{
    batch.clear();
    if (!opened)
        return paramErr;
    try
    {
        while (position < items.size() && batch.size() < max)
        {
            FSRef ref;
            // An item removed since the listing was taken is passed over.
            if (refOf(items[position++], ref) == noErr)
                batch.push_back(ref);
        }
    }
    catch (...)
    {
        return memFullErr;
    }
    return batch.empty() ? OSStatus(errFSNoMoreItems) : OSStatus(noErr);
}

void FolderIterator::close()
{
    items.clear();
    position = 0;
    opened = false;
}

OSStatus resolveAlias(const FSRef& item, FSRef& target)
{
    try
    {
        fs::path path;
        if (OSStatus status = pathOf(item, path))
            return status;
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(path, ec)))
        {
            if (ec)
                return fnfErr;
            target = item;
            return noErr;
        }
        fs::path resolved = fs::canonical(path, ec);
        if (ec)
            return ec.value() == ELOOP ? fnfErr : codeForErrno(ec.value());
        return refOf(resolved, target);
    }
    catch (...)
    {
        return memFullErr;
    }
}

} // namespace Files