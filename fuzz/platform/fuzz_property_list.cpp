// Feeds arbitrary bytes to CFPropertyListCreateFromXMLData (XML and binary
// lists); whatever it reads is written back as XML and read again. Any
// outcome but a crash, a leak or a sanitizer report is fine.
#include <CoreFoundation/CoreFoundation.h>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    CFDataRef data = CFDataCreate(nullptr, bytes, static_cast<CFIndex>(size));
    CFStringRef error = nullptr;
    CFPropertyListRef value = CFPropertyListCreateFromXMLData(nullptr, data, kCFPropertyListMutableContainers, &error);
    CFRelease(data);
    if (error)
        CFRelease(error);
    if (!value)
        return 0;
    if (CFDataRef xml = CFPropertyListCreateXMLData(nullptr, value))
    {
        CFPropertyListRef again = CFPropertyListCreateFromXMLData(nullptr, xml, kCFPropertyListImmutable, nullptr);
        if (again)
            CFRelease(again);
        CFRelease(xml);
    }
    CFRelease(value);
    return 0;
}
