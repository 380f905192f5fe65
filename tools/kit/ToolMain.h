// The error conventions of the command-line hosts: what goes to stdout and
// stderr, and the exit status. 0: success; 1: a bad file or effect (the
// message names the file and the cause); 2: a bad argument (the message,
// then the usage of the command).
#pragma once

#include "tools/kit/UsageError.h"

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

class ToolCommandLine;

// Owns a command line. It is deleted where its type is complete, so that a
// program's own files need not compile CLI11, which is slow to compile.
struct ToolCommandLineDelete
{
    void operator()(ToolCommandLine* line) const;
};
using ToolCommandLinePtr = std::unique_ptr<ToolCommandLine, ToolCommandLineDelete>;

namespace ExitStatus
{
constexpr int success = 0;
constexpr int failure = 1;
constexpr int badUsage = 2;
} // namespace ExitStatus

// A file that cannot be read, written or understood: exit status 1.
struct FileError : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

// Parses argv with `line` and answers --version, --help, "help COMMAND"
// and a bare call (usage on stderr, status 2) itself. Otherwise runs `body`
// with the command's name and turns what it throws into a message on
// stderr and the exit status: UsageError 2, Interrupted the signal's own
// ending (see Interruption.h), anything else 1.
int runTool(ToolCommandLine& line, int argc, char** argv, const std::function<int(const std::string& command)>& body);

// "TOOL: warning: TEXT" on stderr, with the name runTool was given.
void printWarning(const std::string& text);
