// auhost edit: an AudioUnit's editor view in a window of the tool's own.
// Plain types only: auhost.cpp includes this beside the tools' AudioBuffer.
#pragma once

struct AUCommandLine;

// Runs until the window is closed (or SIGINT/SIGTERM). Throws AUError,
// UsageError or EditorWindowError; returns the exit status.
int runAUEdit(const AUCommandLine& line); // [UI thread]
