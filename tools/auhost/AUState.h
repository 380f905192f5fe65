// The unit's state through the published calls, for auhost's commands and
// for rendering: ClassInfo to and from .aupreset files, factory presets.
#pragma once

#include "tools/auhost/AUSession.h"

#include <cstdint>
#include <filesystem>
#include <vector>

// Restores the state document in `file` as the unit's ClassInfo. Throws AUError.
void restoreStateFile(AUSession& session, const std::filesystem::path& file);
// Selects factory preset `number` through CurrentPreset. Throws AUError.
void selectFactoryPreset(AUSession& session, int32_t number);
// The unit's ClassInfo as XML property-list bytes. Throws AUError.
std::vector<uint8_t> stateDocumentBytes(AUSession& session);
// Writes `bytes` to `target` through a file beside it (ReplacingFile), so
// that a failure leaves an existing file as it was. Throws FileError.
void writeFileSafely(const std::filesystem::path& target, const std::vector<uint8_t>& bytes);
