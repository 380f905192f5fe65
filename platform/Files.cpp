// Paths, refs and the items themselves: looking up, creating, deleting,
// reading whole files and writing data forks.
#include "platform/Files.h"

#include <cerrno>
#include <climits>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace Files
{

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

namespace
{

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

} // namespace

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

OSStatus createFileWithContents(const FSRef& folder, const std::u16string& name, const void* data, size_t n)
{
    FSRef file;
    if (OSStatus status = createFile(folder, name, &file))
        return status;
    WriteFork fork;
    OSStatus status = fork.open(file);
    if (status == noErr)
        status = fork.write(data, n);
    if (status == noErr)
        status = fork.close();
    if (status != noErr)
        deleteObject(file);
    return status;
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

} // namespace Files
