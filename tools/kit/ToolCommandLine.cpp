#include "tools/kit/ToolCommandLine.h"
#include "tools/kit/ToolMain.h"

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

bool looksLikeOption(const std::string& word)
{
    return word.size() > 1 && word[0] == '-' && !(word[1] >= '0' && word[1] <= '9') && word[1] != '.';
}

// The option name in a word: "--output" of "--output=x", "-o" of "-ox".
std::string optionNameIn(const std::string& word)
{
    if (word.rfind("--", 0) == 0)
        return word.substr(0, word.find('='));
    return word.substr(0, 2);
}

bool names(const CLI::Option& option, const std::string& word)
{
    if (!looksLikeOption(word))
        return false;
    const std::string name = optionNameIn(word);
    return name.rfind("--", 0) == 0 ? option.check_lname(name.substr(2)) : option.check_sname(name.substr(1));
}

bool isHelpFlag(const CLI::Option& option)
{
    return option.check_lname("help");
}

const CLI::Option* firstPositional(const CLI::App& command)
{
    for (const CLI::Option* option : command.get_options())
        if (!option->nonpositional())
            return option;
    return nullptr;
}

} // namespace

void ToolCommandLineDelete::operator()(ToolCommandLine* line) const
{
    delete line;
}

ToolCommandLine::ToolCommandLine(std::string name, std::string version, std::string summary, std::string footer)
    : toolName(std::move(name)), toolVersion(std::move(version)), toolSummary(std::move(summary)), toolFooter(std::move(footer)),
      app(toolSummary, toolName)
{
    app.set_help_flag();
    app.allow_extras();
    app.require_subcommand(0, 1);
    app.add_flag("-h,--help", helpFlag)->disable_flag_override();
    app.add_flag("--version", versionFlag)->disable_flag_override();
    helpCommand = app.add_subcommand("help");
    helpCommand->set_help_flag();
    helpCommand->allow_extras();
    helpCommand->add_option("COMMAND", helpTopic);
}

CLI::App& ToolCommandLine::addCommand(const std::string& name, CommandText text, std::string positional)
{
    CLI::App* command = app.add_subcommand(name, text.summary);
    command->set_help_flag();
    command->allow_extras();
    commands.push_back({command, std::move(text), std::move(positional)});
    return *command;
}

const ToolCommandLine::Command* ToolCommandLine::find(const std::string& command) const
{
    for (const Command& entry : commands)
        if (entry.app->get_name() == command)
            return &entry;
    return nullptr;
}

bool ToolCommandLine::given(const std::string& command, const std::string& option) const
{
    const Command* entry = find(command);
    const CLI::Option* found = entry ? entry->app->get_option_no_throw(option) : nullptr;
    return found && found->count() > 0;
}

ToolCommandLine::Outcome ToolCommandLine::parse(const std::vector<std::string>& arguments)
{
    // Each command's -h is added here, last, so that it does not lead the
    // option rows of its help.
    for (Command& entry : commands)
        if (!entry.app->get_option_no_throw("--help"))
            entry.app->add_flag("-h,--help", entry.helpAsked, "this help")->disable_flag_override();
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try
    {
        app.parse(reversed);
    }
    catch (const CLI::ParseError& e)
    {
        explain(e, arguments);
    }

    Outcome outcome;
    const Command* chosen = nullptr;
    for (const Command& entry : commands)
        if (entry.app->parsed())
            chosen = &entry;
    if (versionFlag)
    {
        if (arguments.size() > 1)
            throw UsageError("--version takes no arguments");
        outcome.version = true;
        return outcome;
    }
    if (helpCommand->parsed() || (helpFlag && !chosen))
    {
        const bool named = helpCommand->parsed() ? !helpTopic.empty() : !app.remaining().empty();
        const std::string topic = helpCommand->parsed() ? helpTopic : named ? app.remaining().front() : std::string();
        if ((helpCommand->parsed() && !helpCommand->remaining().empty()) || app.remaining().size() > 1 || (named && !find(topic)))
            throw UsageError(std::string("help takes one command name (") + (helpCommand->parsed() ? "help" : "--help") + " COMMAND)");
        outcome.help = true;
        outcome.command = topic;
        return outcome;
    }
    refuseExtras(app.remaining(), nullptr);
    if (!chosen)
        return outcome;
    outcome.command = chosen->app->get_name();
    if (chosen->helpAsked || helpFlag)
    {
        outcome.help = true;
        return outcome;
    }
    refuseExtras(chosen->app->remaining(), chosen);
    const CLI::Option* positional = firstPositional(*chosen->app);
    if (positional && positional->count() == 0)
        throw UsageError("no " + chosen->positional + " given", outcome.command);
    return outcome;
}

void ToolCommandLine::refuseExtras(const std::vector<std::string>& extras, const Command* command) const
{
    if (extras.empty())
        return;
    const std::string& first = extras.front();
    if (!command)
    {
        if (looksLikeOption(first))
            throw UsageError("unknown option " + optionNameIn(first));
        std::string list;
        for (const Command& entry : commands)
            list += (list.empty() ? "" : ", ") + entry.app->get_name();
        throw UsageError("unknown command \"" + first + "\" (expected " + list + ")");
    }
    const std::string name = command->app->get_name();
    if (looksLikeOption(first))
    {
        const std::string option = optionNameIn(first);
        const bool elsewhere = std::any_of(commands.begin(), commands.end(), [&](const Command& entry) {
            const auto& options = entry.app->get_options();
            return std::any_of(options.begin(), options.end(), [&](const CLI::Option* o) { return names(*o, option); });
        });
        throw UsageError(elsewhere ? toolName + " " + name + " does not use " + option : "unknown option " + option, name);
    }
    const std::string unit = command->positional.substr(command->positional.rfind(' ') + 1);
    throw UsageError("unexpected argument \"" + first + "\" (one " + unit + " per call)", name);
}

void ToolCommandLine::explain(const CLI::ParseError& error, const std::vector<std::string>& arguments) const
{
    std::string name;
    const CLI::App* active = &app;
    for (const Command& entry : commands)
        if (entry.app->parsed())
        {
            active = entry.app;
            name = entry.app->get_name();
        }
    if (dynamic_cast<const CLI::ValidationError*>(&error) || dynamic_cast<const CLI::ConversionError*>(&error))
        throw UsageError(std::string("bad ") + error.what(), name);
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error))
    {
        for (const CLI::Option* option : active->get_options())
        {
            if (option->get_multi_option_policy() != CLI::MultiOptionPolicy::Throw || option->count() < 2)
                continue;
            int seen = 0;
            for (const std::string& word : arguments)
                if (names(*option, word) && ++seen == 2)
                    throw UsageError(optionNameIn(word) + " given twice", name);
        }
        for (const std::string& word : arguments)
            for (const CLI::Option* option : active->get_options())
                if (names(*option, word) && word.find('=') != std::string::npos && option->get_expected_max() == 0)
                    throw UsageError("option " + optionNameIn(word) + " takes no value", name);
        if (!arguments.empty())
            for (const CLI::Option* option : active->get_options())
                if (names(*option, arguments.back()) && option->get_expected_max() > 0)
                    throw UsageError("option " + arguments.back() + " needs a value (" + option->get_type_name() + ")", name);
    }
    throw UsageError(error.what(), name);
}

std::string ToolCommandLine::usageLine(const std::string& command) const
{
    const Command* entry = find(command);
    return entry ? indented("usage: " + toolName + " " + command + " ", entry->text.synopsis) : usage();
}

std::string ToolCommandLine::usage() const
{
    std::string text = "usage:\n";
    for (const Command& entry : commands)
        text += indented("  " + toolName + " " + entry.app->get_name() + " ", entry.text.synopsis);
    text += "  " + toolName + " COMMAND --help | --help | --version\n";
    if (!toolFooter.empty())
        text += "\n" + toolFooter;
    return text;
}

std::string ToolCommandLine::help(const std::string& command) const
{
    const Command* entry = find(command);
    if (!entry)
        return toolSummary + "\n\n" + usage();
    std::string text = usageLine(command) + "\n" + entry->text.summary + "\n\noptions:\n";
    for (const CLI::Option* option : entry->app->get_options())
    {
        if (!option->nonpositional() || isHelpFlag(*option))
            continue;
        std::string left = "  ";
        for (const std::string& s : option->get_snames())
            left += "-" + s + ", ";
        for (const std::string& l : option->get_lnames())
            left += "--" + l;
        if (option->get_expected_max() > 0)
            left += " " + option->get_type_name();
        if (left.size() < 30)
            left.resize(30, ' ');
        else
            left += "\n" + std::string(30, ' ');
        text += left + option->get_description() + "\n";
    }
    text += "  -h, --help                  this help\n";
    if (!entry->text.details.empty())
        text += "\n" + entry->text.details;
    return text;
}

CLI::Option* addValue(CLI::App& command, const std::string& names, std::string& target, const std::string& placeholder,
                      const std::string& help)
{
    return command.add_option(names, target, help)->type_name(placeholder);
}

CLI::Option* addRepeatable(CLI::App& command, const std::string& names, std::vector<std::string>& target,
                           const std::string& placeholder, const std::string& help)
{
    return command.add_option(names, target, help)->type_name(placeholder)->allow_extra_args(false);
}

CLI::Option* addFlag(CLI::App& command, const std::string& names, bool& target, const std::string& help)
{
    return command.add_flag(names, target, help)->disable_flag_override()->multi_option_policy(CLI::MultiOptionPolicy::Throw);
}

CLI::Validator wholeNumberIn(int32_t lowest, int32_t highest)
{
    return CLI::Validator(
        [lowest, highest](std::string& text) -> std::string {
            errno = 0;
            char* end = nullptr;
            const long value = std::strtol(text.c_str(), &end, 10);
            if (text.empty() || *end != '\0' || errno == ERANGE || value < lowest || value > highest)
                return "\"" + text + "\" (expected a whole number from " + std::to_string(lowest) + " to " + std::to_string(highest) + ")";
            return {};
        },
        "", "");
}

CLI::Validator numberWhere(bool (*accept)(double), const std::string& rule)
{
    return CLI::Validator(
        [accept, rule](std::string& text) -> std::string {
            errno = 0;
            char* end = nullptr;
            const double value = std::strtod(text.c_str(), &end);
            if (text.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(value))
                return "\"" + text + "\" is not a number";
            return accept(value) ? std::string() : rule;
        },
        "", "");
}

CLI::Validator oneOf(std::vector<std::string> names, const std::string& expected)
{
    return CLI::Validator(
        [names = std::move(names), expected](std::string& text) -> std::string {
            return std::find(names.begin(), names.end(), text) != names.end() ? std::string()
                                                                              : "\"" + text + "\" (expected " + expected + ")";
        },
        "", "");
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
