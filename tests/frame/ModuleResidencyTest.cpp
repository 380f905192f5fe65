// The plug-in module loaded and unloaded again and again, as hosts do when
// they scan: memory stays where it was after the first load.
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <fstream>

namespace
{

long residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

TEST(ModuleResidency, ThreeThousandLoadsAndUnloadsGrowMemoryByLessThanAMegabyte)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers' own bookkeeping grows with every load";
#endif
    const std::string path = dc::TestHost::pluginPath();
    auto cycle = [&](int i) {
        // Every hundredth load a scanning host also creates and closes the effect.
        if (i % 100 == 0)
        {
            dc::TestHost host(path);
            ASSERT_NE(host.effect(), nullptr);
            return;
        }
        void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module, nullptr) << dlerror();
        ASSERT_NE(dlsym(module, "VSTPluginMain"), nullptr);
        dlclose(module);
    };
    for (int i = 0; i < 300; ++i) // the first effects fill the heap's arenas
        cycle(i);
    const long before = residentBytes();
    for (int i = 0; i < 3000; ++i)
        cycle(i);
    EXPECT_LT(residentBytes() - before, 1L << 20);
}

} // namespace
