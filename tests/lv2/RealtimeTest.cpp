// run allocates nothing and takes no lock, across thousands of calls with
// curve messages, requests, MIDI, port changes, damaged events and every
// block length, with the inline display's redraw requests on. The C
// library's allocation and mutex entries are counted while run runs.
#include "tests/lv2/Lv2TestSupport.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <random>

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);
}

namespace {
thread_local bool inRun = false;
std::atomic<int> allocations{0};
std::atomic<int> locks{0};

void count(std::atomic<int>& counter)
{
    if (inRun)
        counter.fetch_add(1, std::memory_order_relaxed);
}
} // namespace

extern "C" {
void* malloc(size_t size)
{
    count(allocations);
    return __libc_malloc(size);
}
void* calloc(size_t n, size_t size)
{
    count(allocations);
    return __libc_calloc(n, size);
}
void* realloc(void* p, size_t size)
{
    count(allocations);
    return __libc_realloc(p, size);
}
void* memalign(size_t alignment, size_t size)
{
    count(allocations);
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size)
{
    count(allocations);
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, size_t alignment, size_t size)
{
    count(allocations);
    *out = __libc_memalign(alignment, size);
    return *out ? 0 : 12;
}
void free(void* p)
{
    count(allocations);
    __libc_free(p);
}
int pthread_mutex_lock(pthread_mutex_t* m)
{
    count(locks);
    static auto real = reinterpret_cast<int (*)(pthread_mutex_t*)>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
    return real(m);
}
}

namespace dc::lv2test {
namespace {

TEST(Lv2Realtime, RunAllocatesNothingAndTakesNoLock)
{
    Instance lv2(48000.0, true);
    lv2.bracketRun([] { inRun = true; }, [] { inRun = false; });
    const auto& names = Bundle::get().names;
    std::mt19937 rng(7);
    std::vector<float> l(4096), r(4096);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    for (size_t i = 0; i < l.size(); ++i)
    {
        l[i] = noise(rng);
        r[i] = noise(rng);
    }
    const uint8_t damaged[8] = {};
    for (int call = 0; call < 5000; ++call)
    {
        const uint32_t frames = std::uniform_int_distribution<uint32_t>(0, 4096)(rng);
        switch (call % 6)
        {
        case 0: {
            Curve c{};
            for (auto& p : c)
                p = std::uniform_int_distribution<int32_t>(0, 128)(rng);
            lv2.curve(c);
            break;
        }
        case 1:
            lv2.getCurve();
            break;
        case 2:
            lv2.midi(0, 0xB0, static_cast<uint8_t>(70 + call % 3), static_cast<uint8_t>(call % 128));
            break;
        case 3:
            lv2.control(static_cast<uint32_t>(call % 9)) = noise(rng);
            break;
        case 4:
            lv2.rawEvent(0, names.atomObject, 3000, damaged, sizeof damaged);
            break;
        default:
            break;
        }
        lv2.run(l.data(), r.data(), l.data(), r.data(), frames);
        if (call % 100 == 99)
            lv2.activate();
    }
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_EQ(locks.load(), 0);
    EXPECT_GT(lv2.queuedDraws(), 0);
}

} // namespace
} // namespace dc::lv2test
