// Property lists through libplist: CF values to and from Apple's XML format
// (binary lists are read too).
#include "CFPropertyList.h"

#include <plist/plist.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>

namespace
{

// Deeper nesting than this is refused rather than recursed into.
constexpr int kMaxDepth = 256;

struct PlistFree
{
    void operator()(void* p) const { plist_free(static_cast<plist_t>(p)); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

plist_t toPlist(CFTypeRef value, int depth)
{
    if (!value || depth > kMaxDepth)
        return nullptr;
    switch (CFGetTypeID(value))
    {
    case cf::kStringTypeID:
        return plist_new_string(cf::toUTF8(static_cast<CFStringRef>(value)).c_str());
    case cf::kBooleanTypeID:
        return plist_new_bool(CFBooleanGetValue(static_cast<CFBooleanRef>(value)));
    case cf::kNumberTypeID:
    {
        const auto* n = static_cast<const __CFNumber*>(value);
        if (n->isFloat)
            return plist_new_real(n->real);
        // libplist keeps signed values in its unsigned node and writes them
        // back signed.
        return plist_new_uint(static_cast<uint64_t>(n->integer));
    }
    case cf::kDataTypeID:
    {
        const auto* d = static_cast<const __CFData*>(value);
        return plist_new_data(reinterpret_cast<const char*>(d->bytes.data()), d->bytes.size());
    }
    case cf::kArrayTypeID:
    {
        const auto* a = static_cast<const __CFArray*>(value);
        PlistPtr node(plist_new_array());
        for (const void* item : a->values)
        {
            plist_t child = toPlist(item, depth + 1);
            if (!child)
                return nullptr;
            plist_array_append_item(node.get(), child);
        }
        return node.release();
    }
    case cf::kDictionaryTypeID:
    {
        const auto* d = static_cast<const __CFDictionary*>(value);
        PlistPtr node(plist_new_dict());
        for (const auto& [key, item] : d->entries)
        {
            if (CFGetTypeID(key) != cf::kStringTypeID)
                return nullptr;
            plist_t child = toPlist(item, depth + 1);
            if (!child)
                return nullptr;
            plist_dict_set_item(node.get(), cf::toUTF8(static_cast<CFStringRef>(key)).c_str(), child);
        }
        return node.release();
    }
    default:
        return nullptr;
    }
}

struct Reader
{
    bool mutableContainers;
    std::string error;

    CFTypeRef fail(const char* text)
    {
        if (error.empty())
            error = text;
        return nullptr;
    }

    CFTypeRef read(plist_t node, int depth)
    {
        if (depth > kMaxDepth)
            return fail("property list nested too deeply");
        switch (plist_get_node_type(node))
        {
        case PLIST_BOOLEAN:
        {
            uint8_t v = 0;
            plist_get_bool_val(node, &v);
            return v ? kCFBooleanTrue : kCFBooleanFalse;
        }
        case PLIST_UINT:
        {
            uint64_t v = 0;
            plist_get_uint_val(node, &v);
            auto* n = new __CFNumber();
            n->integer = static_cast<SInt64>(v);
            return n;
        }
        case PLIST_REAL:
        {
            double v = 0;
            plist_get_real_val(node, &v);
            auto* n = new __CFNumber();
            n->isFloat = true;
            n->real = v;
            return n;
        }
        case PLIST_STRING:
        case PLIST_KEY:
        {
            char* text = nullptr;
            if (plist_get_node_type(node) == PLIST_STRING)
                plist_get_string_val(node, &text);
            else
                plist_get_key_val(node, &text);
            CFStringRef s = cf::makeStringFromUTF8(text ? text : "");
            std::free(text);
            return s ? s : fail("string is not valid UTF-8");
        }
        case PLIST_DATA:
        {
            char* bytes = nullptr;
            uint64_t length = 0;
            plist_get_data_val(node, &bytes, &length);
            auto* d = new __CFData();
            if (bytes)
                d->bytes.assign(reinterpret_cast<UInt8*>(bytes), reinterpret_cast<UInt8*>(bytes) + length);
            std::free(bytes);
            return d;
        }
        case PLIST_ARRAY:
        {
            auto* a = new __CFArray(&kCFTypeArrayCallBacks);
            a->mutableArray = mutableContainers;
            const uint32_t count = plist_array_get_size(node);
            for (uint32_t i = 0; i < count; ++i)
            {
                CFTypeRef item = read(plist_array_get_item(node, i), depth + 1);
                if (!item)
                {
                    CFRelease(a);
                    return nullptr;
                }
                a->append(item);
                CFRelease(item);
            }
            return a;
        }
        case PLIST_DICT:
        {
            auto* d = new __CFDictionary(&kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
            d->mutableDictionary = mutableContainers;
            plist_dict_iter it = nullptr;
            plist_dict_new_iter(node, &it);
            while (it)
            {
                char* key = nullptr;
                plist_t child = nullptr;
                plist_dict_next_item(node, it, &key, &child);
                if (!child)
                {
                    std::free(key);
                    break;
                }
                CFStringRef k = cf::makeStringFromUTF8(key ? key : "");
                std::free(key);
                CFTypeRef v = k ? read(child, depth + 1) : fail("key is not valid UTF-8");
                if (!v)
                {
                    if (k)
                        CFRelease(k);
                    std::free(it);
                    CFRelease(d);
                    return nullptr;
                }
                d->set(k, v);
                CFRelease(k);
                CFRelease(v);
            }
            std::free(it);
            return d;
        }
        case PLIST_DATE:
            return fail("dates are not supported in property lists");
        default:
            return fail("unsupported value in property list");
        }
    }
};

uint64_t readBigEndian(const unsigned char* p, size_t size)
{
    uint64_t v = 0;
    for (size_t i = 0; i < size; ++i)
        v = (v << 8) | p[i];
    return v;
}

// libplist stops the process (an assertion) on a string holding a NUL
// character, so such input is refused before it gets there. XML text may not
// hold NUL at all; in a binary list every string object is checked.
bool holdsNulCharacter(const unsigned char* b, size_t n)
{
    if (n < 8 || std::memcmp(b, "bplist", 6) != 0)
        return std::memchr(b, 0, n) != nullptr;
    if (n < 8 + 32)
        return false; // too short to be read at all
    const unsigned char* trailer = b + n - 32;
    const size_t offsetSize = trailer[6];
    const uint64_t count = readBigEndian(trailer + 8, 8);
    const uint64_t tableOffset = readBigEndian(trailer + 24, 8);
    const size_t end = n - 32;
    if (offsetSize < 1 || offsetSize > 8 || tableOffset > end || count > (end - tableOffset) / offsetSize)
        return false; // damaged: libplist refuses it
    for (uint64_t i = 0; i < count; ++i)
    {
        const uint64_t at = readBigEndian(b + tableOffset + i * offsetSize, offsetSize);
        if (at >= end)
            continue;
        const unsigned kind = b[at] >> 4;
        if (kind != 0x5 && kind != 0x6 && kind != 0x7)
            continue;
        uint64_t length = b[at] & 0x0F;
        uint64_t p = at + 1;
        if (length == 0x0F)
        {
            // The length follows as an integer object of 1, 2, 4 or 8 bytes.
            if (p >= end || (b[p] >> 4) != 0x1 || (b[p] & 0x0F) > 3)
                return true;
            const size_t size = size_t(1) << (b[p] & 0x0F);
            if (p + 1 + size > end)
                return true;
            length = readBigEndian(b + p + 1, size);
            p += 1 + size;
        }
        const uint64_t unit = kind == 0x6 ? 2 : 1;
        if (length > (end - p) / unit)
            return true;
        for (uint64_t k = 0; k < length; ++k)
        {
            const bool zero = unit == 2 ? (b[p + 2 * k] == 0 && b[p + 2 * k + 1] == 0) : b[p + k] == 0;
            if (zero)
                return true;
        }
    }
    return false;
}

} // namespace

namespace cf
{

CFPropertyListRef readPropertyList(const void* bytes, size_t length, bool mutableContainers, std::string& error)
{
    if (!bytes || length == 0 || length > std::numeric_limits<uint32_t>::max())
    {
        error = "empty or oversized property list";
        return nullptr;
    }
    if (holdsNulCharacter(static_cast<const unsigned char*>(bytes), length))
    {
        error = "property list holds a NUL character or a damaged string";
        return nullptr;
    }
    plist_t root = nullptr;
    plist_from_memory(static_cast<const char*>(bytes), static_cast<uint32_t>(length), &root);
    if (!root)
    {
        error = "not a property list";
        return nullptr;
    }
    PlistPtr guard(root);
    Reader reader{mutableContainers, {}};
    CFTypeRef value = reader.read(root, 0);
    error = reader.error;
    return value;
}

CFPropertyListRef readPropertyListFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return nullptr;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() > (64u << 20))
        return nullptr;
    std::string error;
    return readPropertyList(bytes.data(), bytes.size(), false, error);
}

} // namespace cf

extern "C" {

CFDataRef CFPropertyListCreateXMLData(CFAllocatorRef, CFPropertyListRef propertyList)
{
    PlistPtr root(toPlist(propertyList, 0));
    if (!root)
        return nullptr;
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root.get(), &xml, &length);
    if (!xml)
        return nullptr;
    CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(xml), length);
    plist_to_xml_free(xml);
    return data;
}

CFPropertyListRef CFPropertyListCreateFromXMLData(CFAllocatorRef, CFDataRef xmlData, CFOptionFlags mutabilityOption,
                                                  CFStringRef* errorString)
{
    if (errorString)
        *errorString = nullptr;
    std::string error;
    CFPropertyListRef value = nullptr;
    if (CFGetTypeID(xmlData) != cf::kDataTypeID)
        error = "no data";
    else
    {
        const auto* d = static_cast<const __CFData*>(xmlData);
        value = cf::readPropertyList(d->bytes.data(), d->bytes.size(),
                                     mutabilityOption != kCFPropertyListImmutable, error);
    }
    if (!value && errorString)
        *errorString = cf::makeStringFromUTF8(error.empty() ? "not a property list" : error);
    return value;
}

} // extern "C"
