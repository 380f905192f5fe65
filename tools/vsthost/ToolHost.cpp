#include "tools/vsthost/ToolHost.h"

#include <cstring>

namespace
{
constexpr const char* kCapabilities[] = {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo",
                                         "reportConnectionChanges", "sizeWindow", "supplyIdle"};
constexpr double kTempo = 120.0;
} // namespace

void ToolHost::getVendor(VSTPlugIn&, char* text)
{
    std::strcpy(text, "Tarnby Audio");
}

void ToolHost::getProduct(VSTPlugIn&, char* text)
{
    std::strcpy(text, "vsthost");
}

int32_t ToolHost::getVersion(VSTPlugIn&)
{
    return 1000;
}

bool ToolHost::canDo(VSTPlugIn&, const char* query)
{
    for (const char* capability : kCapabilities)
        if (std::strcmp(query, capability) == 0)
            return true;
    return false;
}

VstTimeInfo* ToolHost::getTimeInfo(VSTPlugIn&, int32_t)
{
    return &timeInfo;
}

void ToolHost::setPosition(double samplePosition, double sampleRate)
{
    timeInfo.samplePos = samplePosition;
    timeInfo.sampleRate = sampleRate;
    timeInfo.tempo = kTempo;
    timeInfo.ppqPos = sampleRate > 0.0 ? samplePosition / sampleRate * kTempo / 60.0 : 0.0;
    timeInfo.barStartPos = static_cast<double>(static_cast<int64_t>(timeInfo.ppqPos / 4.0)) * 4.0;
    timeInfo.timeSigNumerator = 4;
    timeInfo.timeSigDenominator = 4;
    timeInfo.flags = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;
}

void ToolHost::beginEdit(VSTPlugIn&, int32_t index)
{
    if (observer)
        observer->gestureBegun(index);
}

void ToolHost::automate(VSTPlugIn&, int32_t index, float value)
{
    if (observer)
        observer->parameterAutomated(index, value);
}

void ToolHost::endEdit(VSTPlugIn&, int32_t index)
{
    if (observer)
        observer->gestureEnded(index);
}

bool ToolHost::isIOPinConnected(VSTPlugIn&, bool, int32_t)
{
    return true;
}

void ToolHost::idle(VSTPlugIn&) {}
void ToolHost::updateDisplay(VSTPlugIn&)
{
    if (observer)
        observer->displayChanged();
}
void ToolHost::resizeWindow(VSTPlugIn&, int32_t width, int32_t height)
{
    if (observer)
        observer->windowResized(width, height);
}
