// The command-line host's answers to a hosted effect's requests. It plays
// transport time from the renderer and supplies what an offline host can.
#pragma once

#include "auadapter/VSTHost.h"

// Told what the effect reports to the host while its editor is open.
class ToolHostObserver
{
public:
    virtual ~ToolHostObserver() = default;
    virtual void parameterAutomated(int32_t index, float value) = 0; // [any thread]
    virtual void gestureBegun(int32_t index) = 0; // [UI thread]
    virtual void gestureEnded(int32_t index) = 0; // [UI thread]
    virtual void displayChanged() = 0; // [UI thread]
    virtual void windowResized(int32_t width, int32_t height) = 0; // [UI thread]
};

class ToolHost final : public VSTHost
{
public:
    void getVendor(VSTPlugIn& plugIn, char* text) override;
    void getProduct(VSTPlugIn& plugIn, char* text) override;
    int32_t getVersion(VSTPlugIn& plugIn) override;
    // True for exactly the capabilities this host has (case-sensitive).
    bool canDo(VSTPlugIn& plugIn, const char* query) override;
    VstTimeInfo* getTimeInfo(VSTPlugIn& plugIn, int32_t flags) override; // [audio thread]
    void beginEdit(VSTPlugIn& plugIn, int32_t index) override;
    void automate(VSTPlugIn& plugIn, int32_t index, float value) override;
    void endEdit(VSTPlugIn& plugIn, int32_t index) override;
    bool isIOPinConnected(VSTPlugIn& plugIn, bool output, int32_t pin) override;
    void idle(VSTPlugIn& plugIn) override;
    void updateDisplay(VSTPlugIn& plugIn) override;
    void resizeWindow(VSTPlugIn& plugIn, int32_t width, int32_t height) override;

    // Null: nobody is told.
    void setObserver(ToolHostObserver* newObserver) { observer = newObserver; } // [UI thread]

    // Transport position before each block: playing at 120 BPM, 4/4.
    void setPosition(double samplePosition, double sampleRate); // [audio thread]

private:
    VstTimeInfo timeInfo{};
    ToolHostObserver* observer = nullptr;
};
