// A component opened and closed again and again: closing its last instance
// lets go of the bundle's code, and memory stays where it was.
#include "ComponentTestSupport.h"
#include "tests/support/ResidentMemory.h"

#include <gtest/gtest.h>

using namespace ComponentTest;

namespace
{

TEST(ComponentResidency, ThreeHundredOpensAndClosesGrowMemoryByLessThanAMegabyte)
{
    if (!dc::kCountsGrowth)
        GTEST_SKIP() << "the sanitizers' own bookkeeping grows with every load";
    Bundle bundle = makeBundle();
    auto cycle = [&] {
        AudioUnit unit = open(bundle);
        ASSERT_NE(unit, nullptr);
        CloseComponent(unit); // the last instance: the code is let go of
    };
    for (int i = 0; i < 20; ++i)
        cycle();
    const long before = dc::residentBytes();
    for (int i = 0; i < 300; ++i) // each leaked 13 kB while the code was unloaded
        cycle();
    EXPECT_LT(dc::residentBytes() - before, 1L << 20);
}

} // namespace
