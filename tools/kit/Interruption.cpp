#include "tools/kit/Interruption.h"

#include <climits>
#include <csignal>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

volatile std::sig_atomic_t guarded = 0;
volatile std::sig_atomic_t requested = 0; // the signal's number
char pendingPath[PATH_MAX + 1];
volatile std::sig_atomic_t pending = 0;

extern "C" void onSignal(int signal)
{
    if (guarded && !requested)
    {
        requested = signal;
        return;
    }
    if (pending)
        unlink(pendingPath);
    std::signal(signal, SIG_DFL);
    raise(signal);
}

void installHandlers()
{
    static const bool installed = [] {
        for (int signal : {SIGINT, SIGTERM, SIGHUP})
        {
            struct sigaction now{}, before{};
            sigaction(signal, nullptr, &before);
            // A signal the caller ignores (nohup) stays ignored.
            if (before.sa_handler == SIG_IGN)
                continue;
            now.sa_handler = onSignal;
            sigemptyset(&now.sa_mask);
            sigaction(signal, &now, nullptr);
        }
        return true;
    }();
    (void)installed;
}

} // namespace

InterruptionGuard::InterruptionGuard()
{
    installHandlers();
    requested = 0;
    guarded = 1;
}

InterruptionGuard::~InterruptionGuard()
{
    guarded = 0;
}

std::string outcomeWithoutOutput(const std::string& output)
{
    struct stat existing{};
    if (stat(output.c_str(), &existing) == 0)
        return "nothing was written; the earlier " + output + " is kept as it was";
    return "nothing was written";
}

bool interruptionRequested()
{
    return requested != 0;
}

void throwIfInterrupted(const std::string& outcome)
{
    if (requested)
        throw Interrupted(requested, outcome);
}

void setPendingFile(const std::string& path)
{
    pending = 0;
    if (path.empty() || path.size() >= sizeof(pendingPath))
        return;
    installHandlers();
    std::memcpy(pendingPath, path.c_str(), path.size() + 1);
    pending = 1;
}

void endAsSignalled(int signal)
{
    std::signal(signal, SIG_DFL);
    raise(signal);
}
