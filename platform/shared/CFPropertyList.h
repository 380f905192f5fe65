// Reading property lists inside the library.
#pragma once

#include "CFRuntime.h"

#include <filesystem>
#include <string>

namespace cf
{

// A CF value (caller owns) from XML or binary property-list bytes; null with
// `error` set on failure.
CFPropertyListRef readPropertyList(const void* bytes, size_t length, bool mutableContainers, std::string& error);
// The same for a file; null when it is missing or unreadable.
CFPropertyListRef readPropertyListFile(const std::filesystem::path& file);

} // namespace cf
