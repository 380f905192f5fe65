// The command-line hosts run as a user runs them: through the shell, in a
// folder of the test's own, with stdout and stderr captured apart, and the
// exit status, the signal that ended them and the files they left checked.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/types.h>

struct Outcome
{
    int status = -1;  // exit status, or -1 when a signal ended the process
    int signal = 0;   // the signal that ended it, or 0
    std::string out, err;
    long peakKilobytes = 0; // the process's maximum resident set
};

class ToolProcess
{
public:
    // Runs in `folder` (made if missing); stdout and stderr go to files there.
    explicit ToolProcess(std::filesystem::path folder);

    // Runs `command` (shell syntax) to its end.
    Outcome run(const std::string& command) const;
    // Starts `command` without waiting; its process is the tool itself.
    pid_t start(const std::string& command) const;
    Outcome finish(pid_t process) const;
    // Waits until the process has a file open for writing in `in` (an
    // unnamed file shows as "FOLDER/#INODE (deleted)"): its output is
    // being written. False after `limit`.
    static bool waitForOutput(pid_t process, const std::filesystem::path& in, std::chrono::milliseconds limit);

    // Names of the files in the folder, sorted, without the captured output.
    std::vector<std::string> files() const;
    std::string at(const std::string& name) const { return (folder / name).string(); }
    const std::filesystem::path& where() const { return folder; }

private:
    std::filesystem::path folder;
};

std::string contents(const std::filesystem::path& path);
