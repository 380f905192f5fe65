// auhost's state commands: saving the unit's state (ClassInfo) as an
// .aupreset file, listing factory presets, and running the conversion of
// the VST preset folders. Plain types only: auhost.cpp includes this beside
// the tools' own AudioBuffer.
#pragma once

#include <string>
#include <vector>

// True for "save", "presets" and "convert".
bool isStateCommand(const std::string& command);
// Runs one of them with its arguments (the command first). Returns the exit
// code; throws UsageError for a bad command line, std::exception otherwise.
int runStateCommand(const std::vector<std::string>& arguments);
