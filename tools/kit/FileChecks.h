// Questions about files that the command-line hosts ask before they read
// or write, so that errors name the real cause.
#pragma once

#include <filesystem>
#include <string>

// True when both paths exist and name the same file (same device and inode,
// so hard and symbolic links count).
bool isSameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// Throws FileError "cannot read WHAT PATH: CAUSE" unless `path` opens for
// reading and is not a directory ("is a directory", "No such file or
// directory", "Permission denied", ...).
void checkReadable(const std::filesystem::path& path, const std::string& what);
