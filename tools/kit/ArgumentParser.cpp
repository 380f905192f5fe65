#include "tools/kit/ArgumentParser.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace
{

// A synopsis over several lines, continuation lines indented under the first.
std::string indented(const std::string& prefix, const std::string& synopsis)
{
    std::string text = prefix;
    size_t start = 0;
    for (bool first = true;; first = false)
    {
        const size_t end = synopsis.find('\n', start);
        std::string line = synopsis.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!first)
        {
            line.erase(0, line.find_first_not_of(' '));
            text += std::string(prefix.size() + 2, ' ');
        }
        text += line + "\n";
        if (end == std::string::npos)
            return text;
        start = end + 1;
    }
}

} // namespace

bool ParsedArguments::has(const std::string& name) const
{
    return std::any_of(options.begin(), options.end(), [&](const auto& option) { return option.first == name; });
}

std::string ParsedArguments::value(const std::string& name, const std::string& fallback) const
{
    for (const auto& [option, text] : options)
        if (option == name)
            return text;
    return fallback;
}

std::vector<std::string> ParsedArguments::values(const std::string& name) const
{
    std::vector<std::string> out;
    for (const auto& [option, text] : options)
        if (option == name)
            out.push_back(text);
    return out;
}

ArgumentParser::ArgumentParser(ToolDescription description) : tool(std::move(description))
{
}

const CommandDescription* ArgumentParser::find(const std::string& command) const
{
    for (const CommandDescription& entry : tool.commands)
        if (entry.name == command)
            return &entry;
    return nullptr;
}

ParsedArguments ArgumentParser::parse(const std::vector<std::string>& arguments) const
{
    ParsedArguments parsed;
    if (arguments.empty())
        return parsed;
    const std::string& first = arguments[0];
    if (first == "--version")
    {
        if (arguments.size() > 1)
            throw UsageError("--version takes no arguments");
        parsed.version = true;
        return parsed;
    }
    size_t next = 1;
    if (first == "--help" || first == "-h" || first == "help")
    {
        parsed.help = true;
        if (arguments.size() == 1)
            return parsed;
        if (arguments.size() > 2 || !find(arguments[1]))
            throw UsageError("help takes one command name (" + std::string(first == "help" ? "help" : first) + " COMMAND)");
        parsed.command = arguments[1];
        return parsed;
    }
    const CommandDescription* command = find(first);
    if (!command)
    {
        std::string names;
        for (const CommandDescription& entry : tool.commands)
            names += (names.empty() ? "" : ", ") + entry.name;
        throw UsageError("unknown command \"" + first + "\" (expected " + names + ")");
    }
    parsed.command = first;

    for (size_t i = next; i < arguments.size(); ++i)
    {
        std::string word = arguments[i];
        if (word == "--help" || word == "-h")
        {
            parsed.help = true;
            continue;
        }
        if (word.size() < 2 || word[0] != '-' || (word[1] >= '0' && word[1] <= '9') || word[1] == '.')
        {
            parsed.positionals.push_back(word);
            continue;
        }
        std::string inlineValue;
        bool hasInline = false;
        if (const size_t equals = word.find('='); word.rfind("--", 0) == 0 && equals != std::string::npos)
        {
            inlineValue = word.substr(equals + 1);
            word.resize(equals);
            hasInline = true;
        }
        const auto option = std::find_if(command->options.begin(), command->options.end(),
                                         [&](const OptionDescription& o) { return o.name == word || (!o.shortName.empty() && o.shortName == word); });
        if (option == command->options.end())
        {
            const bool elsewhere = std::any_of(tool.commands.begin(), tool.commands.end(), [&](const CommandDescription& c) {
                return std::any_of(c.options.begin(), c.options.end(), [&](const OptionDescription& o) { return o.name == word || o.shortName == word; });
            });
            throw UsageError(elsewhere ? tool.name + " " + command->name + " does not use " + word : "unknown option " + word, command->name);
        }
        if (!option->repeatable && parsed.has(option->name))
            throw UsageError(word + " given twice", command->name);
        std::string value;
        if (!option->value.empty())
        {
            if (hasInline)
                value = inlineValue;
            else if (i + 1 < arguments.size())
                value = arguments[++i];
            else
                throw UsageError("option " + word + " needs a value (" + option->value + ")", command->name);
        }
        else if (hasInline)
            throw UsageError("option " + word + " takes no value", command->name);
        parsed.options.emplace_back(option->name, value);
    }
    return parsed;
}

std::string ArgumentParser::usageLine(const std::string& command) const
{
    const CommandDescription* description = find(command);
    return description ? indented("usage: " + tool.name + " " + description->name + " ", description->synopsis) : usage();
}

std::string ArgumentParser::usage() const
{
    std::string text = "usage:\n";
    for (const CommandDescription& entry : tool.commands)
        text += indented("  " + tool.name + " " + entry.name + " ", entry.synopsis);
    text += "  " + tool.name + " COMMAND --help | --help | --version\n";
    if (!tool.footer.empty())
        text += "\n" + tool.footer;
    return text;
}

std::string ArgumentParser::help(const std::string& command) const
{
    const CommandDescription* description = find(command);
    if (!description)
        return tool.summary + "\n\n" + usage();
    std::string text = usageLine(command) + "\n" + description->summary + "\n\noptions:\n";
    for (const OptionDescription& option : description->options)
    {
        std::string left = "  " + (option.shortName.empty() ? "" : option.shortName + ", ") + option.name;
        if (!option.value.empty())
            left += " " + option.value;
        if (left.size() < 30)
            left.resize(30, ' ');
        else
            left += "\n" + std::string(30, ' ');
        text += left + option.help + "\n";
    }
    text += "  -h, --help                  this help\n";
    if (!description->details.empty())
        text += "\n" + description->details;
    return text;
}

double parseNumber(const std::string& text, const std::string& what)
{
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(value))
        throw UsageError("bad " + what + ": \"" + text + "\" is not a number");
    return value;
}

int32_t parseInteger(const std::string& text, const std::string& what, int32_t lowest, int32_t highest)
{
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno == ERANGE || value < lowest || value > highest)
        throw UsageError("bad " + what + ": \"" + text + "\" (expected a whole number from " + std::to_string(lowest) + " to " +
                         std::to_string(highest) + ")");
    return static_cast<int32_t>(value);
}

const std::string& onePositional(const ParsedArguments& arguments, const std::string& what, const std::string& unit)
{
    if (arguments.positionals.empty())
        throw UsageError("no " + what + " given");
    if (arguments.positionals.size() > 1)
        throw UsageError("unexpected argument \"" + arguments.positionals[1] + "\" (one " + unit + " per call)");
    return arguments.positionals[0];
}
