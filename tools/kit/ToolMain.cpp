#include "tools/kit/ToolMain.h"

#include "tools/kit/Interruption.h"
#include "tools/kit/ToolCommandLine.h"

#include <cstdio>
#include <new>

namespace
{
std::string toolName = "tool";

int reportUsageError(const ToolCommandLine& line, const UsageError& e)
{
    std::fprintf(stderr, "%s: %s\n\n%s", toolName.c_str(), e.what(),
                 e.command.empty() ? line.usage().c_str() : line.usageLine(e.command).c_str());
    if (!e.command.empty())
        std::fprintf(stderr, "(%s %s --help lists every option)\n", toolName.c_str(), e.command.c_str());
    return ExitStatus::badUsage;
}
} // namespace

void printWarning(const std::string& text)
{
    std::fprintf(stderr, "%s: warning: %s\n", toolName.c_str(), text.c_str());
}

int runTool(ToolCommandLine& line, int argc, char** argv, const std::function<int(const std::string& command)>& body)
{
    toolName = line.name();
    std::string command;
    try
    {
        const ToolCommandLine::Outcome outcome = line.parse(std::vector<std::string>(argv + 1, argv + argc));
        command = outcome.command;
        if (outcome.version)
        {
            std::printf("%s %s\n", toolName.c_str(), line.version().c_str());
            return ExitStatus::success;
        }
        if (outcome.help)
        {
            std::fputs(line.help(outcome.command).c_str(), stdout);
            return ExitStatus::success;
        }
        if (outcome.command.empty())
        {
            std::fputs(line.usage().c_str(), stderr);
            return ExitStatus::badUsage;
        }
        return body(outcome.command);
    }
    catch (const UsageError& e)
    {
        return reportUsageError(line, e.command.empty() ? UsageError(e.what(), command) : e);
    }
    catch (const Interrupted& e)
    {
        std::fprintf(stderr, "%s: interrupted: %s\n", toolName.c_str(), e.what());
        std::fflush(stderr);
        endAsSignalled(e.signal);
        return 128 + e.signal;
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
