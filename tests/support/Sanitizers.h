// Whether this build runs under a sanitizer: GCC says so with its own macros,
// clang through __has_feature.
#pragma once

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DC_UNDER_ASAN 1
#endif
#if __has_feature(thread_sanitizer)
#define DC_UNDER_TSAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) && !defined(DC_UNDER_ASAN)
#define DC_UNDER_ASAN 1
#endif
#if defined(__SANITIZE_THREAD__) && !defined(DC_UNDER_TSAN)
#define DC_UNDER_TSAN 1
#endif
