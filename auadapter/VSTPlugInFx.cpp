// The program (FXP) and bank (FXB) records of VSTPlugIn: writing the current
// program or the whole bank, and loading any of the four record forms.
#include "auadapter/VSTPlugIn.h"

#include "auadapter/EOFException.h"
#include "auadapter/FormatException.h"
#include "auadapter/FxPreset.h"
#include "auadapter/TwinfoldException.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

namespace
{

constexpr size_t kScratchSize = 1024;
constexpr char kInvalidFormat[] = "Invalid format of FXP / FXB data";

// Largest record whose byte size field (length - 8) still fits.
constexpr uint64_t kMaxRecordLength = static_cast<uint64_t>(std::numeric_limits<int32_t>::max()) + 8;

size_t remaining(const uint8_t* position, const uint8_t* end)
{
    return position < end ? static_cast<size_t>(end - position) : 0;
}

uint8_t* writeHeader(uint8_t* out, int32_t formMagic, size_t length, const AEffect& effect)
{
    out = writeBigInt32(out, kFxChunkMagic);
    out = writeBigInt32(out, static_cast<int32_t>(length - 8));
    out = writeBigInt32(out, formMagic);
    out = writeBigInt32(out, kFxFormatVersion);
    out = writeBigInt32(out, effect.uniqueID);
    return writeBigInt32(out, effect.version);
}

// Length of an "FxCk" record with `parameterCount` values.
uint64_t programRecordLength(int32_t parameterCount)
{
    return kFxProgramHeaderSize + 4 * static_cast<uint64_t>(std::max(parameterCount, 0));
}

std::unique_ptr<uint8_t[]> allocateRecord(uint64_t length)
{
    if (length > kMaxRecordLength)
        throw std::bad_alloc();
    return std::unique_ptr<uint8_t[]>(new uint8_t[static_cast<size_t>(length)]());
}

} // namespace

void VSTPlugIn::writeProgramName(uint8_t* out)
{
    std::memset(out, 0, kFxNameFieldSize);
    char scratch[kScratchSize] = {};
    guardedDispatch(effGetProgramName, 0, 0, scratch, 0.0f);
    scratch[kScratchSize - 1] = '\0';
    std::memcpy(out, scratch, strnlen(scratch, kFxNameMaxLength));
}

uint8_t* VSTPlugIn::writeFxCk(uint8_t* out)
{
    return writeFxCkSized(out, std::max(getParameterCount(), 0));
}

uint8_t* VSTPlugIn::writeFxCkSized(uint8_t* out, int32_t parameterCount)
{
    out = writeHeader(out, kFxProgramParams, static_cast<size_t>(programRecordLength(parameterCount)), *effect);
    out = writeBigInt32(out, parameterCount);
    writeProgramName(out);
    out += kFxNameFieldSize;
    // The effect may change its count while asked; never write past the
    // values the record was sized for, and write 0.0 for vanished ones.
    for (int32_t i = 0; i < parameterCount; ++i)
    {
        const float value = i < getParameterCount() ? getParameter(i) : 0.0f;
        out = writeBigInt32(out, std::bit_cast<int32_t>(value));
    }
    return out;
}

std::unique_ptr<uint8_t[]> VSTPlugIn::createFXP(size_t& length)
{
    length = 0;
    if (!effect)
        throw TwinfoldException("VST could not create chunk for FXP");
    const int32_t parameterCount = std::max(getParameterCount(), 0);
    if (!hasProgramChunks())
    {
        const uint64_t size = programRecordLength(parameterCount);
        std::unique_ptr<uint8_t[]> record = allocateRecord(size);
        writeFxCkSized(record.get(), parameterCount);
        length = static_cast<size_t>(size);
        return record;
    }

    return createChunkRecord(true, parameterCount, length);
}

std::unique_ptr<uint8_t[]> VSTPlugIn::createChunkRecord(bool program, int32_t count, size_t& length)
{
    const char* failure = program ? "VST could not create chunk for FXP" : "VST could not create chunk for FXB";
    const size_t headerSize = program ? kFxProgramHeaderSize : kFxBankHeaderSize;
    void* chunk = nullptr;
    const VstIntPtr chunkLength = guardedDispatch(effGetChunk, program ? 1 : 0, 0, &chunk, 0.0f);
    if (chunkLength <= 0 || !chunk || static_cast<uint64_t>(chunkLength) > kMaxRecordLength - headerSize - 4)
        throw TwinfoldException(failure);
    const uint64_t size = static_cast<uint64_t>(chunkLength) + headerSize + 4;
    std::unique_ptr<uint8_t[]> record = allocateRecord(size);
    uint8_t* out =
        writeHeader(record.get(), program ? kFxProgramChunk : kFxBankChunk, static_cast<size_t>(size), *effect);
    out = writeBigInt32(out, count);
    if (program)
        writeProgramName(out); // the bank's 128 reserved bytes stay zero
    out = record.get() + headerSize;
    out = writeBigInt32(out, static_cast<int32_t>(chunkLength));
    std::memcpy(out, chunk, static_cast<size_t>(chunkLength));
    length = static_cast<size_t>(size);
    return record;
}

int32_t VSTPlugIn::rememberProgram()
{
    return getCurrentProgram();
}

std::unique_ptr<uint8_t[]> VSTPlugIn::createFXB(size_t& length)
{
    length = 0;
    if (!effect)
        throw TwinfoldException("VST could not create chunk for FXB");
    const int32_t programCount = std::max(getProgramCount(), 0);
    if (hasProgramChunks())
        return createChunkRecord(false, programCount, length);

    const int32_t parameterCount = std::max(getParameterCount(), 0);
    const uint64_t programLength = programRecordLength(parameterCount);
    if (programCount > 0 && programLength > (kMaxRecordLength - kFxBankHeaderSize) / static_cast<uint64_t>(programCount))
        throw std::bad_alloc();
    const uint64_t size = kFxBankHeaderSize + static_cast<uint64_t>(programCount) * programLength;
    std::unique_ptr<uint8_t[]> record = allocateRecord(size);
    uint8_t* out = writeHeader(record.get(), kFxBankParams, static_cast<size_t>(size), *effect);
    out = writeBigInt32(out, programCount);
    out += 128; // reserved, zero

    const int32_t remembered = rememberProgram();
    try
    {
        // Never more programs than the record was sized for.
        for (int32_t i = 0; i < programCount && i < getProgramCount(); ++i)
        {
            setCurrentProgram(i);
            out = writeFxCkSized(out, parameterCount);
        }
    }
    catch (...)
    {
        setCurrentProgram(remembered);
        throw;
    }
    setCurrentProgram(remembered);
    length = static_cast<size_t>(size);
    return record;
}

void VSTPlugIn::setProgramNameFromField(const uint8_t* field, const uint8_t* end)
{
    // The name field must lie inside the data, like every other field.
    if (remaining(field, end) < kFxNameFieldSize)
        throw EOFException("End of file error");
    char name[kFxNameMaxLength + 1] = {};
    std::memcpy(name, field, strnlen(reinterpret_cast<const char*>(field), kFxNameMaxLength));
    guardedDispatch(effSetProgramName, 0, 0, name, 0.0f);
}

const uint8_t* VSTPlugIn::readFxCk(const uint8_t* position, const uint8_t* end, bool& ok)
{
    int32_t chunkMagic = 0, byteSize = 0, formMagic = 0, formatVersion = 0, plugInID = 0, plugInVersion = 0;
    position = readBigInt32(position, end, chunkMagic);
    position = readBigInt32(position, end, byteSize);
    position = readBigInt32(position, end, formMagic);
    position = readBigInt32(position, end, formatVersion);
    position = readBigInt32(position, end, plugInID);
    position = readBigInt32(position, end, plugInVersion);
    if (chunkMagic != kFxChunkMagic || formatVersion != kFxFormatVersion || !effect || plugInID != effect->uniqueID)
        throw FormatException(kInvalidFormat);

    int32_t count = 0;
    position = readBigInt32(position, end, count);
    if (count != getParameterCount())
        ok = false;

    setProgramNameFromField(position, end);
    position += kFxNameFieldSize;

    guardedDispatch(effBeginSetProgram, 0, 0, nullptr, 0.0f);
    try
    {
        for (int32_t i = 0; i < getParameterCount(); ++i)
        {
            float value = 0.0f;
            if (i < count)
            {
                int32_t bits = 0;
                position = readBigInt32(position, end, bits);
                value = std::bit_cast<float>(bits);
            }
            if (std::isnan(value))
            {
                // No parameter value at all: set the lowest one instead.
                value = 0.0f;
                ok = false;
            }
            else if (value < 0.0f)
            {
                value = 0.0f;
                ok = false;
            }
            else if (value > 1.0f)
            {
                value = 1.0f;
                ok = false;
            }
            setParameter(i, value);
        }
    }
    catch (...)
    {
        // Close the bracket the effect was told about before giving up.
        guardedDispatch(effEndSetProgram, 0, 0, nullptr, 0.0f);
        throw;
    }
    guardedDispatch(effEndSetProgram, 0, 0, nullptr, 0.0f);
    return position;
}

bool VSTPlugIn::loadFXPOrFXB(size_t length, const uint8_t* data)
{
    if (!data)
        throw EOFException("End of file error");
    const uint8_t* const end = data + length;
    int32_t chunkMagic = 0, byteSize = 0, formMagic = 0, formatVersion = 0, plugInID = 0, plugInVersion = 0;
    const uint8_t* position = data;
    position = readBigInt32(position, end, chunkMagic);
    position = readBigInt32(position, end, byteSize);
    position = readBigInt32(position, end, formMagic);
    position = readBigInt32(position, end, formatVersion);
    position = readBigInt32(position, end, plugInID);
    position = readBigInt32(position, end, plugInVersion);
    if (chunkMagic != kFxChunkMagic || static_cast<int64_t>(byteSize) + 8 > static_cast<int64_t>(std::min<size_t>(length, INT64_MAX)) ||
        formatVersion != kFxFormatVersion || !effect || plugInID != effect->uniqueID)
        throw FormatException(kInvalidFormat);

    switch (formMagic)
    {
    case kFxProgramParams:
    {
        bool ok = true;
        readFxCk(data, end, ok);
        return ok;
    }
    case kFxProgramChunk:
    {
        // The whole record is checked before the effect sees any of it.
        if (length < kFxProgramHeaderSize)
            throw EOFException("End of file error");
        int32_t chunkLength = 0;
        readBigInt32(data + kFxProgramHeaderSize, end, chunkLength);
        const uint8_t* chunk = data + kFxProgramHeaderSize + 4;
        if (chunkLength < 0 || static_cast<size_t>(chunkLength) > remaining(chunk, end))
            throw EOFException("Unexpected end of file in FXP / FXB data");
        setProgramNameFromField(data + kFxHeaderSize + 4, end);
        return guardedDispatch(effSetChunk, 1, chunkLength, const_cast<uint8_t*>(chunk), 0.0f) != 0;
    }
    case kFxBankChunk:
    {
        if (length < kFxBankHeaderSize + 4)
            throw EOFException("End of file error");
        int32_t chunkLength = 0;
        readBigInt32(data + kFxBankHeaderSize, end, chunkLength);
        const uint8_t* chunk = data + kFxBankHeaderSize + 4;
        if (chunkLength < 0 || static_cast<size_t>(chunkLength) > remaining(chunk, end))
            throw EOFException("Unexpected end of file in FXB data");
        return guardedDispatch(effSetChunk, 0, chunkLength, const_cast<uint8_t*>(chunk), 0.0f) != 0;
    }
    case kFxBankParams:
    {
        bool ok = true;
        int32_t bankCount = 0;
        readBigInt32(data + kFxHeaderSize, end, bankCount);
        if (bankCount != getProgramCount())
            ok = false;
        const int32_t count = std::min(bankCount, getProgramCount());
        const int32_t remembered = rememberProgram();
        position = length >= kFxBankHeaderSize ? data + kFxBankHeaderSize : end;
        try
        {
            for (int32_t i = 0; i < count; ++i)
            {
                setCurrentProgram(i);
                const uint8_t* record = position;
                position = readFxCk(record, end, ok);
                // A program with more values than the effect has parameters:
                // the next program starts after all of its values.
                int32_t recordCount = 0;
                readBigInt32(record + kFxHeaderSize, end, recordCount);
                const uint64_t recordLength = programRecordLength(recordCount);
                if (recordCount > getParameterCount())
                    position = recordLength < remaining(record, end) ? record + recordLength : end;
            }
        }
        catch (...)
        {
            setCurrentProgram(remembered);
            throw;
        }
        setCurrentProgram(remembered);
        return ok;
    }
    default:
        throw FormatException(kInvalidFormat);
    }
}
