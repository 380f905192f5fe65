// Strings: UTF-16 text, created from and written to MacRoman, ASCII,
// ISO Latin 1 and UTF-8, compared literally, case-insensitively and
// numerically; constant strings interned for the life of the process.
#include "CFRuntime.h"

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace
{

// Apple's current MacRoman table, bytes 0x80 to 0xFF (0x00 to 0x7F are ASCII).
constexpr char16_t kMacRomanHigh[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, // 80
    0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8, // 88
    0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3, // 90
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, // 98
    0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF, // A0
    0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8, // A8
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211, // B0
    0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8, // B8
    0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB, // C0
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153, // C8
    0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA, // D0
    0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02, // D8
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1, // E0
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4, // E8
    0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC, // F0
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7, // F8
};

// The MacRoman byte of a character, or -1.
int macRomanByte(char16_t c)
{
    if (c < 0x80)
        return c;
    for (int i = 0; i < 128; ++i)
        if (kMacRomanHigh[i] == c)
            return 0x80 + i;
    return -1;
}

bool isSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

void appendUTF16(std::u16string& out, char32_t c)
{
    if (c < 0x10000)
        out.push_back(static_cast<char16_t>(c));
    else
    {
        c -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    }
}

// Strict UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool decodeUTF8(const unsigned char* s, size_t n, std::u16string& out)
{
    size_t i = 0;
    while (i < n)
    {
        const unsigned char b = s[i];
        char32_t c;
        size_t extra;
        if (b < 0x80)
        {
            c = b;
            extra = 0;
        }
        else if (b >= 0xC2 && b <= 0xDF)
        {
            c = b & 0x1F;
            extra = 1;
        }
        else if (b >= 0xE0 && b <= 0xEF)
        {
            c = b & 0x0F;
            extra = 2;
        }
        else if (b >= 0xF0 && b <= 0xF4)
        {
            c = b & 0x07;
            extra = 3;
        }
        else
            return false;
        if (n - i - 1 < extra)
            return false;
        for (size_t k = 1; k <= extra; ++k)
        {
            const unsigned char t = s[i + k];
            if ((t & 0xC0) != 0x80)
                return false;
            c = (c << 6) | (t & 0x3F);
        }
        if ((extra == 2 && c < 0x800) || (extra == 3 && (c < 0x10000 || c > 0x10FFFF)) || isSurrogate(c))
            return false;
        appendUTF16(out, c);
        i += extra + 1;
    }
    return true;
}

// Next code point of UTF-16 text; an unpaired surrogate gives U+FFFD and,
// when `strict`, sets `bad`.
char32_t nextCodePoint(const std::u16string& s, size_t& i, bool& bad)
{
    char32_t c = s[i++];
    if (c >= 0xD800 && c <= 0xDBFF && i < s.size() && s[i] >= 0xDC00 && s[i] <= 0xDFFF)
        return 0x10000 + ((c - 0xD800) << 10) + (s[i++] - 0xDC00);
    if (isSurrogate(c))
    {
        bad = true;
        return 0xFFFD;
    }
    return c;
}

void appendUTF8(std::string& out, char32_t c)
{
    if (c < 0x80)
        out.push_back(static_cast<char>(c));
    else if (c < 0x800)
    {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
    else if (c < 0x10000)
    {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
    else
    {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Bytes of the string in an encoding; false when a character has no code.
bool encode(const std::u16string& chars, CFStringEncoding encoding, std::string& out)
{
    switch (encoding)
    {
    case kCFStringEncodingUTF8:
    {
        size_t i = 0;
        bool bad = false;
        while (i < chars.size())
            appendUTF8(out, nextCodePoint(chars, i, bad));
        return !bad;
    }
    case kCFStringEncodingMacRoman:
        for (char16_t c : chars)
        {
            const int b = macRomanByte(c);
            if (b < 0)
                return false;
            out.push_back(static_cast<char>(b));
        }
        return true;
    case kCFStringEncodingASCII:
    case kCFStringEncodingISOLatin1:
    {
        const char16_t limit = encoding == kCFStringEncodingASCII ? 0x80 : 0x100;
        for (char16_t c : chars)
        {
            if (c >= limit)
                return false;
            out.push_back(static_cast<char>(c));
        }
        return true;
    }
    default:
        return false;
    }
}

bool decode(const char* bytes, size_t n, CFStringEncoding encoding, std::u16string& out)
{
    const auto* s = reinterpret_cast<const unsigned char*>(bytes);
    switch (encoding)
    {
    case kCFStringEncodingUTF8:
        return decodeUTF8(s, n, out);
    case kCFStringEncodingMacRoman:
        for (size_t i = 0; i < n; ++i)
            out.push_back(s[i] < 0x80 ? s[i] : kMacRomanHigh[s[i] - 0x80]);
        return true;
    case kCFStringEncodingASCII:
        for (size_t i = 0; i < n; ++i)
        {
            if (s[i] >= 0x80)
                return false;
            out.push_back(s[i]);
        }
        return true;
    case kCFStringEncodingISOLatin1:
        for (size_t i = 0; i < n; ++i)
            out.push_back(s[i]);
        return true;
    default:
        return false;
    }
}

char16_t foldCase(char16_t c)
{
    if (c >= 'A' && c <= 'Z')
        return static_cast<char16_t>(c + 32);
    // Latin 1 capitals (not the multiplication sign).
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return static_cast<char16_t>(c + 32);
    return c;
}

bool isDigit(char16_t c) { return c >= '0' && c <= '9'; }

CFComparisonResult compare(const std::u16string& a, const std::u16string& b, CFStringCompareFlags flags)
{
    const bool fold = flags & kCFCompareCaseInsensitive;
    const bool numeric = flags & kCFCompareNumerically;
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size())
    {
        if (numeric && isDigit(a[i]) && isDigit(b[j]))
        {
            // Compare the digit runs by value: skip leading zeros, then the
            // longer run is larger, else the first differing digit decides.
            size_t ei = i, ej = j;
            while (ei < a.size() && isDigit(a[ei]))
                ++ei;
            while (ej < b.size() && isDigit(b[ej]))
                ++ej;
            size_t si = i, sj = j;
            while (si + 1 < ei && a[si] == '0')
                ++si;
            while (sj + 1 < ej && b[sj] == '0')
                ++sj;
            if (ei - si != ej - sj)
                return ei - si < ej - sj ? kCFCompareLessThan : kCFCompareGreaterThan;
            for (; si < ei; ++si, ++sj)
                if (a[si] != b[sj])
                    return a[si] < b[sj] ? kCFCompareLessThan : kCFCompareGreaterThan;
            i = ei;
            j = ej;
            continue;
        }
        const char16_t ca = fold ? foldCase(a[i]) : a[i];
        const char16_t cb = fold ? foldCase(b[j]) : b[j];
        if (ca != cb)
            return ca < cb ? kCFCompareLessThan : kCFCompareGreaterThan;
        ++i;
        ++j;
    }
    if (i < a.size())
        return kCFCompareGreaterThan;
    if (j < b.size())
        return kCFCompareLessThan;
    return kCFCompareEqualTo;
}

const __CFString* str(CFStringRef s)
{
    return cf::as<const __CFString>(s, cf::kStringTypeID);
}

} // namespace

bool __CFString::equals(const CFObject& other) const
{
    return chars == static_cast<const __CFString&>(other).chars;
}

CFHashCode __CFString::hash() const
{
    return std::hash<std::u16string>()(chars);
}

namespace cf
{

CFStringRef makeString(std::u16string chars)
{
    return new __CFString(std::move(chars));
}

CFStringRef makeStringFromUTF8(const std::string& utf8)
{
    std::u16string chars;
    if (!decodeUTF8(reinterpret_cast<const unsigned char*>(utf8.data()), utf8.size(), chars))
        return nullptr;
    return makeString(std::move(chars));
}

std::string toUTF8(CFStringRef string)
{
    std::string out;
    if (const __CFString* s = str(string))
        encode(s->chars, kCFStringEncodingUTF8, out);
    return out;
}

} // namespace cf

extern "C" {

CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char* cStr, CFStringEncoding encoding)
{
    if (!cStr)
        return nullptr;
    std::u16string chars;
    if (!decode(cStr, std::strlen(cStr), encoding, chars))
        return nullptr;
    return cf::makeString(std::move(chars));
}

CFStringRef CFStringCreateWithCharacters(CFAllocatorRef, const UniChar* chars, CFIndex numChars)
{
    if (numChars < 0 || (numChars > 0 && !chars))
        return nullptr;
    return cf::makeString(std::u16string(reinterpret_cast<const char16_t*>(chars), static_cast<size_t>(numChars)));
}

Boolean CFStringGetCString(CFStringRef theString, char* buffer, CFIndex bufferSize, CFStringEncoding encoding)
{
    const __CFString* s = str(theString);
    if (!buffer || bufferSize <= 0)
        return false;
    buffer[0] = '\0';
    if (!s)
        return false;
    std::string bytes;
    if (!encode(s->chars, encoding, bytes) || static_cast<CFIndex>(bytes.size()) >= bufferSize)
        return false;
    std::memcpy(buffer, bytes.data(), bytes.size());
    buffer[bytes.size()] = '\0';
    return true;
}

CFIndex CFStringGetLength(CFStringRef theString)
{
    const __CFString* s = str(theString);
    return s ? static_cast<CFIndex>(s->chars.size()) : 0;
}

void CFStringGetCharacters(CFStringRef theString, CFRange range, UniChar* buffer)
{
    const __CFString* s = str(theString);
    if (!s || !buffer || range.location < 0 || range.length <= 0)
        return;
    const auto size = static_cast<CFIndex>(s->chars.size());
    if (range.location > size || range.length > size - range.location)
        return;
    std::memcpy(buffer, s->chars.data() + range.location, static_cast<size_t>(range.length) * sizeof(UniChar));
}

CFComparisonResult CFStringCompare(CFStringRef theString1, CFStringRef theString2, CFStringCompareFlags compareOptions)
{
    static const std::u16string empty;
    const __CFString* a = str(theString1);
    const __CFString* b = str(theString2);
    return compare(a ? a->chars : empty, b ? b->chars : empty, compareOptions);
}

CFStringRef __CFStringMakeConstantString(const char* cStr)
{
    if (!cStr)
        return nullptr;
    // Interned for the life of the process; never freed.
    static std::mutex lock;
    static auto* table = new std::map<std::string, __CFString*, std::less<>>();
    std::lock_guard<std::mutex> guard(lock);
    auto found = table->find(std::string_view(cStr));
    if (found != table->end())
        return found->second;
    std::u16string chars;
    // Source text is UTF-8; anything else is taken byte by byte as MacRoman.
    if (!decode(cStr, std::strlen(cStr), kCFStringEncodingUTF8, chars))
    {
        chars.clear();
        decode(cStr, std::strlen(cStr), kCFStringEncodingMacRoman, chars);
    }
    auto* s = new __CFString(std::move(chars));
    s->immortal = true;
    table->emplace(cStr, s);
    return s;
}

} // extern "C"
