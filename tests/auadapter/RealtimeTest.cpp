// A render cycle allocates nothing: this program counts every malloc and
// free (it replaces them, forwarding to the C library) while a host renders
// through the component with MIDI queued, host callbacks set and a render
// notification registered. Under AddressSanitizer, which owns malloc, the
// counting is left out.
#include "tests/support/Sanitizers.h"
#include "ComponentTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>

#if defined(DC_UNDER_ASAN)
#define DC_COUNT_ALLOCATIONS 0
#else
#define DC_COUNT_ALLOCATIONS 1
#endif

namespace
{
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
} // namespace

#if DC_COUNT_ALLOCATIONS
extern "C" {
void* __libc_malloc(size_t);
void __libc_free(void*);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);

void* malloc(size_t n)
{
    if (counting.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(n);
}
void free(void* p)
{
    if (p && counting.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
    __libc_free(p);
}
void* calloc(size_t n, size_t size)
{
    if (counting.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(n, size);
}
void* realloc(void* p, size_t n)
{
    if (counting.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(p, n);
}
void* aligned_alloc(size_t alignment, size_t n)
{
    if (counting.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_memalign(alignment, n);
}
int posix_memalign(void** out, size_t alignment, size_t n)
{
    if (counting.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
    *out = __libc_memalign(alignment, n);
    return *out ? 0 : 12;
}
}
#endif

using namespace ComponentTest;

namespace
{

OSStatus beat(void*, Float64* b, Float64* t)
{
    *b = 1.0;
    *t = 130.0;
    return noErr;
}
OSStatus musical(void*, UInt32*, Float32* n, UInt32* d, Float64* down)
{
    *n = 3.0f;
    *d = 4;
    *down = 0.0;
    return noErr;
}
OSStatus transport(void*, Boolean* playing, Boolean* changed, Float64* sample, Boolean* cycling, Float64* start, Float64* end)
{
    *playing = true;
    *changed = false;
    *sample = 0.0;
    *cycling = false;
    *start = *end = 0.0;
    return noErr;
}
OSStatus notify(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32, AudioBufferList*)
{
    return noErr;
}

TEST(Realtime, RenderCyclesDoNotAllocate)
{
#if !DC_COUNT_ALLOCATIONS
    GTEST_SKIP() << "AddressSanitizer owns malloc";
#endif
    AudioUnit unit = open(makeBundle());
    ASSERT_NE(unit, nullptr);
    AudioStreamBasicDescription format = floatFormat(48000.0, 2);
    ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, &format, sizeof(format)), noErr);
    HostCallbackInfo callbacks{nullptr, &beat, &musical, &transport};
    ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Global, 0, &callbacks, sizeof(callbacks)), noErr);
    ASSERT_EQ(AudioUnitAddRenderNotify(unit, &notify, nullptr), noErr);
    Signal signal{noise(2, 512 * 200, 5)};
    setInputCallback(unit, &feedSignal, &signal);
    ASSERT_EQ(AudioUnitInitialize(unit), noErr);
    std::vector<float> left(512), right(512);
    ASSERT_EQ(renderCycle(unit, 0, 512, StereoList(nullptr, nullptr, 512).list()), noErr); // warm up

    // The counter sees allocations made anywhere in the process.
    counting = true;
    int* volatile probe = new int(1);
    delete probe;
    counting = false;
    ASSERT_EQ(allocations.exchange(0), 2);

    counting = true;
    for (int cycle = 1; cycle < 100; ++cycle)
    {
        MusicDeviceMIDIEvent(unit, 0xB0, 70 + cycle % 3, static_cast<UInt32>(cycle & 127), static_cast<UInt32>(cycle * 5 % 512));
        MusicDeviceMIDIEvent(unit, 0xB1, 71, 64, 0);
        StereoList handOut(nullptr, nullptr, 512);
        StereoList copyInto(left.data(), right.data(), 512);
        renderCycle(unit, cycle * 512.0, 512, (cycle % 2) ? handOut.list() : copyInto.list());
        AudioUnitSetParameter(unit, 0, kAudioUnitScope_Global, 0, static_cast<float>(cycle % 50), 0);
    }
    counting = false;
    EXPECT_EQ(allocations.load(), 0);
    CloseComponent(unit);
}

} // namespace
