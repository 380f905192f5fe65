// A file written beside its final path and moved over it only once it is
// complete, so that a failed or interrupted run never touches an existing
// file of that name.
#pragma once

#include <filesystem>
#include <string>

class ReplacingFile
{
public:
    // Creates a temporary file in the folder of `target` (a symbolic link is
    // followed: its target is replaced). Throws FileError naming the cause.
    explicit ReplacingFile(const std::filesystem::path& target);
    // Removes the temporary file unless commit() succeeded.
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Open for writing; stays owned by this object.
    int descriptor() const { return fd; }
    // Writes all of `data`; throws FileError.
    void write(const void* data, size_t length);
    // Flushes, closes and renames the file over the target. Throws FileError
    // (the target is then unchanged).
    void commit();

private:
    std::filesystem::path target;
    std::string temporary;
    int fd = -1;
    bool committed = false;
};
