// The plug-in module loaded and unloaded again and again, as hosts do when
// they scan: memory stays where it was after the first load.
#include "tests/support/ResidentMemory.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace
{

TEST(ModuleResidency, ThreeThousandLoadsAndUnloadsGrowMemoryByLessThanAMegabyte)
{
    if (!dc::kCountsGrowth)
        GTEST_SKIP() << "the sanitizers' own bookkeeping grows with every load";
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
    const long before = dc::residentBytes();
    for (int i = 0; i < 3000; ++i)
        cycle(i);
    EXPECT_LT(dc::residentBytes() - before, 1L << 20);
}

} // namespace
