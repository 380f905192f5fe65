// What the render thread pays in the platform library: a listener
// notification with many registrations of which one matches, and a host
// call into a component entry (the recording test component).
#include "tests/platform/PlatformTestSupport.h"

#include <AudioToolbox/AudioToolbox.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

namespace
{

void quiet(void*, void*, const AudioUnitEvent*, UInt64, AudioUnitParameterValue) {}

AudioUnit openUnit()
{
    static AudioUnit unit = [] {
        platformtest::Registration r;
        r.subtype = "Bnch";
        platformtest::registerBundle(platformtest::makeBundle(platformtest::tempFolder("bench"), "Bench.component", r));
        // The copy is loaded by now; its folder goes at exit.
        std::atexit([] { std::filesystem::remove_all(platformtest::tempFolder("bench")); });
        ComponentDescription d{0, platformtest::code("Bnch"), 0, 0, 0};
        AudioUnit u = nullptr;
        OpenAComponent(FindNextComponent(nullptr, &d), &u);
        return u;
    }();
    return unit;
}

// Registrations for `range(0)` parameters; the notified one matches once.
void BM_EventNotify(benchmark::State& state)
{
    AudioUnit unit = openUnit();
    AUEventListenerRef listener = nullptr;
    AUEventListenerCreate(quiet, nullptr, nullptr, nullptr, 0, 0, &listener);
    for (int64_t i = 0; i < state.range(0); ++i)
    {
        AudioUnitEvent e{};
        e.mEventType = kAudioUnitEvent_BeginParameterChangeGesture;
        e.mArgument.mParameter = {unit, static_cast<AudioUnitParameterID>(i), kAudioUnitScope_Global, 0};
        AUEventListenerAddEventType(listener, nullptr, &e);
    }
    AudioUnitEvent sent{};
    sent.mEventType = kAudioUnitEvent_BeginParameterChangeGesture;
    sent.mArgument.mParameter = {unit, 0, kAudioUnitScope_Global, 0};
    for (auto _ : state)
        benchmark::DoNotOptimize(AUEventListenerNotify(nullptr, nullptr, &sent));
    AUListenerDispose(listener);
}
BENCHMARK(BM_EventNotify)->Arg(1)->Arg(16)->Arg(256);

// A value change also reads the value back through AudioUnitGetParameter.
void BM_ParameterNotifyWithValue(benchmark::State& state)
{
    AudioUnit unit = openUnit();
    AUEventListenerRef listener = nullptr;
    AUEventListenerCreate(quiet, nullptr, nullptr, nullptr, 0, 0, &listener);
    AudioUnitEvent e{};
    e.mEventType = kAudioUnitEvent_ParameterValueChange;
    e.mArgument.mParameter = {unit, 3, kAudioUnitScope_Global, 0};
    AUEventListenerAddEventType(listener, nullptr, &e);
    const AudioUnitParameter p = e.mArgument.mParameter;
    for (auto _ : state)
        benchmark::DoNotOptimize(AUParameterListenerNotify(nullptr, nullptr, &p));
    AUListenerDispose(listener);
}
BENCHMARK(BM_ParameterNotifyWithValue);

void BM_HostCall(benchmark::State& state)
{
    AudioUnit unit = openUnit();
    AudioUnitParameterValue value = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(AudioUnitGetParameter(unit, 1, kAudioUnitScope_Global, 0, &value));
}
BENCHMARK(BM_HostCall);

} // namespace
