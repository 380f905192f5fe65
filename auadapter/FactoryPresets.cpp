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
#include <vector>

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
        // An installed bundle carries the list and its documents; one that
        // lacks them gets them written, and a folder that cannot be written
        // keeps them in memory.
        std::vector<PresetFile> files = factoryPresetFiles();
        FSRef created;
        status = Files::createFile(resourcesFolder, kListFileName, &created);
        if (status == noErr)
        {
            try
            {
                writeFactoryPresets(created, files);
            }
            catch (const MacOSException&)
            {
                // A list cut short would be taken as complete by every later open.
                Files::deleteObject(created);
                status = ioErr;
            }
        }
        if (status != noErr)
        {
            holdFactoryPresets(files);
            return;
        }
        status = Files::makeRef(resourcesFolder, kListFileName, list);
    }
    if (status != noErr)
        throw MacOSException(status);
    loadFactoryPresets(list);
}

std::vector<PresetFile> TwinfoldComponent::factoryPresetFiles()
{
    if (!presetIsFXB)
        return documentsOfLoadedPrograms();
    std::vector<PresetFile> files;
    files.push_back(PresetFile{kBankDocumentName, kBankListLine,
                               CFHolder<CFMutableDictionaryRef>(createAUPresetOfCurrentBank(CFSTR("Default")))});
    return files;
}

void TwinfoldComponent::createFactoryPresets(const FSRef& listFile)
{
    std::vector<PresetFile> files = factoryPresetFiles();
    writeFactoryPresets(listFile, files);
}

void TwinfoldComponent::writeFactoryPresets(const FSRef& listFile, std::vector<PresetFile>& files)
{
    Files::WriteFork fork;
    if (OSStatus status = fork.open(listFile))
        throw MacOSException(status);
    writePresetFiles(resourcesFolder, files, &fork);
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
    while (CFArrayGetCount(factoryPresetArray) < kMaxFactoryPresets && position < end)
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
        addFactoryPreset(static_cast<CFDictionaryRef>(list.get()));
    }
}

void TwinfoldComponent::holdFactoryPresets(const std::vector<PresetFile>& files)
{
    CFMutableArrayRef presets = CFArrayCreateMutable(kCFAllocatorDefault, 0, nullptr);
    if (!presets)
        throw std::bad_alloc();
    factoryPresetArray = presets;
    for (size_t i = 0; i < files.size() && CFArrayGetCount(factoryPresetArray) < kMaxFactoryPresets; ++i)
    {
        // A later document of the same file name replaces the earlier one
        // on disk, and the list names that file each time.
        size_t last = i;
        for (size_t j = i + 1; j < files.size(); ++j)
            if (files[j].fileName == files[i].fileName)
                last = j;
        addFactoryPreset(files[last].document.get());
    }
}

void TwinfoldComponent::addFactoryPreset(CFDictionaryRef document)
{
    auto data = static_cast<CFDataRef>(getDictionaryValue(document, kAUPresetVSTDataKey, CFDataGetTypeID()));
    auto name = static_cast<CFStringRef>(getDictionaryValue(document, kAUPresetNameKey, CFStringGetTypeID()));
    const auto count = static_cast<int32_t>(CFArrayGetCount(factoryPresetArray));
    factoryPresets[count].presetNumber = count;
    factoryPresets[count].presetName = static_cast<CFStringRef>(CFRetain(name));
    factoryPresetData[count] = static_cast<CFDataRef>(CFRetain(data));
    CFArrayAppendValue(const_cast<CFMutableArrayRef>(factoryPresetArray), &factoryPresets[count]);
}
