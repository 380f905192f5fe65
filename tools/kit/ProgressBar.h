// A one-line progress bar drawn on a terminal; silent elsewhere.
#pragma once

#include <cstdio>

class ProgressBar
{
public:
    // Draws only when `enabled` and `stream` is a terminal.
    ProgressBar(std::FILE* stream, bool enabled);
    ~ProgressBar();

    // Redraws when the shown percentage changes.
    void update(double fraction);
    void finish();

private:
    std::FILE* stream;
    bool active;
    int shown = -1;
};
