// Ctrl-C (SIGINT), SIGTERM and SIGHUP during long work. While an
// InterruptionGuard lives, the first such signal only asks the work to
// stop: the work checks with throwIfInterrupted, which unwinds it (output
// files are dropped on the way) to runTool, which says what happened and
// then ends the process as that signal would have. A second signal, or one
// outside a guard, ends the process at once, removing a pending named
// temporary file first.
#pragma once

#include <stdexcept>
#include <string>

struct Interrupted : std::runtime_error
{
    Interrupted(int signalNumber, const std::string& outcome) : std::runtime_error(outcome), signal(signalNumber) {}
    int signal;
};

class InterruptionGuard
{
public:
    InterruptionGuard();
    ~InterruptionGuard();
    InterruptionGuard(const InterruptionGuard&) = delete;
    InterruptionGuard& operator=(const InterruptionGuard&) = delete;
};

// What an interrupted run leaves of `output`: "nothing was written", and
// that an existing file of that name is kept as it was.
std::string outcomeWithoutOutput(const std::string& output);

// True once a signal has asked the work to stop (for work that ends
// cleanly instead, such as an editor window that closes).
bool interruptionRequested();

// Throws Interrupted with `outcome` (what the interruption left, e.g.
// "nothing was written") once a signal has asked the work to stop.
void throwIfInterrupted(const std::string& outcome);

// A named temporary file removed when a signal ends the process (at most
// one at a time; an empty path clears it). Async-signal-safe removal.
void setPendingFile(const std::string& path);

// Ends the process the way `signal` does by default (the shell sees the
// signal, status 128 + signal); returns only if that signal is blocked.
void endAsSignalled(int signal);
