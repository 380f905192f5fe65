// Opening components the way a host does: a copy of a bundle in a temporary
// folder, registered with RegisterComponentFileRef, found with
// FindNextComponent under its own subtype and opened with OpenAComponent.
// HOME and TWINFOLD_LOCAL_DOMAIN point at temporary folders for the whole
// test program.
#pragma once

#include "RecordingEffect.h"

#include <AudioToolbox/AudioToolbox.h>
#include <AudioUnit/AudioUnit.h>
#include <CoreFoundation/CoreFoundation.h>
#include <CoreServices/CoreServices.h>

#include <filesystem>
#include <string>
#include <vector>

namespace ComponentTest
{

// The program's scratch folder (created on first use, removed at exit).
const std::filesystem::path& scratch();

struct BundleOptions
{
    // Extra Info.plist text replacing the standard TWConfig block (empty: standard).
    std::string config;
    // Symbolic links to create in Resources: name -> target.
    std::vector<std::pair<std::string, std::filesystem::path>> links;
    // Files to create in Resources: name -> contents.
    std::vector<std::pair<std::string, std::string>> files;
};

// A fresh copy of the built DitherCrunch.component under its own subtype.
struct Bundle
{
    std::filesystem::path path;
    OSType subtype = 0;
    std::filesystem::path resources() const { return path / "Contents" / "Resources"; }
    std::filesystem::path executable() const { return path / "Contents" / "x86_64-linux" / "DitherCrunch.so"; }
};
Bundle makeBundle(const BundleOptions& options = {});
// Registers and opens; `status` receives OpenAComponent's result.
AudioUnit open(const Bundle& bundle, OSStatus& status);
// Registers and opens, failing the test on error.
AudioUnit open(const Bundle& bundle);

// The recording test effect, loaded by the test so that the component's
// load of it shares its state.
RecordingEffectControl& recordingEffect();
std::filesystem::path recordingEffectPath();
// A bundle whose VST code is the recording effect.
Bundle makeRecordingBundle(BundleOptions options = {});

// The component's own entry, for selectors no published call sends.
ComponentResult callEntry(const Bundle& bundle, AudioUnit unit, SInt16 selector, std::vector<long> arguments);

// 32-bit float non-interleaved stream format.
AudioStreamBasicDescription floatFormat(Float64 rate, UInt32 channels);

// A stereo buffer list of `frames` frames pointing at `left` and `right`
// (null for "hand me your buffers").
struct StereoList
{
    UInt32 mNumberBuffers = 2;
    AudioBuffer mBuffers[2]{};
    StereoList(float* left, float* right, UInt32 frames);
    AudioBufferList* list() { return reinterpret_cast<AudioBufferList*>(this); }
};

// Renders one cycle at sample time `time`; returns AudioUnitRender's result.
OSStatus renderCycle(AudioUnit unit, Float64 time, UInt32 frames, AudioBufferList* list, AudioUnitRenderActionFlags* flags = nullptr);

// Input callback feeding from a planar signal: refCon is a Signal.
struct Signal
{
    std::vector<std::vector<float>> channels;
    size_t position = 0;
};
OSStatus feedSignal(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames, AudioBufferList* list);
void setInputCallback(AudioUnit unit, AURenderCallback proc, void* refCon);
// Deterministic noise, `frames` per channel.
std::vector<std::vector<float>> noise(size_t channels, size_t frames, unsigned seed);

} // namespace ComponentTest
