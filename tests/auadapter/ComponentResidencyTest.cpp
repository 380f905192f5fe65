// A component opened and closed again and again: closing its last instance
// lets go of the bundle's code, and memory stays where it was.
#include "ComponentTestSupport.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>

using namespace ComponentTest;

namespace
{

long residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

TEST(ComponentResidency, ThreeHundredOpensAndClosesGrowMemoryByLessThanAMegabyte)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers' own bookkeeping grows with every load";
#endif
    Bundle bundle = makeBundle();
    auto cycle = [&] {
        AudioUnit unit = open(bundle);
        ASSERT_NE(unit, nullptr);
        CloseComponent(unit); // the last instance: the code is let go of
    };
    for (int i = 0; i < 20; ++i)
        cycle();
    const long before = residentBytes();
    for (int i = 0; i < 300; ++i) // each leaked 13 kB while the code was unloaded
        cycle();
    EXPECT_LT(residentBytes() - before, 1L << 20);
}

} // namespace
