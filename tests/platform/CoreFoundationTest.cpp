// CoreFoundation stand-ins: ownership, strings and encodings, numbers and
// collections.
#include <CoreFoundation/CoreFoundation.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace
{

struct Released
{
    void operator()(CFTypeRef cf) const { CFRelease(cf); }
};

CFStringRef utf8(const char* text)
{
    return CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8);
}

std::string toUTF8(CFStringRef s)
{
    char buffer[1024];
    EXPECT_TRUE(CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingUTF8));
    return buffer;
}

TEST(CFOwnership, CreateOwnsGetDoesNotAndContainersRetain)
{
    CFStringRef key = utf8("key");
    CFStringRef value = utf8("value");
    EXPECT_EQ(CFGetRetainCount(key), 1);
    EXPECT_EQ(CFRetain(key), key);
    EXPECT_EQ(CFGetRetainCount(key), 2);
    CFRelease(key);

    CFMutableDictionaryRef dict =
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    CFDictionarySetValue(dict, key, value);
    EXPECT_EQ(CFGetRetainCount(key), 2) << "the dictionary retains its key";
    EXPECT_EQ(CFGetRetainCount(value), 2) << "and its value";
    const void* got = CFDictionaryGetValue(dict, key);
    EXPECT_EQ(got, value);
    EXPECT_EQ(CFGetRetainCount(value), 2) << "Get does not retain";

    // Replacing a value releases the old one and keeps the stored key.
    CFStringRef sameKey = utf8("key");
    CFStringRef other = utf8("other");
    CFDictionarySetValue(dict, sameKey, other);
    EXPECT_EQ(CFDictionaryGetCount(dict), 1);
    EXPECT_EQ(CFGetRetainCount(value), 1);
    EXPECT_EQ(CFGetRetainCount(sameKey), 1) << "an equal key already stored is kept";

    CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
    CFArrayAppendValue(array, dict);
    EXPECT_EQ(CFGetRetainCount(dict), 2);
    CFRelease(dict);
    CFRelease(array); // frees the dictionary, which releases key and value
    EXPECT_EQ(CFGetRetainCount(key), 1);
    EXPECT_EQ(CFGetRetainCount(other), 1);
    for (CFTypeRef cf : {CFTypeRef(key), CFTypeRef(value), CFTypeRef(sameKey), CFTypeRef(other)})
        CFRelease(cf);
}

TEST(CFOwnership, NullCallbacksHoldPlainPointers)
{
    struct Record
    {
        int number;
    } records[2] = {{1}, {2}};
    const void* values[] = {&records[0], &records[1]};
    CFArrayRef array = CFArrayCreate(nullptr, values, 2, nullptr);
    ASSERT_EQ(CFArrayGetCount(array), 2);
    EXPECT_EQ(CFArrayGetValueAtIndex(array, 1), &records[1]);
    EXPECT_EQ(CFArrayGetValueAtIndex(array, 2), nullptr);
    EXPECT_EQ(CFArrayGetValueAtIndex(array, -1), nullptr);
    CFRelease(array);

    CFMutableDictionaryRef dict = CFDictionaryCreateMutable(nullptr, 0, nullptr, nullptr);
    CFDictionarySetValue(dict, &records[0], &records[1]);
    EXPECT_EQ(CFDictionaryGetValue(dict, &records[0]), &records[1]);
    EXPECT_EQ(CFDictionaryGetValue(dict, &records[1]), nullptr);
    CFRelease(dict);
}

TEST(CFOwnership, ConstantsAndBooleansOutliveReleases)
{
    CFStringRef a = CFSTR("Constant");
    EXPECT_EQ(a, CFSTR("Constant")) << "the same text gives the same object";
    CFRelease(a);
    CFRelease(a);
    EXPECT_EQ(CFStringGetLength(a), 8);
    CFRelease(kCFBooleanTrue);
    EXPECT_TRUE(CFBooleanGetValue(kCFBooleanTrue));
    EXPECT_FALSE(CFBooleanGetValue(kCFBooleanFalse));
    EXPECT_EQ(CFGetTypeID(kCFBooleanTrue), CFBooleanGetTypeID());
}

TEST(CFString, MacRomanRoundTripsAllBytesThroughUTF8)
{
    for (int b = 1; b < 256; ++b)
    {
        const char in[2] = {static_cast<char>(b), 0};
        std::unique_ptr<const void, Released> s(CFStringCreateWithCString(nullptr, in, kCFStringEncodingMacRoman));
        ASSERT_TRUE(s) << b;
        const auto str = static_cast<CFStringRef>(s.get());
        ASSERT_EQ(CFStringGetLength(str), 1);
        UniChar c = 0;
        CFStringGetCharacters(str, CFRangeMake(0, 1), &c);
        if (b < 0x80)
        {
            EXPECT_EQ(c, b);
        }
        // Through UTF-8 and back, to the same byte.
        std::unique_ptr<const void, Released> again(CFStringCreateWithCString(nullptr, toUTF8(str).c_str(),
                                                                              kCFStringEncodingUTF8));
        char out[8] = {};
        ASSERT_TRUE(CFStringGetCString(static_cast<CFStringRef>(again.get()), out, sizeof out,
                                       kCFStringEncodingMacRoman));
        EXPECT_EQ(static_cast<unsigned char>(out[0]), b);
        EXPECT_EQ(out[1], 0);
    }
}

TEST(CFString, MacRomanIsApplesCurrentTable)
{
    struct Row
    {
        unsigned char byte;
        UniChar character;
    };
    for (Row row : {Row{0xDB, 0x20AC}, Row{0xC6, 0x2206}, Row{0xF0, 0xF8FF}, Row{0x80, 0x00C4}, Row{0xCA, 0x00A0},
                    Row{0xBD, 0x03A9}, Row{0xDE, 0xFB01}, Row{0xFF, 0x02C7}, Row{0xA5, 0x2022}})
    {
        const char in[2] = {static_cast<char>(row.byte), 0};
        CFStringRef s = CFStringCreateWithCString(nullptr, in, kCFStringEncodingMacRoman);
        UniChar c = 0;
        CFStringGetCharacters(s, CFRangeMake(0, 1), &c);
        EXPECT_EQ(c, row.character) << std::hex << int(row.byte);
        CFRelease(s);
    }
    // No MacRoman code for the old currency sign (0xDB's former meaning).
    CFStringRef currency = utf8("\u00A4");
    char out[4];
    EXPECT_FALSE(CFStringGetCString(currency, out, sizeof out, kCFStringEncodingMacRoman));
    CFRelease(currency);
}

TEST(CFString, RefusesWhatAnEncodingCannotHold)
{
    EXPECT_EQ(CFStringCreateWithCString(nullptr, "caf\xc3", kCFStringEncodingUTF8), nullptr) << "truncated sequence";
    EXPECT_EQ(CFStringCreateWithCString(nullptr, "\xc0\xaf", kCFStringEncodingUTF8), nullptr) << "overlong form";
    EXPECT_EQ(CFStringCreateWithCString(nullptr, "\xed\xa0\x80", kCFStringEncodingUTF8), nullptr) << "surrogate";
    EXPECT_EQ(CFStringCreateWithCString(nullptr, "\xe9", kCFStringEncodingASCII), nullptr);
    EXPECT_EQ(CFStringCreateWithCString(nullptr, nullptr, kCFStringEncodingUTF8), nullptr);

    CFStringRef s = utf8("\xF0\x9F\x8E\xB8 x"); // a guitar (outside the BMP) and " x"
    EXPECT_EQ(CFStringGetLength(s), 4) << "UTF-16 code units";
    char small[5];
    EXPECT_FALSE(CFStringGetCString(s, small, sizeof small, kCFStringEncodingUTF8)) << "6 bytes do not fit in 5";
    EXPECT_STREQ(small, "");
    char ascii[16];
    EXPECT_FALSE(CFStringGetCString(s, ascii, sizeof ascii, kCFStringEncodingASCII));
    char fits[7];
    EXPECT_TRUE(CFStringGetCString(s, fits, sizeof fits, kCFStringEncodingUTF8));
    CFRelease(s);

    const UniChar lone[] = {0xD800, 'a'};
    CFStringRef unpaired = CFStringCreateWithCharacters(nullptr, lone, 2);
    char buffer[16];
    EXPECT_FALSE(CFStringGetCString(unpaired, buffer, sizeof buffer, kCFStringEncodingUTF8));
    UniChar chars[2] = {};
    CFStringGetCharacters(unpaired, CFRangeMake(1, 5), chars);
    EXPECT_EQ(chars[0], 0) << "a range past the end copies nothing";
    CFRelease(unpaired);
}

TEST(CFString, ComparesLiterallyCaseInsensitivelyAndNumerically)
{
    struct Row
    {
        const char* a;
        const char* b;
        CFStringCompareFlags flags;
        CFComparisonResult expected;
    };
    const CFStringCompareFlags versions = kCFCompareCaseInsensitive | kCFCompareNumerically;
    for (Row row : {Row{"abc", "abd", 0, kCFCompareLessThan}, Row{"abc", "abc", 0, kCFCompareEqualTo},
                    Row{"ab", "abc", 0, kCFCompareLessThan}, Row{"ABC", "abc", 0, kCFCompareLessThan},
                    Row{"ABC", "abc", kCFCompareCaseInsensitive, kCFCompareEqualTo},
                    Row{"10.0", "8.0.1", 0, kCFCompareLessThan},
                    Row{"10.0", "8.0.1", versions, kCFCompareGreaterThan},
                    Row{"8.1", "8.0.1", versions, kCFCompareGreaterThan},
                    Row{"8.0.1", "8.0.1", versions, kCFCompareEqualTo},
                    Row{"4.1.9", "4.2", versions, kCFCompareLessThan},
                    Row{"7.2", "8.0.0", versions, kCFCompareLessThan},
                    Row{"1.007", "1.7", versions, kCFCompareEqualTo}})
    {
        CFStringRef a = utf8(row.a), b = utf8(row.b);
        EXPECT_EQ(CFStringCompare(a, b, row.flags), row.expected) << row.a << " vs " << row.b;
        CFRelease(a);
        CFRelease(b);
    }
}

TEST(CFNumber, ConvertsAndReportsLoss)
{
    const double half = 2.5;
    CFNumberRef n = CFNumberCreate(nullptr, kCFNumberFloat64Type, &half);
    SInt32 i = 0;
    EXPECT_FALSE(CFNumberGetValue(n, kCFNumberSInt32Type, &i)) << "fraction dropped";
    EXPECT_EQ(i, 2);
    float f = 0;
    EXPECT_TRUE(CFNumberGetValue(n, kCFNumberFloat32Type, &f));
    EXPECT_EQ(f, 2.5f);
    CFRelease(n);

    const SInt64 big = 1LL << 40;
    n = CFNumberCreate(nullptr, kCFNumberSInt64Type, &big);
    EXPECT_FALSE(CFNumberGetValue(n, kCFNumberSInt32Type, &i));
    EXPECT_EQ(i, std::numeric_limits<SInt32>::max()) << "clamped to the nearest limit";
    SInt64 back = 0;
    EXPECT_TRUE(CFNumberGetValue(n, kCFNumberSInt64Type, &back));
    EXPECT_EQ(back, big);
    CFRelease(n);

    for (double awkward : {std::nan(""), 1e300, -1e300})
    {
        n = CFNumberCreate(nullptr, kCFNumberDoubleType, &awkward);
        EXPECT_FALSE(CFNumberGetValue(n, kCFNumberSInt32Type, &i));
        CFRelease(n);
    }
    const SInt16 small = -7;
    n = CFNumberCreate(nullptr, kCFNumberSInt16Type, &small);
    CFNumberRef same = CFNumberCreate(nullptr, kCFNumberSInt16Type, &small);
    EXPECT_TRUE(CFEqual(n, same));
    CFRelease(same);
    CFRelease(n);
    EXPECT_EQ(CFNumberCreate(nullptr, 99, &small), nullptr);
}

TEST(CFURL, FileSystemRepresentationRoundTrips)
{
    const char* path = "/tmp/some folder/../Presets/x.aupreset";
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(path),
                                                           static_cast<CFIndex>(strlen(path)), false);
    ASSERT_TRUE(url);
    EXPECT_EQ(CFGetTypeID(url), CFURLGetTypeID());
    UInt8 buffer[64];
    ASSERT_TRUE(CFURLGetFileSystemRepresentation(url, true, buffer, sizeof buffer));
    EXPECT_STREQ(reinterpret_cast<char*>(buffer), "/tmp/Presets/x.aupreset");
    EXPECT_FALSE(CFURLGetFileSystemRepresentation(url, true, buffer, 10)) << "does not fit";
    CFRelease(url);
}

} // namespace
