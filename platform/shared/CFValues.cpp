// Numbers and file URLs.
#include "CFRuntime.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>

namespace
{

enum class Kind
{
    Invalid,
    Signed,
    Real
};

struct TypeInfo
{
    Kind kind;
    size_t size;
};

TypeInfo typeInfo(CFNumberType type)
{
    switch (type)
    {
    case kCFNumberSInt8Type:
    case kCFNumberCharType:
        return {Kind::Signed, 1};
    case kCFNumberSInt16Type:
    case kCFNumberShortType:
        return {Kind::Signed, 2};
    case kCFNumberSInt32Type:
    case kCFNumberIntType:
        return {Kind::Signed, 4};
    case kCFNumberSInt64Type:
    case kCFNumberLongType:
    case kCFNumberLongLongType:
    case kCFNumberCFIndexType:
    case kCFNumberNSIntegerType:
        return {Kind::Signed, 8};
    case kCFNumberFloat32Type:
    case kCFNumberFloatType:
        return {Kind::Real, 4};
    case kCFNumberFloat64Type:
    case kCFNumberDoubleType:
    case kCFNumberCGFloatType:
        return {Kind::Real, 8};
    default:
        return {Kind::Invalid, 0};
    }
}

SInt64 readSigned(const void* p, size_t size)
{
    switch (size)
    {
    case 1: { SInt8 v; std::memcpy(&v, p, 1); return v; }
    case 2: { SInt16 v; std::memcpy(&v, p, 2); return v; }
    case 4: { SInt32 v; std::memcpy(&v, p, 4); return v; }
    default: { SInt64 v; std::memcpy(&v, p, 8); return v; }
    }
}

// Stores v clamped to the type's range; false when it had to change.
bool writeSigned(void* p, size_t size, SInt64 v)
{
    SInt64 lo = std::numeric_limits<SInt64>::min(), hi = std::numeric_limits<SInt64>::max();
    if (size < 8)
    {
        hi = (SInt64(1) << (size * 8 - 1)) - 1;
        lo = -hi - 1;
    }
    const SInt64 c = v < lo ? lo : (v > hi ? hi : v);
    switch (size)
    {
    case 1: { SInt8 x = static_cast<SInt8>(c); std::memcpy(p, &x, 1); break; }
    case 2: { SInt16 x = static_cast<SInt16>(c); std::memcpy(p, &x, 2); break; }
    case 4: { SInt32 x = static_cast<SInt32>(c); std::memcpy(p, &x, 4); break; }
    default: std::memcpy(p, &c, 8); break;
    }
    return c == v;
}

// A double as an integer of the given size: truncated toward zero, NaN to 0,
// out of range to the nearest limit; false when the value changed.
bool writeRealAsSigned(void* p, size_t size, double v)
{
    if (std::isnan(v))
    {
        writeSigned(p, size, 0);
        return false;
    }
    const double t = std::trunc(v);
    SInt64 i;
    bool exact = t == v;
    if (t >= 9223372036854775807.0)
    {
        i = std::numeric_limits<SInt64>::max();
        exact = false;
    }
    else if (t < -9223372036854775808.0)
    {
        i = std::numeric_limits<SInt64>::min();
        exact = false;
    }
    else
        i = static_cast<SInt64>(t);
    return writeSigned(p, size, i) && exact;
}

} // namespace

extern "C" {

CFNumberRef CFNumberCreate(CFAllocatorRef, CFNumberType theType, const void* valuePtr)
{
    const TypeInfo info = typeInfo(theType);
    if (info.kind == Kind::Invalid || !valuePtr)
        return nullptr;
    auto* n = new __CFNumber();
    if (info.kind == Kind::Signed)
        n->integer = readSigned(valuePtr, info.size);
    else
    {
        n->isFloat = true;
        if (info.size == 4)
        {
            Float32 f;
            std::memcpy(&f, valuePtr, 4);
            n->real = f;
        }
        else
            std::memcpy(&n->real, valuePtr, 8);
    }
    return n;
}

Boolean CFNumberGetValue(CFNumberRef number, CFNumberType theType, void* valuePtr)
{
    const auto* n = cf::as<const __CFNumber>(number, cf::kNumberTypeID);
    const TypeInfo info = typeInfo(theType);
    if (!n || info.kind == Kind::Invalid || !valuePtr)
        return false;
    if (info.kind == Kind::Signed)
        return n->isFloat ? writeRealAsSigned(valuePtr, info.size, n->real)
                          : writeSigned(valuePtr, info.size, n->integer);
    const double d = n->isFloat ? n->real : static_cast<double>(n->integer);
    bool exact = n->isFloat || static_cast<SInt64>(d) == n->integer || d >= 9223372036854775807.0;
    if (info.size == 4)
    {
        // Out-of-range doubles become infinities, which is what a cast
        // would do but without the undefined behaviour.
        Float32 f;
        if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<Float32>::max())
            f = d > 0 ? std::numeric_limits<Float32>::infinity() : -std::numeric_limits<Float32>::infinity();
        else
            f = static_cast<Float32>(d);
        exact = exact && (static_cast<double>(f) == d || std::isnan(d));
        std::memcpy(valuePtr, &f, 4);
    }
    else
        std::memcpy(valuePtr, &d, 8);
    return exact;
}

CFURLRef CFURLCreateFromFileSystemRepresentation(CFAllocatorRef, const UInt8* buffer, CFIndex bufLen,
                                                 Boolean isDirectory)
{
    if (!buffer || bufLen <= 0)
        return nullptr;
    std::string path(reinterpret_cast<const char*>(buffer), static_cast<size_t>(bufLen));
    // A terminating NUL inside the given length ends the path.
    path.resize(std::strlen(path.c_str()));
    if (path.empty())
        return nullptr;
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    if (ec)
        return nullptr;
    std::string text = absolute.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    auto* url = new __CFURL();
    url->path = std::move(text);
    url->isDirectory = isDirectory;
    return url;
}

Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean, UInt8* buffer, CFIndex maxBufLen)
{
    const auto* u = cf::as<const __CFURL>(url, cf::kURLTypeID);
    if (!u || !buffer || maxBufLen <= 0 || static_cast<CFIndex>(u->path.size()) >= maxBufLen)
        return false;
    std::memcpy(buffer, u->path.c_str(), u->path.size() + 1);
    return true;
}

} // extern "C"
