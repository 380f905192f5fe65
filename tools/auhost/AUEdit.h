// auhost edit: an AudioUnit's editor view in a window of the tool's own.
// Plain types only: auhost.cpp includes this beside the tools' AudioBuffer.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct AUEditRequest
{
    std::string bundle;
    std::string state; // an .aupreset restored first, or empty
    int32_t preset = -1; // a factory preset selected after the state, or -1
    std::vector<std::pair<std::string, float>> settings; // parameter ID or name, AudioUnit value
    std::string saveOnClose; // the .aupreset written when the window closes, or empty
    bool quiet = false;
};

// Runs until the window is closed (or SIGINT/SIGTERM). Throws AUError or
// EditorWindowError; returns the exit status.
int runAUEdit(const AUEditRequest& request); // [UI thread]
