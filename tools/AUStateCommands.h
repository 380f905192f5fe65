// auhost's state commands, written against the published AudioUnit calls:
// saving the unit's state (ClassInfo) as an .aupreset file, restoring one
// before rendering, listing and selecting factory presets, and running the
// conversion of the VST preset folders.
#pragma once

#include "tools/AUSession.h"

#include <filesystem>
#include <string>
#include <vector>

// True for "save", "presets" and "convert".
bool isStateCommand(const std::string& command);
// Runs one of them with its arguments (the command first). Returns the exit
// code; throws UsageError for a bad command line, std::exception otherwise.
int runStateCommand(const std::vector<std::string>& arguments);
// The usage lines of the state commands.
// (auhost's usage text lists them too.)
const char* stateCommandsUsage();

// Restores the state document in `file` as the unit's ClassInfo.
void restoreStateFile(AUSession& session, const std::filesystem::path& file);
// Selects factory preset `number` through CurrentPreset.
void selectFactoryPreset(AUSession& session, int32_t number);
// The unit's ClassInfo as XML property-list bytes.
std::vector<uint8_t> stateDocumentBytes(AUSession& session);
// Writes `bytes` to `target` through a file beside it, so that a failure
// leaves an existing file as it was.
void writeFileSafely(const std::filesystem::path& target, const std::vector<uint8_t>& bytes);
