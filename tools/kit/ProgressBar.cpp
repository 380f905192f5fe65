#include "tools/kit/ProgressBar.h"

#include <algorithm>
#include <unistd.h>

ProgressBar::ProgressBar(std::FILE* out, bool enabled) : stream(out), active(enabled && isatty(fileno(out)))
{
}

ProgressBar::~ProgressBar()
{
    // Unfinished work (an error, an interruption) ends the line where it is.
    if (active)
        std::fputc('\n', stream);
}

void ProgressBar::update(double fraction)
{
    if (!active)
        return;
    const int percent = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 100.0);
    if (percent == shown)
        return;
    shown = percent;
    constexpr int kWidth = 40;
    const int filled = percent * kWidth / 100;
    std::fprintf(stream, "\r[%.*s%*s] %3d%%", filled, "########################################", kWidth - filled, "", percent);
    std::fflush(stream);
}

void ProgressBar::finish()
{
    if (!active)
        return;
    update(1.0);
    std::fputc('\n', stream);
    active = false;
}
