#include "platform/Files.h"


#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <new>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace Files
{

namespace
{

constexpr const char* kFinderInfoAttribute = "user.com.apple.FinderInfo";
constexpr uint16_t kIsInvisible = 0x4000;

OSStatus codeForErrno(int error)
{
    switch (error)
    {
    case ENOENT:
        return fnfErr;
    case ENOTDIR:
        return dirNFErr;
    case EEXIST:
        return dupFNErr;
    case EACCES:
    case EPERM:
    case EROFS:
        return permErr;
    case ENOSPC:
    case EDQUOT:
        return dskFulErr;
    case ENOTEMPTY:
    case EBUSY:
        return fBsyErr;
    case ENAMETOOLONG:
    case EINVAL:
        return bdNamErr;
    case ENOMEM:
        return memFullErr;
    case EISDIR:
        return errFSNotAFile;
    default:
        return ioErr;
    }
}

// One path component: not empty, no "/" or NUL, not "." or "..".
OSStatus componentOf(const std::u16string& name, std::string& out)
{
    if (name.empty())
        return bdNamErr;
    for (size_t i = 0; i < name.size(); ++i)
    {
        char16_t c = name[i];
        bool high = c >= 0xD800 && c < 0xDC00, low = c >= 0xDC00 && c < 0xE000;
        if (low || (high && (i + 1 == name.size() || name[i + 1] < 0xDC00 || name[i + 1] >= 0xE000)))
            return bdNamErr; // a lone surrogate names no file
        if (high)
            ++i;
    }
    out = toUtf8(name);
    if (out == "." || out == ".." || out.find('/') != std::string::npos || out.find('\0') != std::string::npos ||
        out.size() > NAME_MAX)
        return bdNamErr;
    return noErr;
}

OSStatus childPath(const FSRef& folder, const std::u16string& name, fs::path& out)
{
    fs::path folderPath;
    if (OSStatus status = pathOf(folder, folderPath))
        return status;
    std::string component;
    if (OSStatus status = componentOf(name, component))
        return status;
    out = folderPath / component;
    return noErr;
}

uint32_t bigEndian32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

} // namespace

std::string toUtf8(const std::u16string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i)
    {
        uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (c >= 0xD800 && c < 0xE000)
            c = 0xFFFD; // a lone surrogate
        if (c < 0x80)
            out += char(c);
        else if (c < 0x800)
        {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        }
        else if (c < 0x10000)
        {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
        else
        {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

bool fromUtf8(const std::string& text, std::u16string& out)
{
    out.clear();
    size_t i = 0;
    while (i < text.size())
    {
        uint8_t b = uint8_t(text[i]);
        uint32_t c;
        size_t extra;
        if (b < 0x80)
            c = b, extra = 0;
        else if ((b & 0xE0) == 0xC0)
            c = b & 0x1F, extra = 1;
        else if ((b & 0xF0) == 0xE0)
            c = b & 0x0F, extra = 2;
        else if ((b & 0xF8) == 0xF0)
            c = b & 0x07, extra = 3;
        else
            return false;
        if (text.size() - i <= extra)
            return false;
        for (size_t k = 1; k <= extra; ++k)
        {
            uint8_t next = uint8_t(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            c = (c << 6) | (next & 0x3F);
        }
        static constexpr uint32_t smallest[] = {0, 0x80, 0x800, 0x10000};
        if (c < smallest[extra] || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000))
            return false;
        if (c >= 0x10000)
        {
            c -= 0x10000;
            out += char16_t(0xD800 + (c >> 10));
            out += char16_t(0xDC00 + (c & 0x3FF));
        }
        else
            out += char16_t(c);
        i += extra + 1;
    }
    return true;
}

size_t extensionStart(const std::u16string& name)
{
    size_t dot = name.rfind(u'.');
    if (dot == std::u16string::npos || dot == 0)
        return std::u16string::npos;
    return dot + 1;
}

OSStatus pathOf(const FSRef& item, fs::path& path)
{
    uint8_t buffer[PATH_MAX + 1];
    OSStatus status = FSRefMakePath(&item, buffer, sizeof(buffer));
    if (status != noErr)
        return status;
    try
    {
        path = fs::path(reinterpret_cast<const char*>(buffer));
    }
    catch (...)
    {
        return memFullErr;
    }
    return noErr;
}

OSStatus refOf(const fs::path& path, FSRef& out)
{
    return FSPathMakeRef(reinterpret_cast<const uint8_t*>(path.c_str()), &out, nullptr);
}

OSStatus makeRef(const FSRef& folder, const std::u16string& name, FSRef& out)
{
    try
    {
        fs::path path;
        if (OSStatus status = childPath(folder, name, path))
            return status;
        struct stat info;
        if (::lstat(path.c_str(), &info) != 0)
            return errno == ENOTDIR ? fnfErr : codeForErrno(errno);
        return refOf(path, out);
    }
    catch (...)
    {
        return memFullErr;
    }
}

namespace
{

// Makes the item `name` in `folder` with `make`, which answers noErr or the
// failure, and gives its ref in `out` (when not null).
template <typename Make> OSStatus createChild(const FSRef& folder, const std::u16string& name, FSRef* out, Make&& make)
{
    try
    {
        fs::path path;
        if (OSStatus status = childPath(folder, name, path))
            return status;
        if (OSStatus status = make(path))
            return status;
        FSRef ref;
        OSStatus status = refOf(path, ref);
        if (status == noErr && out)
            *out = ref;
        return status;
    }
    catch (...)
    {
        return memFullErr;
    }
}

} // namespace

OSStatus createFile(const FSRef& folder, const std::u16string& name, FSRef* out)
{
    return createChild(folder, name, out, [](const fs::path& path) -> OSStatus {
        int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor < 0)
            return codeForErrno(errno);
        ::close(descriptor);
        return noErr;
    });
}

OSStatus createFolder(const FSRef& folder, const std::u16string& name, FSRef* out)
{
    return createChild(folder, name, out, [](const fs::path& path) -> OSStatus {
        return ::mkdir(path.c_str(), 0777) == 0 ? noErr : codeForErrno(errno);
    });
}

OSStatus deleteObject(const FSRef& item)
{
    try
    {
        fs::path path;
        if (OSStatus status = pathOf(item, path))
            return status;
        struct stat info;
        if (::lstat(path.c_str(), &info) != 0)
            return codeForErrno(errno);
        int result = S_ISDIR(info.st_mode) ? ::rmdir(path.c_str()) : ::unlink(path.c_str());
        return result == 0 ? noErr : codeForErrno(errno);
    }
    catch (...)
    {
        return memFullErr;
    }
}

OSStatus getNameAndParent(const FSRef& item, std::u16string& name, FSRef& parent)
{
    try
    {
        fs::path path;
        if (OSStatus status = pathOf(item, path))
            return status;
        if (!path.has_filename() || path == path.root_path())
            return paramErr; // the root has no parent
        std::u16string converted;
        if (!fromUtf8(path.filename().string(), converted))
            return bdNamErr;
        FSRef folder;
        if (OSStatus status = refOf(path.parent_path(), folder))
            return status;
        name = std::move(converted);
        parent = folder;
        return noErr;
    }
    catch (...)
    {
        return memFullErr;
    }
}

OSStatus readAll(const FSRef& file, std::unique_ptr<uint8_t[]>& bytes, size_t& length)
{
    try
    {
        fs::path path;
        if (OSStatus status = pathOf(file, path))
            return status;
        int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (descriptor < 0)
            return codeForErrno(errno);
        struct stat info;
        OSStatus status = noErr;
        if (::fstat(descriptor, &info) != 0)
            status = codeForErrno(errno);
        else if (!S_ISREG(info.st_mode))
            status = errFSNotAFile;
        std::unique_ptr<uint8_t[]> data;
        size_t size = 0;
        if (status == noErr)
        {
            size = static_cast<size_t>(info.st_size);
            data.reset(new (std::nothrow) uint8_t[size > 0 ? size : 1]);
            if (!data)
                status = memFullErr;
        }
        size_t done = 0;
        while (status == noErr && done < size)
        {
            ssize_t n = ::pread(descriptor, data.get() + done, size - done, static_cast<off_t>(done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                status = codeForErrno(errno);
            else if (n == 0)
                status = eofErr; // the file shrank while being read
            else
                done += static_cast<size_t>(n);
        }
        ::close(descriptor);
        if (status != noErr)
            return status;
        bytes = std::move(data);
        length = size;
        return noErr;
    }
    catch (...)
    {
        return memFullErr;
    }
}

WriteFork::~WriteFork()
{
    close();
}

OSStatus WriteFork::open(const FSRef& file)
{
    if (descriptor >= 0)
        return paramErr;
    try
    {
        fs::path path;
        if (OSStatus status = pathOf(file, path))
            return status;
        descriptor = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (descriptor < 0)
            return codeForErrno(errno);
        struct stat info;
        if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode))
        {
            close();
            return errFSNotAFile;
        }
        return noErr;
    }
    catch (...)
    {
        return memFullErr;
    }
}

OSStatus WriteFork::write(const void* data, size_t n)
{
    if (descriptor < 0 || (!data && n > 0))
        return paramErr;
    const uint8_t* position = static_cast<const uint8_t*>(data);
    while (n > 0)
    {
        ssize_t written = ::write(descriptor, position, n);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return codeForErrno(errno);
        position += written;
        n -= static_cast<size_t>(written);
    }
    return noErr;
}

OSStatus WriteFork::close()
{
    if (descriptor < 0)
        return noErr;
    int result = ::close(descriptor);
    descriptor = -1;
    return result == 0 ? noErr : codeForErrno(errno);
}

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
