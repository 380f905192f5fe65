#include "auadapter/TwinfoldException.h"

#include <cstring>

TwinfoldException::TwinfoldException(const char* text) noexcept
{
    const size_t length = text ? strnlen(text, sizeof(message) - 1) : 0;
    if (length)
        std::memcpy(message, text, length);
    message[length] = '\0';
}

const char* TwinfoldException::what() const noexcept
{
    return message;
}
