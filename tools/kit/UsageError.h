// A bad argument: the tool exits with status 2 and shows the usage of
// `command` (the whole tool's when empty).
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

struct UsageError : std::runtime_error
{
    explicit UsageError(const std::string& message, std::string forCommand = {})
        : std::runtime_error(message), command(std::move(forCommand))
    {
    }
    std::string command;
};
