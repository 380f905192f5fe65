// Exhaustive sweeps over every float prove exactness in the normal build. The
// sanitizer builds (unoptimised, instrumented) look for memory and undefined
// behaviour instead, which a sample of every 61st float finds as well, in a
// fraction of the time.
#pragma once

#include "tests/support/Sanitizers.h"

#include <cstdint>

namespace exhaustive {

#if defined(DC_UNDER_ASAN) || defined(DC_UNDER_TSAN)
constexpr uint32_t kStride = 61;
#else
constexpr uint32_t kStride = 1;
#endif

} // namespace exhaustive
