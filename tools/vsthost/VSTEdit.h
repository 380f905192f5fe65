// vsthost edit: the effect's editor in a window of the tool's own.
#pragma once

#include "tools/vsthost/CommandLine.h"

// Runs until the window is closed (or SIGINT/SIGTERM). Throws EffectError,
// EditorWindowError or FileError; returns the exit status.
int runVSTEdit(const CommandLine& line); // [UI thread]
