// Arrays and dictionaries: values kept through the creator's callbacks
// (retained CF values, or plain pointers with null callbacks).
#include "CFRuntime.h"

namespace
{

const void* retainValue(CFAllocatorRef, const void* value)
{
    return CFRetain(value);
}

void releaseValue(CFAllocatorRef, const void* value)
{
    CFRelease(value);
}

Boolean equalValues(const void* a, const void* b)
{
    return CFEqual(a, b);
}

CFHashCode hashValue(const void* value)
{
    return cf::hashOf(value);
}

__CFArray* array(CFTypeRef a)
{
    return cf::as<__CFArray>(a, cf::kArrayTypeID);
}

__CFDictionary* dictionary(CFTypeRef d)
{
    return cf::as<__CFDictionary>(d, cf::kDictionaryTypeID);
}

} // namespace

extern "C" {

const CFArrayCallBacks kCFTypeArrayCallBacks = {0, retainValue, releaseValue, nullptr, equalValues};
const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks = {0, retainValue, releaseValue, nullptr, equalValues,
                                                                hashValue};
const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks = {0, retainValue, releaseValue, nullptr,
                                                                    equalValues};

} // extern "C"

__CFArray::__CFArray(const CFArrayCallBacks* cb) : CFObject(cf::kArrayTypeID)
{
    if (cb)
        callbacks = *cb;
}

__CFArray::~__CFArray()
{
    if (callbacks.release)
        for (const void* v : values)
            callbacks.release(nullptr, v);
}

void __CFArray::append(const void* value)
{
    values.push_back(callbacks.retain ? callbacks.retain(nullptr, value) : value);
}

bool __CFArray::equals(const CFObject& other) const
{
    const auto& o = static_cast<const __CFArray&>(other);
    if (values.size() != o.values.size())
        return false;
    for (size_t i = 0; i < values.size(); ++i)
    {
        const bool same = callbacks.equal ? callbacks.equal(values[i], o.values[i]) : values[i] == o.values[i];
        if (!same)
            return false;
    }
    return true;
}

__CFDictionary::__CFDictionary(const CFDictionaryKeyCallBacks* keys, const CFDictionaryValueCallBacks* vals)
    : CFObject(cf::kDictionaryTypeID)
{
    if (keys)
        keyCallbacks = *keys;
    if (vals)
        valueCallbacks = *vals;
}

__CFDictionary::~__CFDictionary()
{
    for (auto& [key, value] : entries)
    {
        if (keyCallbacks.release)
            keyCallbacks.release(nullptr, key);
        if (valueCallbacks.release)
            valueCallbacks.release(nullptr, value);
    }
}

CFIndex __CFDictionary::find(const void* key) const
{
    for (size_t i = 0; i < entries.size(); ++i)
    {
        const void* k = entries[i].first;
        if (k == key || (keyCallbacks.equal && keyCallbacks.equal(k, key)))
            return static_cast<CFIndex>(i);
    }
    return -1;
}

void __CFDictionary::set(const void* key, const void* value)
{
    const void* newValue = valueCallbacks.retain ? valueCallbacks.retain(nullptr, value) : value;
    const CFIndex at = find(key);
    if (at >= 0)
    {
        // Keep the stored key; replace the value.
        const void* old = entries[static_cast<size_t>(at)].second;
        entries[static_cast<size_t>(at)].second = newValue;
        if (valueCallbacks.release)
            valueCallbacks.release(nullptr, old);
        return;
    }
    const void* newKey = keyCallbacks.retain ? keyCallbacks.retain(nullptr, key) : key;
    entries.emplace_back(newKey, newValue);
}

bool __CFDictionary::equals(const CFObject& other) const
{
    const auto& o = static_cast<const __CFDictionary&>(other);
    if (entries.size() != o.entries.size())
        return false;
    for (const auto& [key, value] : entries)
    {
        const CFIndex at = o.find(key);
        if (at < 0)
            return false;
        const void* v = o.entries[static_cast<size_t>(at)].second;
        const bool same = valueCallbacks.equal ? valueCallbacks.equal(value, v) : value == v;
        if (!same)
            return false;
    }
    return true;
}

extern "C" {

CFArrayRef CFArrayCreate(CFAllocatorRef, const void** values, CFIndex numValues, const CFArrayCallBacks* callBacks)
{
    if (numValues < 0 || (numValues > 0 && !values))
        return nullptr;
    auto* a = new __CFArray(callBacks);
    a->values.reserve(static_cast<size_t>(numValues));
    for (CFIndex i = 0; i < numValues; ++i)
        a->append(values[i]);
    return a;
}

CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef, CFIndex capacity, const CFArrayCallBacks* callBacks)
{
    if (capacity < 0)
        return nullptr;
    auto* a = new __CFArray(callBacks);
    a->mutableArray = true;
    return a;
}

void CFArrayAppendValue(CFMutableArrayRef theArray, const void* value)
{
    if (__CFArray* a = array(theArray); a && a->mutableArray)
        a->append(value);
}

CFIndex CFArrayGetCount(CFArrayRef theArray)
{
    const __CFArray* a = array(theArray);
    return a ? static_cast<CFIndex>(a->values.size()) : 0;
}

const void* CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex idx)
{
    const __CFArray* a = array(theArray);
    if (!a || idx < 0 || idx >= static_cast<CFIndex>(a->values.size()))
        return nullptr;
    return a->values[static_cast<size_t>(idx)];
}

CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef, CFIndex capacity,
                                                 const CFDictionaryKeyCallBacks* keyCallBacks,
                                                 const CFDictionaryValueCallBacks* valueCallBacks)
{
    if (capacity < 0)
        return nullptr;
    auto* d = new __CFDictionary(keyCallBacks, valueCallBacks);
    d->mutableDictionary = true;
    return d;
}

void CFDictionarySetValue(CFMutableDictionaryRef theDict, const void* key, const void* value)
{
    if (__CFDictionary* d = dictionary(theDict); d && d->mutableDictionary)
        d->set(key, value);
}

const void* CFDictionaryGetValue(CFDictionaryRef theDict, const void* key)
{
    const __CFDictionary* d = dictionary(theDict);
    if (!d)
        return nullptr;
    const CFIndex at = d->find(key);
    return at < 0 ? nullptr : d->entries[static_cast<size_t>(at)].second;
}

CFIndex CFDictionaryGetCount(CFDictionaryRef theDict)
{
    const __CFDictionary* d = dictionary(theDict);
    return d ? static_cast<CFIndex>(d->entries.size()) : 0;
}

} // extern "C"
