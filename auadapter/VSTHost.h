// The host side that answers a hosted effect's requests. Each operation
// receives the plug-in that asks. The slot order is fixed.
#pragma once

#include "frame/VstRecords.h"

#include <cstdint>

class VSTPlugIn;

class VSTHost
{
public:
    // Writes the host's vendor name (at most 63 characters and a NUL).
    virtual void getVendor(VSTPlugIn& plugIn, char* text) = 0; // [UI thread]
    // Writes the host's product name (at most 63 characters and a NUL).
    virtual void getProduct(VSTPlugIn& plugIn, char* text) = 0; // [UI thread]
    virtual int32_t getVersion(VSTPlugIn& plugIn) = 0; // [any thread]
    virtual bool canDo(VSTPlugIn& plugIn, const char* query) = 0; // [any thread]
    virtual VstTimeInfo* getTimeInfo(VSTPlugIn& plugIn, int32_t flags) = 0; // [audio thread]
    virtual void beginEdit(VSTPlugIn& plugIn, int32_t index) = 0; // [UI thread]
    virtual void automate(VSTPlugIn& plugIn, int32_t index, float value) = 0; // [any thread]
    virtual void endEdit(VSTPlugIn& plugIn, int32_t index) = 0; // [UI thread]
    virtual bool isIOPinConnected(VSTPlugIn& plugIn, bool output, int32_t pin) = 0; // [any thread]
    virtual void idle(VSTPlugIn& plugIn) = 0; // [UI thread]
    virtual void updateDisplay(VSTPlugIn& plugIn) = 0; // [UI thread]
    virtual void resizeWindow(VSTPlugIn& plugIn, int32_t width, int32_t height) = 0; // [UI thread]

    virtual ~VSTHost() = default;
};
