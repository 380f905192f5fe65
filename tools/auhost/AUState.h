// The unit's state through the published calls, for auhost's commands and
// for rendering: ClassInfo to and from .aupreset files, VST preset files
// wrapped as state documents, factory presets and parameter settings.
#pragma once

#include "tools/auhost/AUSession.h"
#include "tools/kit/HostOptions.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct AUCommandLine;

// The whole file (at most 256 MB). Throws FileError naming the cause.
std::vector<uint8_t> readWholeFile(const std::filesystem::path& file);
// A property list, XML or binary, owned by the caller. Throws AUError
// "WHAT is not a property list (...)".
CFPropertyListRef parsePropertyList(const std::vector<uint8_t>& bytes, const std::string& what);
// "program" or "bank" for the bytes of an FXP or FXB record, else empty.
std::string vstPresetKind(const std::vector<uint8_t>& bytes);

// Restores the state document in `file` as the unit's ClassInfo. An FXP or
// FXB file is a UsageError that names --preset and convert. Throws AUError
// or FileError for a file the unit does not take.
void restoreStateFile(AUSession& session, const std::filesystem::path& file);
// Loads a preset file: an .aupreset like restoreStateFile, or an FXP/FXB
// record of the wrapped effect, given to the unit in a state document of
// the file's name. Throws AUError, FileError.
void loadPresetFile(AUSession& session, const std::filesystem::path& file);
// Selects factory preset `number` through CurrentPreset. Throws AUError.
void selectFactoryPreset(AUSession& session, int32_t number);
// Sets each parameter, by ID or name. An unknown parameter or a value
// outside the parameter's range is a UsageError naming the range.
void applySettings(AUSession& session, const std::vector<ParameterSetting>& settings);
// --state, --preset, --factory and --set of `line`, in this order.
void prepareUnit(AUSession& session, const AUCommandLine& line);
// Names the unit's current preset, which also renames the effect's program.
void nameCurrentPreset(AUSession& session, const std::string& name);

// The unit's ClassInfo as XML property-list bytes. Throws AUError.
std::vector<uint8_t> stateDocumentBytes(AUSession& session);
// A state document of the unit wrapping `record` (an FXP or FXB record),
// named `name`, owned by the caller.
CFDictionaryRef createStateDocument(AUSession& session, const std::vector<uint8_t>& record, const std::string& name);
// Writes `bytes` to `target` through ReplacingFile, so that a failure
// leaves an existing file as it was. Throws FileError.
void writeFileSafely(const std::filesystem::path& target, const std::vector<uint8_t>& bytes);
