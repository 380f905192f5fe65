// Prints what the process learns about its main bundle: the identifier and
// the short version string, or "(none)".
#include <CoreFoundation/CoreFoundation.h>

#include <cstdio>

namespace
{

void print(CFTypeRef value)
{
    char text[256];
    if (value && CFGetTypeID(value) == CFStringGetTypeID() &&
        CFStringGetCString(static_cast<CFStringRef>(value), text, sizeof text, kCFStringEncodingUTF8))
        std::printf("%s\n", text);
    else
        std::printf("(none)\n");
}

} // namespace

int main()
{
    CFBundleRef bundle = CFBundleGetMainBundle();
    if (!bundle || CFBundleGetMainBundle() != bundle)
        return 1;
    print(CFBundleGetIdentifier(bundle));
    print(CFBundleGetValueForInfoDictionaryKey(bundle, CFSTR("CFBundleShortVersionString")));
    return 0;
}
