// A failure carrying a platform result code. Its text is formatted on the
// first call of what().
#pragma once

#include "platform/ResultCodes.h"

#include <exception>

class MacOSException : public std::exception
{
public:
    explicit MacOSException(OSStatus code) noexcept;
    OSStatus getCode() const noexcept { return code; }
    const char* what() const noexcept override;

private:
    OSStatus code;
    mutable char text[256];
};
