#include "tools/kit/FileChecks.h"

#include "tools/kit/ToolMain.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool isSameFile(const std::filesystem::path& a, const std::filesystem::path& b)
{
    struct stat first{}, second{};
    if (stat(a.c_str(), &first) != 0 || stat(b.c_str(), &second) != 0)
        return false;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

void checkReadable(const std::filesystem::path& path, const std::string& what)
{
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        throw FileError("cannot read " + what + " " + path.string() + ": " + std::strerror(errno));
    struct stat status{};
    const bool statted = fstat(descriptor, &status) == 0;
    const int error = errno;
    close(descriptor);
    if (!statted)
        throw FileError("cannot read " + what + " " + path.string() + ": " + std::strerror(error));
    if (S_ISDIR(status.st_mode))
        throw FileError("cannot read " + what + " " + path.string() + ": is a directory");
}
