// A small command-line parser shared by the command-line hosts: commands,
// each with the options it accepts, help texts made from the same tables,
// and number parsing whose messages name the bad argument.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// A bad argument: the tool exits with status 2. `command` names the command
// whose help fits the mistake (empty for the tool as a whole).
struct UsageError : std::runtime_error
{
    explicit UsageError(const std::string& message, std::string forCommand = {})
        : std::runtime_error(message), command(std::move(forCommand))
    {
    }
    std::string command;
};

struct OptionDescription
{
    std::string name;      // "--output"
    std::string shortName; // "-o", or empty
    std::string value;     // placeholder such as "FILE"; empty for a flag
    std::string help;
    bool repeatable = false;
};

struct CommandDescription
{
    std::string name;
    std::string synopsis; // what follows the command name in the usage line
    std::string summary;  // one line
    std::vector<OptionDescription> options;
    std::string details; // paragraphs printed after the options
};

struct ToolDescription
{
    std::string name;
    std::string version;
    std::string summary;
    std::vector<CommandDescription> commands;
    std::string footer; // printed under the general usage
};

struct ParsedArguments
{
    std::string command; // empty when none was given
    bool help = false;   // --help, -h or "help [COMMAND]"
    bool version = false;
    std::vector<std::string> positionals;
    // Options in command-line order by their long name; flags have "".
    std::vector<std::pair<std::string, std::string>> options;

    bool has(const std::string& name) const;
    // The value of a non-repeatable option, or `fallback`.
    std::string value(const std::string& name, const std::string& fallback = {}) const;
    std::vector<std::string> values(const std::string& name) const;
};

class ArgumentParser
{
public:
    explicit ArgumentParser(ToolDescription description);

    // Splits `arguments` (without the program name). Throws UsageError for
    // an unknown command, an option the command does not take, a missing
    // value or a non-repeatable option given twice. "--name=value" works
    // like "--name value".
    ParsedArguments parse(const std::vector<std::string>& arguments) const;

    // Every command's usage line and the footer.
    std::string usage() const;
    // One command in full: usage line, summary, options and details.
    std::string help(const std::string& command) const;
    // "usage: TOOL COMMAND SYNOPSIS" for one command.
    std::string usageLine(const std::string& command) const;
    const ToolDescription& description() const { return tool; }

private:
    const CommandDescription* find(const std::string& command) const;
    ToolDescription tool;
};

// Strict number parsing: the whole text, finite, in range. Throw UsageError
// naming `what`.
double parseNumber(const std::string& text, const std::string& what);
int32_t parseInteger(const std::string& text, const std::string& what, int32_t lowest, int32_t highest);
// The single positional argument: "no WHAT given" without one, and a second
// is refused with "(one UNIT per call)". Throws UsageError.
const std::string& onePositional(const ParsedArguments& arguments, const std::string& what, const std::string& unit);
