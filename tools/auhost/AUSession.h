// One AudioUnit opened from a component bundle through the published
// Component Manager and AudioUnit calls only, with the failures a user can
// cause turned into readable messages. Used by auhost and by tests that
// drive a component the way a host does.
#pragma once

#include <AudioUnit/AudioUnit.h>
#include <CoreFoundation/CoreFoundation.h>
#include <CoreServices/CoreServices.h>

#include "tools/auhost/AUHost.h"

#include <filesystem>
#include <string>
#include <vector>

// "Mac OS error -50 (paramErr)" style text for a result code.
std::string describeStatus(OSStatus status);
// Throws AUError "WHAT failed: <status text>" unless status is noErr.
void check(OSStatus status, const std::string& what);
// 'aumf' -> "aumf"; unprintable bytes as \xNN.
std::string fourCharText(UInt32 code);
// The text of a CFString as UTF-8 (empty for null).
std::string utf8Of(CFStringRef text);

// One AudioUnit parameter as the host sees it.
struct AUParameter
{
    AudioUnitParameterID id = 0;
    AudioUnitParameterInfo info{};
    std::string name;     // cfNameString, else the C name
    std::string unitName; // empty when none
    std::vector<std::string> valueStrings;
};

class AUSession
{
public:
    // Registers the bundle, finds the component its Info.plist registers
    // and opens an instance. Throws AUError.
    explicit AUSession(const std::filesystem::path& bundle);
    ~AUSession();
    AUSession(const AUSession&) = delete;
    AUSession& operator=(const AUSession&) = delete;

    AudioUnit unit() const { return instance; }
    Component component() const { return found; }
    const ComponentDescription& description() const { return registered; }
    std::string name() const;

    // The parameters of the global scope, in list order.
    std::vector<AUParameter> parameters() const;
    // A parameter of `list` by ID or name (exact, then ignoring case and
    // spaces). Throws UsageError when there is none.
    static const AUParameter& findParameter(const std::vector<AUParameter>& list, const std::string& parameter);

    // 32-bit float, non-interleaved, at `rate`, `inputChannels` wide on input 0
    // and stereo on output 0.
    void setFormat(Float64 rate, UInt32 inputChannels);
    void setMaximumFrames(UInt32 frames);
    UInt32 elementCount(AudioUnitScope scope) const;
    AudioStreamBasicDescription streamFormat(AudioUnitScope scope, AudioUnitElement element) const;
    Float64 latency() const;

private:
    Component found = nullptr;
    ComponentDescription registered{};
    AudioUnit instance = nullptr;
};

