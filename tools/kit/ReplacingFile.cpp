#include "tools/kit/ReplacingFile.h"

#include "tools/kit/ToolMain.h"

#include <cerrno>
#include <csignal>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// The temporary file of the one ReplacingFile alive, removed when the
// process is interrupted (only async-signal-safe calls in the handler).
char pendingPath[PATH_MAX + 1];
volatile std::sig_atomic_t pending = 0;

extern "C" void removePendingAndDie(int signal)
{
    if (pending)
        unlink(pendingPath);
    std::signal(signal, SIG_DFL);
    raise(signal);
}

void guardAgainstInterrupts(const std::string& path)
{
    static const bool installed = [] {
        for (int signal : {SIGINT, SIGTERM, SIGHUP})
            std::signal(signal, removePendingAndDie);
        return true;
    }();
    (void)installed;
    if (path.size() < sizeof(pendingPath))
    {
        pending = 0;
        std::memcpy(pendingPath, path.c_str(), path.size() + 1);
        pending = 1;
    }
}

} // namespace

ReplacingFile::ReplacingFile(const std::filesystem::path& path)
{
    std::error_code ec;
    target = std::filesystem::is_symlink(path, ec) ? std::filesystem::weakly_canonical(path, ec) : path;
    if (target.empty())
        target = path;
    if (std::filesystem::is_directory(target, ec))
        throw FileError("cannot write " + path.string() + ": is a directory");
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    if (!std::filesystem::is_directory(folder, ec))
        throw FileError("cannot write " + path.string() + ": the folder " + folder.string() + " does not exist");
    temporary = (folder / ("." + target.filename().string() + ".partial-XXXXXX")).string();
    fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        throw FileError("cannot write " + path.string() + ": " + std::strerror(errno));
    // mkostemp creates the file for its owner only: keep the mode of the file
    // replaced, or give a new one the usual mode.
    struct stat existing{};
    if (stat(target.c_str(), &existing) == 0)
        fchmod(fd, existing.st_mode & 07777);
    else
    {
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }
    guardAgainstInterrupts(temporary);
}

ReplacingFile::~ReplacingFile()
{
    if (fd >= 0)
        close(fd);
    if (!committed)
    {
        unlink(temporary.c_str());
        pending = 0;
    }
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
            throw FileError("cannot write " + target.string() + ": " + std::strerror(errno));
        bytes += done;
        length -= static_cast<size_t>(done);
    }
}

void ReplacingFile::commit()
{
    if (fsync(fd) != 0 && errno != EINVAL)
        throw FileError("cannot write " + target.string() + ": " + std::strerror(errno));
    const int closing = close(fd);
    fd = -1;
    if (closing != 0)
        throw FileError("cannot write " + target.string() + ": " + std::strerror(errno));
    if (std::rename(temporary.c_str(), target.c_str()) != 0)
        throw FileError("cannot write " + target.string() + ": " + std::strerror(errno));
    committed = true;
    pending = 0;
}
