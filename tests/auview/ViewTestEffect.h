// The control block of the view test effect: an effect with an editor whose
// rectangle and answers a test chooses, and which counts the editor calls.
#pragma once

#include "frame/VstRecords.h"

struct ViewTestEffectControl
{
    // Answers, read when the call arrives.
    bool giveRect = true;
    ERect rect{0, 0, 120, 330}; // top, left, bottom, right
    VstIntPtr openAnswer = 1;

    // What happened.
    audioMasterCallback master = nullptr;
    AEffect* effect = nullptr;
    int opens = 0, closes = 0, idles = 0;
    void* openedIn = nullptr;

    void reset() { *this = ViewTestEffectControl{}; }
};

using ViewTestEffectControlFunction = ViewTestEffectControl* (*)();
