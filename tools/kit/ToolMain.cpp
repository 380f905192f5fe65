#include "tools/kit/ToolMain.h"

#include <cstdio>
#include <new>

namespace
{
std::string toolName = "tool";

int reportUsageError(const ArgumentParser& parser, const UsageError& e)
{
    std::fprintf(stderr, "%s: %s\n\n%s", toolName.c_str(), e.what(),
                 e.command.empty() ? parser.usage().c_str() : parser.usageLine(e.command).c_str());
    if (!e.command.empty())
        std::fprintf(stderr, "(%s %s --help lists every option)\n", toolName.c_str(), e.command.c_str());
    return ExitStatus::badUsage;
}
} // namespace

void printWarning(const std::string& text)
{
    std::fprintf(stderr, "%s: warning: %s\n", toolName.c_str(), text.c_str());
}

int runTool(const ArgumentParser& parser, int argc, char** argv, const std::function<int(const ParsedArguments&)>& body)
{
    toolName = parser.description().name;
    ParsedArguments arguments;
    try
    {
        arguments = parser.parse(std::vector<std::string>(argv + 1, argv + argc));
        if (arguments.version)
        {
            std::printf("%s %s\n", toolName.c_str(), parser.description().version.c_str());
            return ExitStatus::success;
        }
        if (arguments.help)
        {
            std::fputs(parser.help(arguments.command).c_str(), stdout);
            return ExitStatus::success;
        }
        if (arguments.command.empty())
        {
            std::fputs(parser.usage().c_str(), stderr);
            return ExitStatus::badUsage;
        }
        return body(arguments);
    }
    catch (const UsageError& e)
    {
        return reportUsageError(parser, e.command.empty() ? UsageError(e.what(), arguments.command) : e);
    }
    catch (const std::bad_alloc&)
    {
        std::fprintf(stderr, "%s: out of memory\n", toolName.c_str());
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "%s: %s\n", toolName.c_str(), e.what());
    }
    return ExitStatus::failure;
}
