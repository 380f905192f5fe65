// Owns one CoreFoundation reference and releases it when it goes out of
// scope, so that an exception thrown between Create and Release leaks nothing.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

template <typename T> class CFHolder
{
public:
    CFHolder() = default;
    explicit CFHolder(T value) : ref(value) {}
    ~CFHolder() { reset(); }
    CFHolder(const CFHolder&) = delete;
    CFHolder& operator=(const CFHolder&) = delete;
    CFHolder(CFHolder&& other) noexcept : ref(other.release()) {}
    CFHolder& operator=(CFHolder&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    T get() const { return ref; }
    explicit operator bool() const { return ref != nullptr; }
    // Hands the reference to the caller, who releases it.
    T release()
    {
        T value = ref;
        ref = nullptr;
        return value;
    }
    void reset(T value = nullptr)
    {
        if (ref)
            CFRelease(ref);
        ref = value;
    }

private:
    T ref = nullptr;
};
