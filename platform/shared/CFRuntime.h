// The object model behind the CoreFoundation stand-ins: every CF object is a
// CFObject with an atomic retain count; each type overrides equality and,
// where it has contents, hashing.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <atomic>
#include <string>
#include <utility>
#include <vector>

namespace cf
{

// Type IDs of the types the library provides.
enum : CFTypeID
{
    kStringTypeID = 7,
    kDictionaryTypeID = 18,
    kArrayTypeID = 19,
    kDataTypeID = 20,
    kBooleanTypeID = 21,
    kNumberTypeID = 22,
    kURLTypeID = 29,
    kBundleTypeID = 31,
    kViewTypeID = 1000
};

class CFObject
{
public:
    explicit CFObject(CFTypeID type) : typeID(type) {}
    CFObject(const CFObject&) = delete;
    CFObject& operator=(const CFObject&) = delete;
    virtual ~CFObject() = default;

    // Same type (checked by the caller) and same value.
    virtual bool equals(const CFObject& other) const { return this == &other; }
    virtual CFHashCode hash() const { return reinterpret_cast<CFHashCode>(this); }
    // Runs when the last reference goes; the default deletes the object.
    virtual void finalize() { delete this; }

    const CFTypeID typeID;
    // Immortal objects (constant strings, the booleans) ignore releases.
    bool immortal = false;
    std::atomic<CFIndex> retainCount{1};
};

inline CFObject* object(CFTypeRef cf)
{
    return static_cast<CFObject*>(const_cast<void*>(cf));
}

// The object when cf is non-null and of the given type, else null.
template <typename T>
T* as(CFTypeRef cf, CFTypeID type)
{
    if (!cf || object(cf)->typeID != type)
        return nullptr;
    return static_cast<T*>(object(cf));
}

} // namespace cf

// The concrete types carry the published opaque names, so that a CFStringRef
// is a pointer to one of them.
struct __CFString final : cf::CFObject
{
    explicit __CFString(std::u16string text) : CFObject(cf::kStringTypeID), chars(std::move(text)) {}
    bool equals(const CFObject& other) const override;
    CFHashCode hash() const override;
    std::u16string chars; // UTF-16
};

struct __CFArray final : cf::CFObject
{
    explicit __CFArray(const CFArrayCallBacks* cb);
    ~__CFArray() override;
    bool equals(const CFObject& other) const override;
    void append(const void* value);
    CFArrayCallBacks callbacks{};
    bool mutableArray = false;
    std::vector<const void*> values;
};

struct __CFDictionary final : cf::CFObject
{
    __CFDictionary(const CFDictionaryKeyCallBacks* keys, const CFDictionaryValueCallBacks* values);
    ~__CFDictionary() override;
    bool equals(const CFObject& other) const override;
    // Index of the key, or -1.
    CFIndex find(const void* key) const;
    void set(const void* key, const void* value);
    CFDictionaryKeyCallBacks keyCallbacks{};
    CFDictionaryValueCallBacks valueCallbacks{};
    bool mutableDictionary = false;
    // In the order the keys were first added.
    std::vector<std::pair<const void*, const void*>> entries;
};

struct __CFNumber final : cf::CFObject
{
    __CFNumber() : CFObject(cf::kNumberTypeID) {}
    bool equals(const CFObject& other) const override;
    CFHashCode hash() const override;
    bool isFloat = false;
    SInt64 integer = 0;
    double real = 0.0;
};

struct __CFBoolean final : cf::CFObject
{
    explicit __CFBoolean(bool v) : CFObject(cf::kBooleanTypeID), value(v) { immortal = true; }
    bool value;
};

struct __CFData final : cf::CFObject
{
    __CFData() : CFObject(cf::kDataTypeID) {}
    bool equals(const CFObject& other) const override;
    CFHashCode hash() const override;
    std::vector<UInt8> bytes;
};

struct __CFURL final : cf::CFObject
{
    __CFURL() : CFObject(cf::kURLTypeID) {}
    bool equals(const CFObject& other) const override;
    CFHashCode hash() const override;
    std::string path; // absolute file-system path
    bool isDirectory = false;
};

namespace cf
{

// Helpers shared by the library's sources.
CFStringRef makeString(std::u16string chars); // caller owns
CFStringRef makeStringFromUTF8(const std::string& utf8); // caller owns; null if ill-formed
// UTF-8 of a string (unpaired surrogates become U+FFFD).
std::string toUTF8(CFStringRef string);
CFHashCode hashOf(CFTypeRef cf);

} // namespace cf
