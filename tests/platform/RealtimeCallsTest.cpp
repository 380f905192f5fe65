// The calls a render thread makes allocate nothing: this program counts
// every malloc and free (it replaces them, forwarding to the C library)
// around the listener notifications and the render-thread host calls. Under
// AddressSanitizer, which owns malloc, the counting is left out.
#include "tests/support/Sanitizers.h"
#include "PlatformTestSupport.h"

#include <AudioToolbox/AudioToolbox.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>

#if defined(DC_UNDER_ASAN) || defined(DC_UNDER_TSAN)
#define DC_COUNT_ALLOCATIONS 0
#else
#define DC_COUNT_ALLOCATIONS 1
#endif

namespace
{
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

[[maybe_unused]] void count()
{
    if (counting.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
}
} // namespace

#if DC_COUNT_ALLOCATIONS
extern "C" {
void* __libc_malloc(size_t);
void __libc_free(void*);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);

void* malloc(size_t n)
{
    count();
    return __libc_malloc(n);
}
void free(void* p)
{
    if (p)
        count();
    __libc_free(p);
}
void* calloc(size_t n, size_t size)
{
    count();
    return __libc_calloc(n, size);
}
void* realloc(void* p, size_t n)
{
    count();
    return __libc_realloc(p, n);
}
}
#endif

using namespace platformtest;

namespace
{

std::atomic<int> heard{0};
void onParameter(void*, void*, const AudioUnitParameter*, AudioUnitParameterValue)
{
    heard.fetch_add(1, std::memory_order_relaxed);
}
void onEvent(void*, void*, const AudioUnitEvent*, UInt64, AudioUnitParameterValue)
{
    heard.fetch_add(1, std::memory_order_relaxed);
}

TEST(RealtimeCalls, NotificationsAndRenderThreadHostCallsAllocateNothing)
{
#if !DC_COUNT_ALLOCATIONS
    GTEST_SKIP() << "the sanitizer owns malloc";
#endif
    const auto folder = tempFolder("realtime");
    Registration r;
    r.subtype = "Real";
    ASSERT_EQ(registerBundle(makeBundle(folder, "Realtime.component", r)), noErr);
    ComponentDescription d{0, code("Real"), 0, 0, 0};
    AudioUnit unit = nullptr;
    ASSERT_EQ(OpenAComponent(FindNextComponent(nullptr, &d), &unit), noErr);

    AUParameterListenerRef parameterListener = nullptr;
    AUEventListenerRef eventListener = nullptr;
    ASSERT_EQ(AUListenerCreate(onParameter, nullptr, nullptr, nullptr, 0, &parameterListener), noErr);
    ASSERT_EQ(AUEventListenerCreate(onEvent, nullptr, nullptr, nullptr, 0, 0, &eventListener), noErr);
    const AudioUnitParameter p{unit, 2, kAudioUnitScope_Global, 0};
    AUListenerAddParameter(parameterListener, nullptr, &p);
    AudioUnitEvent change{}, begin{};
    change.mEventType = kAudioUnitEvent_ParameterValueChange;
    change.mArgument.mParameter = p;
    begin = change;
    begin.mEventType = kAudioUnitEvent_BeginParameterChangeGesture;
    AUEventListenerAddEventType(eventListener, nullptr, &change);
    AUEventListenerAddEventType(eventListener, nullptr, &begin);

    AudioUnitRenderActionFlags flags = 0;
    AudioTimeStamp stamp{};
    AudioBufferList list{};
    AudioUnitParameterValue value = 0;
    counting = true;
    for (int i = 0; i < 100; ++i)
    {
        AUParameterListenerNotify(nullptr, nullptr, &p);
        AUEventListenerNotify(nullptr, nullptr, &change);
        AUEventListenerNotify(nullptr, nullptr, &begin);
        AudioUnitRender(unit, &flags, &stamp, 0, 512, &list);
        AudioUnitGetParameter(unit, 2, kAudioUnitScope_Global, 0, &value);
        AudioUnitSetParameter(unit, 2, kAudioUnitScope_Global, 0, 0.5f, 0);
        MusicDeviceMIDIEvent(unit, 0xB0, 70, 64, 0);
    }
    counting = false;
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_EQ(heard.load(), 100 * 5) << "the parameter listener twice, the event listener three times";
    // The counting itself works: one allocation and one release.
    static void* volatile sink = nullptr;
    counting = true;
    sink = std::malloc(8);
    std::free(sink);
    counting = false;
    EXPECT_EQ(allocations.load(), 2);

    AUListenerDispose(parameterListener);
    AUListenerDispose(eventListener);
    CloseComponent(unit);
    std::filesystem::remove_all(folder);
}

} // namespace
