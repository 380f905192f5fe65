// File references inside the library.
#pragma once

#include <CoreServices/Files.h>

#include <filesystem>
#include <optional>

namespace platform
{

// $HOME, else the user's home folder from the password database.
std::filesystem::path homeFolder();
// A reference for an existing item; false when nothing is there.
bool makeRef(const std::filesystem::path& path, FSRef& ref);
std::optional<std::filesystem::path> pathOf(const FSRef& ref);

} // namespace platform
