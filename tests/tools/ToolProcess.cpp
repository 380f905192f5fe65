#include "ToolProcess.h"

#include <algorithm>
#include <csignal>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

std::string contents(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

ToolProcess::ToolProcess(fs::path where) : folder(std::move(where))
{
    fs::create_directories(folder);
}

pid_t ToolProcess::start(const std::string& command) const
{
    const std::string line = "cd '" + folder.string() + "' && exec " + command + " >'" + at("stdout") + "' 2>'" + at("stderr") + "'";
    const char* argv[] = {"/bin/sh", "-c", line.c_str(), nullptr};
    pid_t child = 0;
    if (posix_spawn(&child, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
        return -1;
    return child;
}

Outcome ToolProcess::finish(pid_t process) const
{
    Outcome result;
    int status = 0;
    rusage usage{};
    if (process <= 0 || wait4(process, &status, 0, &usage) != process)
        return result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    result.peakKilobytes = usage.ru_maxrss;
    result.out = contents(at("stdout"));
    result.err = contents(at("stderr"));
    return result;
}

Outcome ToolProcess::run(const std::string& command) const
{
    return finish(start(command));
}

bool ToolProcess::waitForOutput(pid_t process, const fs::path& in, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    const std::string prefix = fs::weakly_canonical(in).string() + "/";
    const fs::path descriptors = "/proc/" + std::to_string(process) + "/fd";
    while (std::chrono::steady_clock::now() < end)
    {
        std::error_code ec;
        for (const fs::directory_entry& entry : fs::directory_iterator(descriptors, ec))
        {
            const std::string target = fs::read_symlink(entry.path(), ec).string();
            if (target.rfind(prefix, 0) == 0 && target.find("stdout") == std::string::npos && target.find("stderr") == std::string::npos)
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

std::vector<std::string> ToolProcess::files() const
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename() != "stdout" && entry.path().filename() != "stderr")
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
