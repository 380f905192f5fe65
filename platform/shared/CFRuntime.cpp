// Reference counting, type IDs, equality and the two booleans.
#include "CFRuntime.h"

#include <cmath>
#include <cstring>
#include <functional>

namespace
{

__CFBoolean trueObject(true);
__CFBoolean falseObject(false);

} // namespace

namespace cf
{

CFHashCode hashOf(CFTypeRef cf)
{
    return cf ? object(cf)->hash() : 0;
}

} // namespace cf

bool __CFNumber::equals(const CFObject& other) const
{
    const auto& o = static_cast<const __CFNumber&>(other);
    if (!isFloat && !o.isFloat)
        return integer == o.integer;
    const double a = isFloat ? real : static_cast<double>(integer);
    const double b = o.isFloat ? o.real : static_cast<double>(o.integer);
    return a == b || (std::isnan(a) && std::isnan(b));
}

CFHashCode __CFNumber::hash() const
{
    if (!isFloat)
        return static_cast<CFHashCode>(integer);
    if (real == std::floor(real) && std::fabs(real) < 9.0e18)
        return static_cast<CFHashCode>(static_cast<SInt64>(real));
    return std::hash<double>()(real);
}

bool __CFData::equals(const CFObject& other) const
{
    return bytes == static_cast<const __CFData&>(other).bytes;
}

CFHashCode __CFData::hash() const
{
    return std::hash<std::string_view>()(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

bool __CFURL::equals(const CFObject& other) const
{
    const auto& o = static_cast<const __CFURL&>(other);
    return path == o.path && isDirectory == o.isDirectory;
}

CFHashCode __CFURL::hash() const
{
    return std::hash<std::string>()(path);
}

extern "C" {

const CFBooleanRef kCFBooleanTrue = &trueObject;
const CFBooleanRef kCFBooleanFalse = &falseObject;

CFTypeRef CFRetain(CFTypeRef cf)
{
    if (cf && !cf::object(cf)->immortal)
        cf::object(cf)->retainCount.fetch_add(1, std::memory_order_relaxed);
    return cf;
}

void CFRelease(CFTypeRef cf)
{
    if (!cf)
        return;
    cf::CFObject* o = cf::object(cf);
    if (o->immortal)
        return;
    if (o->retainCount.fetch_sub(1, std::memory_order_acq_rel) == 1)
        o->finalize();
}

CFIndex CFGetRetainCount(CFTypeRef cf)
{
    if (!cf)
        return 0;
    // Immortal objects report a count that never reaches 0, as CF does.
    if (cf::object(cf)->immortal)
        return 0x7FFFFFFFFFFFFFFFL;
    return cf::object(cf)->retainCount.load(std::memory_order_relaxed);
}

CFTypeID CFGetTypeID(CFTypeRef cf)
{
    return cf ? cf::object(cf)->typeID : 0;
}

Boolean CFEqual(CFTypeRef cf1, CFTypeRef cf2)
{
    if (cf1 == cf2)
        return true;
    if (!cf1 || !cf2 || CFGetTypeID(cf1) != CFGetTypeID(cf2))
        return false;
    return cf::object(cf1)->equals(*cf::object(cf2));
}

CFTypeID CFStringGetTypeID(void) { return cf::kStringTypeID; }
CFTypeID CFArrayGetTypeID(void) { return cf::kArrayTypeID; }
CFTypeID CFDictionaryGetTypeID(void) { return cf::kDictionaryTypeID; }
CFTypeID CFNumberGetTypeID(void) { return cf::kNumberTypeID; }
CFTypeID CFBooleanGetTypeID(void) { return cf::kBooleanTypeID; }
CFTypeID CFDataGetTypeID(void) { return cf::kDataTypeID; }
CFTypeID CFURLGetTypeID(void) { return cf::kURLTypeID; }
CFTypeID CFBundleGetTypeID(void) { return cf::kBundleTypeID; }

Boolean CFBooleanGetValue(CFBooleanRef boolean)
{
    const auto* b = cf::as<const __CFBoolean>(boolean, cf::kBooleanTypeID);
    return b && b->value;
}

CFDataRef CFDataCreate(CFAllocatorRef, const UInt8* bytes, CFIndex length)
{
    if (length < 0 || (length > 0 && !bytes))
        return nullptr;
    auto* data = new __CFData();
    data->bytes.assign(bytes, bytes + length);
    return data;
}

CFIndex CFDataGetLength(CFDataRef theData)
{
    const auto* d = cf::as<const __CFData>(theData, cf::kDataTypeID);
    return d ? static_cast<CFIndex>(d->bytes.size()) : 0;
}

const UInt8* CFDataGetBytePtr(CFDataRef theData)
{
    const auto* d = cf::as<const __CFData>(theData, cf::kDataTypeID);
    return d ? d->bytes.data() : nullptr;
}

} // extern "C"
