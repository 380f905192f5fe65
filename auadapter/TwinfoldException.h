// The adapter's failure with a message of at most 255 characters, held by
// value so that throwing never allocates.
#pragma once

#include <exception>

class TwinfoldException : public std::exception
{
public:
    explicit TwinfoldException(const char* message) noexcept;
    const char* what() const noexcept override;

private:
    char message[256];
};
