// The LV2 form's names shared by the plug-in and its UI: URIs, port indices
// and the mapped URIDs of the messages they exchange.
#pragma once

#include <lv2/urid/urid.h>

#include <cstdint>

namespace DitherCrunchLv2 {

constexpr const char* kPluginUri = "urn:tarnby-audio:dithercrunch";
constexpr const char* kUiUri = "urn:tarnby-audio:dithercrunch#ui";
constexpr const char* kCurveUri = "urn:tarnby-audio:dithercrunch#curve";
constexpr const char* kLastIndexUri = "urn:tarnby-audio:dithercrunch#lastIndex";
// A preset's URI is this prefix and its name in lower case, '-' for spaces.
constexpr const char* kPresetUriPrefix = "urn:tarnby-audio:dithercrunch#preset-";

constexpr int kCurvePoints = 128;

// The port of each parameter is its VST parameter index.
enum Port : uint32_t
{
    kPortPreGain = 0,
    kPortPrePan,
    kPortPostGain,
    kPortShaper,
    kPortWetDry,
    kPortPreFilter,
    kPortPreCutoff,
    kPortPostFilter,
    kPortPostCutoff,
    kPortInL,
    kPortInR,
    kPortOutL,
    kPortOutR,
    kPortControl,
    kPortNotify,
    kNumPorts,
};
constexpr uint32_t kNumParameterPorts = kPortInL;

// The URIDs both sides use, mapped once at instantiation.
struct Urids
{
    LV2_URID atomInt = 0;
    LV2_URID atomVector = 0;
    LV2_URID atomObject = 0;
    LV2_URID atomBlank = 0;
    LV2_URID atomURID = 0;
    LV2_URID atomSequence = 0;
    LV2_URID atomEventTransfer = 0;
    LV2_URID midiEvent = 0;
    LV2_URID patchSet = 0;
    LV2_URID patchGet = 0;
    LV2_URID patchProperty = 0;
    LV2_URID patchValue = 0;
    LV2_URID curve = 0;
    LV2_URID lastIndex = 0;

    // [instantiation] Maps every URI; false when the host's map gives 0 for one.
    bool map(const LV2_URID_Map* map);
};

} // namespace DitherCrunchLv2
