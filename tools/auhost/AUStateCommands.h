// auhost's state commands: "save" writes the unit's state (ClassInfo) as an
// .aupreset file, "presets" lists the factory presets, "convert" runs the
// conversion of the VST preset folders and reports it. Also the options
// with which "render" starts from a state file or a factory preset. Plain
// types only: auhost.cpp includes this beside the tools' own AudioBuffer.
#pragma once

#include "tools/kit/ArgumentParser.h"

#include <string>
#include <vector>

std::vector<CommandDescription> stateCommandDescriptions();
// --state and --preset of "render".
std::vector<OptionDescription> renderStateOptions();
bool isStateCommand(const std::string& command);
// Runs "save", "presets" or "convert". Throws UsageError for bad arguments,
// AUError or FileError for a bad component or file.
int runStateCommand(const ParsedArguments& arguments);
