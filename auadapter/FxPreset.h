// Constants and byte-order primitives of the VST program (FXP) and bank
// (FXB) records. Every integer in them is 32-bit, signed and big-endian.
#pragma once

#include "frame/VstRecords.h"

#include <cstddef>
#include <cstdint>

constexpr int32_t kFxChunkMagic = CCONST('C', 'c', 'n', 'K');
constexpr int32_t kFxProgramParams = CCONST('F', 'x', 'C', 'k');
constexpr int32_t kFxProgramChunk = CCONST('F', 'P', 'C', 'h');
constexpr int32_t kFxBankParams = CCONST('F', 'x', 'B', 'k');
constexpr int32_t kFxBankChunk = CCONST('F', 'B', 'C', 'h');
constexpr int32_t kFxFormatVersion = 1;

constexpr size_t kFxHeaderSize = 24;
constexpr size_t kFxNameFieldSize = 28;
constexpr size_t kFxNameMaxLength = 24;
// A program record up to its values or its chunk length.
constexpr size_t kFxProgramHeaderSize = 56;
// A bank record up to its programs or its chunk length.
constexpr size_t kFxBankHeaderSize = 156;

// Reads the big-endian integer at `position` into `out` and returns the
// position after it. Throws EOFException "End of file error" when fewer than
// four bytes lie before `end`.
const uint8_t* readBigInt32(const uint8_t* position, const uint8_t* end, int32_t& out);

// Writes `value` big-endian at `out` and returns the position after it.
uint8_t* writeBigInt32(uint8_t* out, int32_t value);
