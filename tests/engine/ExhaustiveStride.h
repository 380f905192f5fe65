// Exhaustive sweeps over every float prove exactness in the normal build. The
// sanitizer builds (unoptimised, instrumented) look for memory and undefined
// behaviour instead, which a sample of every 61st float finds as well, in a
// fraction of the time.
#pragma once

#include <cstdint>

namespace exhaustive {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr uint32_t kStride = 61;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr uint32_t kStride = 61;
#else
constexpr uint32_t kStride = 1;
#endif
#else
constexpr uint32_t kStride = 1;
#endif

} // namespace exhaustive
