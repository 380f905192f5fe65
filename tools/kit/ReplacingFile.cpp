#include "tools/kit/ReplacingFile.h"

#include "tools/kit/Interruption.h"
#include "tools/kit/ToolMain.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

// ".NAME.partial-XXXXXX" with six random characters.
std::string hiddenName(const fs::path& folder, const fs::path& target)
{
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static std::mt19937 random{std::random_device{}()};
    std::string suffix(6, 'x');
    for (char& c : suffix)
        c = kLetters[random() % (sizeof(kLetters) - 1)];
    return (folder / ("." + target.filename().string() + ".partial-" + suffix)).string();
}

std::string procPath(int fd)
{
    return "/proc/self/fd/" + std::to_string(fd);
}

} // namespace

ReplacingFile::ReplacingFile(const fs::path& path, Temporary kind)
{
    std::error_code ec;
    target = fs::is_symlink(path, ec) ? fs::weakly_canonical(path, ec) : path;
    if (target.empty())
        target = path;
    if (fs::is_directory(target, ec))
        throw FileError("cannot write " + path.string() + ": is a directory");
    folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    if (!fs::is_directory(folder, ec))
        throw FileError("cannot write " + path.string() + ": the folder " + folder.string() + " does not exist");

    // An unnamed file is named later through /proc/self/fd.
    if (kind == Temporary::unnamed && access("/proc/self/fd", X_OK) == 0)
    {
        fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            throw FileError("cannot write " + path.string() + ": " + std::strerror(errno));
    }
    if (fd < 0)
    {
        temporary = hiddenName(folder, target);
        fd = open(temporary.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0666);
        if (fd < 0)
            throw FileError("cannot write " + path.string() + ": " + std::strerror(errno));
        setPendingFile(temporary);
    }
    // Keep the mode of a file replaced; a new one has the usual mode.
    struct stat existing{};
    if (stat(target.c_str(), &existing) == 0)
        fchmod(fd, existing.st_mode & 07777);
}

ReplacingFile::~ReplacingFile()
{
    if (fd >= 0)
        close(fd);
    if (!committed && !temporary.empty())
    {
        unlink(temporary.c_str());
        setPendingFile({});
    }
}

void ReplacingFile::fail(const std::string& cause) const
{
    throw FileError("cannot write " + target.string() + ": " + cause);
}

void ReplacingFile::write(const void* data, size_t length)
{
    const char* bytes = static_cast<const char*>(data);
    while (length > 0)
    {
        const ssize_t done = ::write(fd, bytes, length);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            fail(std::strerror(errno));
        bytes += done;
        length -= static_cast<size_t>(done);
    }
}

void ReplacingFile::flush()
{
    if (fsync(fd) != 0 && errno != EINVAL)
        fail(std::strerror(errno));
}

void ReplacingFile::commit()
{
    flush();
    if (temporary.empty())
    {
        // Linked under a hidden name first, then renamed over the target:
        // an existing file is replaced in one step or not at all.
        for (int attempt = 0; temporary.empty(); ++attempt)
        {
            std::string name = hiddenName(folder, target);
            if (linkat(AT_FDCWD, procPath(fd).c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
                temporary = std::move(name);
            else if (errno != EEXIST || attempt == 99)
                fail(std::strerror(errno));
        }
        setPendingFile(temporary);
    }
    if (close(fd) != 0)
    {
        fd = -1;
        fail(std::strerror(errno));
    }
    fd = -1;
    if (std::rename(temporary.c_str(), target.c_str()) != 0)
        fail(std::strerror(errno));
    committed = true;
    setPendingFile({});
}

void ReplacingFile::commitAsNew()
{
    flush();
    if (temporary.empty())
    {
        if (linkat(AT_FDCWD, procPath(fd).c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) != 0)
            fail(errno == EEXIST ? "it exists" : std::strerror(errno));
        committed = true;
        return;
    }
    if (close(fd) != 0)
    {
        fd = -1;
        fail(std::strerror(errno));
    }
    fd = -1;
    if (renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0)
        fail(errno == EEXIST ? "it exists" : std::strerror(errno));
    committed = true;
    setPendingFile({});
}
