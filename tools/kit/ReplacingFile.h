// A file written without a name and given its final name only once it is
// complete, so that a failed, interrupted or killed run never leaves a
// partial file and never touches an existing file of that name. Where the
// file system has no unnamed files (O_TMPFILE), a hidden file beside the
// target stands in, removed on failure and on interruption.
#pragma once

#include <filesystem>
#include <string>

class ReplacingFile
{
public:
    enum class Temporary
    {
        unnamed, // O_TMPFILE where the file system allows it, else named
        named    // always the hidden ".NAME.partial-XXXXXX" beside the target
    };

    // Opens the file in the folder of `target` (a symbolic link is followed:
    // its target is replaced). Throws FileError naming the cause.
    explicit ReplacingFile(const std::filesystem::path& target, Temporary kind = Temporary::unnamed);
    // Drops the file unless a commit succeeded.
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Open for reading and writing; stays owned by this object.
    int descriptor() const { return fd; }
    bool isUnnamed() const { return temporary.empty(); }
    // Writes all of `data` at the current offset; throws FileError.
    void write(const void* data, size_t length);
    // Flushes the file and gives it the target's name, replacing an existing
    // file in one step. Throws FileError (the target is then unchanged).
    void commit();
    // Flushes the file and gives it the target's name only if no file has
    // it. Throws FileError ("... exists" when one does).
    void commitAsNew();

private:
    void flush();
    [[noreturn]] void fail(const std::string& cause) const;

    std::filesystem::path target;
    std::filesystem::path folder;
    std::string temporary; // the named stand-in, or empty for an unnamed file
    int fd = -1;
    bool committed = false;
};
