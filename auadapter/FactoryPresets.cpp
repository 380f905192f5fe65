// Factory presets: AudioUnit preset documents in the bundle's Resources
// folder, listed by file name in TWFactoryPresets.txt, created from the
// effect's own programs the first time the list is missing.
#include "auadapter/TwinfoldComponent.h"

#include "auadapter/AUPresetDocument.h"
#include "auadapter/CFHolder.h"
#include "auadapter/FormatException.h"
#include "auadapter/MacOSException.h"
#include "auadapter/ParameterMapping.h"
#include "auadapter/TwinfoldException.h"
#include "platform/Files.h"

#include <new>
#include <string>

namespace
{

const std::u16string kListFileName = u"TWFactoryPresets.txt";
const std::u16string kBankDocumentName = u"FactoryPreset.aupreset";
constexpr char kBankListLine[] = "FactoryPreset.aupreset\r";

// A list line names its document in Mac Roman, the encoding the list is
// written in (for ASCII names, one UTF-16 unit per character).
std::u16string documentName(const char* line)
{
    CFHolder<CFStringRef> text(CFStringCreateWithCString(kCFAllocatorDefault, line, kCFStringEncodingMacRoman));
    if (!text)
        throw std::bad_alloc();
    std::u16string name(static_cast<size_t>(CFStringGetLength(text.get())), u'\0');
    if (!name.empty())
        CFStringGetCharacters(text.get(), CFRangeMake(0, static_cast<CFIndex>(name.size())),
                              reinterpret_cast<UniChar*>(name.data()));
    return name;
}

} // namespace

void TwinfoldComponent::loadOrCreateFactoryPresets()
{
    FSRef list;
    OSStatus status = Files::makeRef(resourcesFolder, kListFileName, list);
    if (status == fnfErr)
    {
        FSRef created;
        if (OSStatus error = Files::createFile(resourcesFolder, kListFileName, &created))
            throw MacOSException(error);
        try
        {
            createFactoryPresets(created);
        }
        catch (...)
        {
            // A list cut short would be taken as complete by every later
            // open; without it the next open creates the presets again.
            Files::deleteObject(created);
            throw;
        }
        status = Files::makeRef(resourcesFolder, kListFileName, list);
    }
    if (status != noErr)
        throw MacOSException(status);
    loadFactoryPresets(list);
}

void TwinfoldComponent::createFactoryPresets(const FSRef& listFile)
{
    Files::WriteFork fork;
    if (OSStatus status = fork.open(listFile))
        throw MacOSException(status);
    if (!presetIsFXB)
        convertLoadedPrograms(resourcesFolder, true, &fork);
    else
    {
        FSRef document;
        if (Files::makeRef(resourcesFolder, kBankDocumentName, document) == noErr)
            Files::deleteObject(document);
        if (OSStatus status = Files::createFile(resourcesFolder, kBankDocumentName, &document))
            throw MacOSException(status);
        CFHolder<CFMutableDictionaryRef> bank(createAUPresetOfCurrentBank(CFSTR("Default")));
        saveProperties(bank.get(), document);
        if (OSStatus status = fork.write(kBankListLine, sizeof(kBankListLine) - 1))
            throw MacOSException(status);
    }
    if (OSStatus status = fork.close())
        throw MacOSException(status);
}

void TwinfoldComponent::loadFactoryPresets(const FSRef& listFile)
{
    CFMutableArrayRef presets = CFArrayCreateMutable(kCFAllocatorDefault, 0, nullptr);
    if (!presets)
        throw std::bad_alloc();
    factoryPresetArray = presets;
    size_t length = 0;
    std::unique_ptr<uint8_t[]> bytes = loadFromFile(listFile, length);
    const uint8_t* position = bytes.get();
    const uint8_t* const end = position + length;
    int32_t count = 0;
    while (count < kMaxFactoryPresets && position < end)
    {
        char line[kLineBufferSize];
        position = readLine(position, end, line);
        const char* text = line;
        while (*text == ' ')
            ++text;
        if (*text == '\0' || *text == ';')
            continue;

        FSRef file;
        if (OSStatus status = Files::makeRef(resourcesFolder, documentName(text), file))
            throw MacOSException(status);
        size_t documentLength = 0;
        std::unique_ptr<uint8_t[]> documentBytes = loadFromFile(file, documentLength);
        CFHolder<CFPropertyListRef> list(createPropertyListFromBytes(documentBytes.get(), documentLength));
        if (CFGetTypeID(list.get()) != CFDictionaryGetTypeID())
            throw FormatException("Invalid AUPreset format");
        auto document = static_cast<CFDictionaryRef>(list.get());
        auto data = static_cast<CFDataRef>(getDictionaryValue(document, kAUPresetVSTDataKey, CFDataGetTypeID()));
        auto name = static_cast<CFStringRef>(getDictionaryValue(document, kAUPresetNameKey, CFStringGetTypeID()));

        factoryPresets[count].presetNumber = count;
        factoryPresets[count].presetName = static_cast<CFStringRef>(CFRetain(name));
        factoryPresetData[count] = static_cast<CFDataRef>(CFRetain(data));
        CFArrayAppendValue(presets, &factoryPresets[count]);
        ++count;
    }
}
