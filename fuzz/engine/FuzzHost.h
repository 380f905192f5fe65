// The host side the fuzzers play: a callback with adjustable answers, and the
// effect record's entries called the way a host calls them.
#pragma once

#include "frame/AudioEffect.h"

#include <cstring>
#include <vector>

extern "C" AEffect* VSTPluginMain(audioMasterCallback audioMaster);

namespace fuzzhost {

struct Answers
{
    VstIntPtr version = 2400;
    VstIntPtr sampleRate = 44100;
    VstIntPtr blockSize = 512;
};

inline Answers& answers()
{
    static Answers a;
    return a;
}

// Requests whose answer is a pointer (time info, directory, arrangements) get 0.
inline VstIntPtr callback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    switch (opcode)
    {
    case audioMasterVersion:
        return answers().version;
    case audioMasterGetSampleRate:
        return answers().sampleRate;
    case audioMasterGetBlockSize:
        return answers().blockSize;
    default:
        return 0;
    }
}

inline VstIntPtr dispatch(AEffect* e, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                          float opt = 0.0f)
{
    return e->dispatcher(e, opcode, index, value, ptr, opt);
}

// The effect's chunk, copied out at the size it reports (an overread shows up here).
inline std::vector<unsigned char> chunk(AEffect* e)
{
    void* data = nullptr;
    const VstIntPtr size = dispatch(e, effGetChunk, 0, 0, &data);
    if (!data || size <= 0)
        return {};
    std::vector<unsigned char> copy(static_cast<size_t>(size));
    std::memcpy(copy.data(), data, copy.size());
    return copy;
}

// Loads bytes from a block of exactly their size.
inline VstIntPtr loadChunk(AEffect* e, const unsigned char* bytes, size_t size)
{
    std::vector<unsigned char> block(bytes, bytes + size);
    return dispatch(e, effSetChunk, 0, static_cast<VstIntPtr>(size), block.empty() ? nullptr : block.data());
}

// Every display text, each into a 256-byte buffer.
inline void readDisplays(AEffect* e)
{
    // Every query writes a terminated text of at most 9 characters into a
    // buffer that held none.
    for (VstInt32 i = -1; i <= 14; ++i)
        for (VstInt32 opcode : {effGetParamDisplay, effGetParamName, effGetParamLabel})
        {
            std::vector<char> text(256, 'X');
            dispatch(e, opcode, i, 0, text.data());
            const void* end = std::memchr(text.data(), 0, text.size());
            if (end == nullptr || static_cast<const char*>(end) - text.data() > 9)
                __builtin_trap();
        }
}

} // namespace fuzzhost
