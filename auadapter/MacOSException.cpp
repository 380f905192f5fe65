#include "auadapter/MacOSException.h"

#include <cstdio>

MacOSException::MacOSException(OSStatus status) noexcept : code(status)
{
    text[0] = '\0';
}

const char* MacOSException::what() const noexcept
{
    if (text[0] == '\0')
        std::snprintf(text, sizeof(text), "Mac OS error code %d", static_cast<int>(code));
    return text;
}
