// The command line of a host program, on CLI11: commands with the options
// each takes, the usage and help texts made from them, and CLI11's parse
// errors told in the tool's own words ("-o given twice", "vsthost render
// does not use --raw", "option -o needs a value (FILE)").
#pragma once

#include "tools/kit/UsageError.h"

#include <CLI/CLI.hpp>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

// What the help of one command says besides its options.
struct CommandText
{
    std::string synopsis; // what follows "TOOL COMMAND" in the usage, lines split by '\n'
    std::string summary;  // what the command does, one or two lines
    std::string details;  // paragraphs printed after the options
};

class ToolCommandLine
{
public:
    ToolCommandLine(std::string name, std::string version, std::string summary, std::string footer);
    ToolCommandLine(const ToolCommandLine&) = delete;
    ToolCommandLine& operator=(const ToolCommandLine&) = delete;

    // A command, to which the caller adds its options. `positional` names
    // what its single positional argument is ("effect", "component bundle")
    // for the messages about a missing or a second one.
    CLI::App& addCommand(const std::string& name, CommandText text, std::string positional);

    struct Outcome
    {
        std::string command; // empty: none given
        bool help = false;   // --help, -h or "help [COMMAND]"
        bool version = false;
    };
    // Parses `arguments` (without the program name) into the options' bound
    // values. Throws UsageError for an unknown command or option, an option
    // the command does not use, a missing or bad value, an option given twice
    // that is not repeatable, a missing or a second positional argument.
    Outcome parse(const std::vector<std::string>& arguments);

    // Every command's usage line and the footer.
    std::string usage() const;
    // "usage: TOOL COMMAND SYNOPSIS" for one command.
    std::string usageLine(const std::string& command) const;
    // One command in full: usage, summary, options and details.
    std::string help(const std::string& command) const;

    const std::string& name() const { return toolName; }
    const std::string& version() const { return toolVersion; }
    // True when the command's option (any of its names) was given.
    bool given(const std::string& command, const std::string& option) const;

private:
    struct Command
    {
        CLI::App* app;
        CommandText text;
        std::string positional;
        bool helpAsked = false; // its own -h or --help
    };
    const Command* find(const std::string& command) const;
    [[noreturn]] void explain(const CLI::ParseError& error, const std::vector<std::string>& arguments) const;
    void refuseExtras(const std::vector<std::string>& extras, const Command* command) const;

    std::string toolName, toolVersion, toolSummary, toolFooter;
    CLI::App app;
    CLI::App* helpCommand = nullptr;
    std::string helpTopic;
    bool helpFlag = false, versionFlag = false;
    std::deque<Command> commands; // stable addresses: options are bound to helpAsked
};

// Option rows. `names` in CLI11's form: "-o,--output" or "--block".
CLI::Option* addValue(CLI::App& command, const std::string& names, std::string& target, const std::string& placeholder,
                      const std::string& help);
// Given any number of times, one value each.
CLI::Option* addRepeatable(CLI::App& command, const std::string& names, std::vector<std::string>& target,
                           const std::string& placeholder, const std::string& help);
CLI::Option* addFlag(CLI::App& command, const std::string& names, bool& target, const std::string& help);

// Checks of a value as CLI11 runs them; the tool reports a failed one as
// "bad OPTION: MESSAGE". A whole number from `lowest` to `highest`.
CLI::Validator wholeNumberIn(int32_t lowest, int32_t highest);
// A finite number for which `accept` holds; `rule` says which ones do.
CLI::Validator numberWhere(bool (*accept)(double), const std::string& rule);
// One of `names`; `expected` lists them for the message.
CLI::Validator oneOf(std::vector<std::string> names, const std::string& expected);

// Strict number parsing for parts of composite values: the whole text,
// finite, in range. Throw UsageError naming `what`.
double parseNumber(const std::string& text, const std::string& what);
int32_t parseInteger(const std::string& text, const std::string& what, int32_t lowest, int32_t highest);
