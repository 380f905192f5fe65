// Property lists: what we write, plistutil reads; what plistutil writes
// (XML and binary), we read.
#include <CoreFoundation/CoreFoundation.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

class PropertyListTest : public ::testing::Test
{
protected:
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }

    static std::string read(const fs::path& p)
    {
        std::ifstream in(p, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    static void write(const fs::path& p, const void* bytes, size_t n)
    {
        std::ofstream(p, std::ios::binary).write(static_cast<const char*>(bytes), static_cast<std::streamsize>(n));
    }
    // Runs plistutil; false when it fails.
    static bool plistutil(const fs::path& in, const fs::path& out, const char* format)
    {
        const std::string command = "plistutil -i '" + in.string() + "' -o '" + out.string() + "' -f " + format +
                                    " >/dev/null 2>&1";
        return std::system(command.c_str()) == 0;
    }
    static CFPropertyListRef parse(const std::string& bytes, CFStringRef* error = nullptr)
    {
        CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(bytes.data()),
                                      static_cast<CFIndex>(bytes.size()));
        CFPropertyListRef value = CFPropertyListCreateFromXMLData(nullptr, data, kCFPropertyListImmutable, error);
        CFRelease(data);
        return value;
    }

    // A document of every kind of value, as an AU preset has them.
    static CFDictionaryRef makeDocument()
    {
        CFMutableDictionaryRef d =
            CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
        const SInt32 version = 1, negative = -10851;
        const double real = 0.25;
        CFNumberRef n1 = CFNumberCreate(nullptr, kCFNumberSInt32Type, &version);
        CFNumberRef n2 = CFNumberCreate(nullptr, kCFNumberSInt32Type, &negative);
        CFNumberRef n3 = CFNumberCreate(nullptr, kCFNumberDoubleType, &real);
        const UInt8 bytes[] = {0x43, 0x63, 0x6E, 0x4B, 0x00, 0xFF, 0x80};
        CFDataRef data = CFDataCreate(nullptr, bytes, sizeof bytes);
        CFStringRef name = CFStringCreateWithCString(nullptr, "Crunch \xC3\xA9 <&> \xE2\x82\xAC", kCFStringEncodingUTF8);
        const void* items[] = {n1, kCFBooleanFalse, name};
        CFArrayRef array = CFArrayCreate(nullptr, items, 3, &kCFTypeArrayCallBacks);
        CFDictionarySetValue(d, CFSTR("version"), n1);
        CFDictionarySetValue(d, CFSTR("negative"), n2);
        CFDictionarySetValue(d, CFSTR("real"), n3);
        CFDictionarySetValue(d, CFSTR("vstdata"), data);
        CFDictionarySetValue(d, CFSTR("name"), name);
        CFDictionarySetValue(d, CFSTR("flag"), kCFBooleanTrue);
        CFDictionarySetValue(d, CFSTR("list"), array);
        for (CFTypeRef cf : {CFTypeRef(n1), CFTypeRef(n2), CFTypeRef(n3), CFTypeRef(data), CFTypeRef(name),
                             CFTypeRef(array)})
            CFRelease(cf);
        return d;
    }

    const fs::path dir = fs::temp_directory_path() / ("plist-" + std::to_string(getpid()));
};

TEST_F(PropertyListTest, WhatWeWritePlistutilReadsAndWritesBackInBothFormats)
{
    CFDictionaryRef original = makeDocument();
    CFDataRef xml = CFPropertyListCreateXMLData(nullptr, original);
    ASSERT_TRUE(xml);
    EXPECT_EQ(CFGetRetainCount(xml), 1);
    write(dir / "ours.plist", CFDataGetBytePtr(xml), static_cast<size_t>(CFDataGetLength(xml)));
    CFRelease(xml);

    for (const char* format : {"xml", "bin"})
    {
        const fs::path theirs = dir / (std::string("theirs.") + format);
        ASSERT_TRUE(plistutil(dir / "ours.plist", theirs, format)) << "plistutil could not read our XML";
        CFStringRef error = nullptr;
        CFPropertyListRef back = parse(read(theirs), &error);
        ASSERT_TRUE(back) << format;
        EXPECT_EQ(error, nullptr);
        EXPECT_TRUE(CFEqual(back, original)) << "plistutil's " << format << " differs from what we wrote";
        EXPECT_EQ(CFGetRetainCount(back), 1);
        CFRelease(back);
    }
    CFRelease(original);
}

TEST_F(PropertyListTest, DamagedInputFailsWithAnErrorTheCallerOwns)
{
    for (const std::string& bad : {std::string("<?xml version=\"1.0\"?><plist><dict><key>a</key>"),
                                   std::string("bplist00\x01\x02", 10), std::string("\0\0\0", 3),
                                   std::string("<plist><date>2020-01-01T00:00:00Z</date></plist>")})
    {
        CFStringRef error = nullptr;
        EXPECT_EQ(parse(bad, &error), nullptr);
        ASSERT_TRUE(error);
        EXPECT_GT(CFStringGetLength(error), 0);
        EXPECT_EQ(CFGetRetainCount(error), 1);
        CFRelease(error);
    }
    EXPECT_EQ(CFPropertyListCreateFromXMLData(nullptr, nullptr, 0, nullptr), nullptr);
}

// libplist aborts the process on a string holding NUL; such input is refused
// before it gets there (found by fuzzing).
TEST_F(PropertyListTest, StringsHoldingNulAreRefusedInBothFormats)
{
    const std::string xml("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>na\0me</key>"
                          "<string>a\0b</string></dict></plist>",
                          99);
    EXPECT_EQ(parse(xml), nullptr);

    for (const char* document : {"<plist version=\"1.0\"><string>abcd</string></plist>",
                                 "<plist version=\"1.0\"><dict><key>abcd</key><true/></dict></plist>"})
    {
        std::ofstream(dir / "s.plist") << document;
        ASSERT_TRUE(plistutil(dir / "s.plist", dir / "s.bin", "bin"));
        std::string binary = read(dir / "s.bin");
        CFPropertyListRef fine = parse(binary);
        ASSERT_TRUE(fine) << document;
        CFRelease(fine);
        const size_t at = binary.find("abcd");
        ASSERT_NE(at, std::string::npos);
        binary[at + 2] = '\0';
        EXPECT_EQ(parse(binary), nullptr) << document;
    }
}

TEST_F(PropertyListTest, ValuesAPropertyListCannotHoldAreRefused)
{
    const char* path = "/tmp";
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(path), 4, true);
    EXPECT_EQ(CFPropertyListCreateXMLData(nullptr, url), nullptr);
    CFMutableDictionaryRef d =
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    CFDictionarySetValue(d, kCFBooleanTrue, CFSTR("a boolean key"));
    EXPECT_EQ(CFPropertyListCreateXMLData(nullptr, d), nullptr);
    CFRelease(d);
    CFRelease(url);
}

} // namespace
