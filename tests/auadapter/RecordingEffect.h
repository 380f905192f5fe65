// The control block of the recording test effect module.
#pragma once

#include "frame/VstRecords.h"

#include <cstdio>
#include <vector>

struct RecordingEffectControl
{
    struct Call
    {
        VstInt32 opcode, index;
        VstIntPtr value;
        float opt;
    };
    struct Midi
    {
        VstInt32 deltaFrames;
        unsigned char status, data1, data2;
        VstInt32 byteSize;
    };

    // Shape, read by the entry point.
    VstInt32 inputs = 2, outputs = 2, parameterCount = 4, initialDelay = 0;
    bool canReplacing = true, wantsMidi = true;
    // Answers.
    VstIntPtr tailSize = 0, bypassAnswer = 0, helloAnswer = 0, outputSilentAnswer = 0;
    float gain = 1.0f;
    char programName[32] = "Init";
    float values[32] = {};

    // What happened.
    audioMasterCallback master = nullptr;
    AEffect* effect = nullptr;
    char product[64] = {};
    std::vector<Call> calls;
    std::vector<Midi> midi;
    int processCalls = 0;
    float* lastInputs[2] = {};

    int count(VstInt32 opcode) const
    {
        int n = 0;
        for (const Call& c : calls)
            n += c.opcode == opcode;
        return n;
    }
    void reset() { *this = RecordingEffectControl{}; }
};

using RecordingEffectControlFunction = RecordingEffectControl* (*)();
