// AudioUnit preset documents of the effect's state, and the conversion of
// the VST program and bank files kept in the AudioUnit preset folders into
// ".aupreset" files beside them.
#include "auadapter/TwinfoldComponent.h"

#include "auadapter/AUPresetDocument.h"
#include "auadapter/CFHolder.h"
#include "auadapter/FxPreset.h"
#include "auadapter/MacOSException.h"
#include "auadapter/TwinfoldException.h"
#include "auadapter/VSTPlugIn.h"
#include "platform/Files.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace
{

constexpr uint32_t kProgramFileType = 0x41467850; // 'AFxP'
constexpr uint32_t kBankFileType = 0x41467842; // 'AFxB'
// Room left for ".aupreset" in a 255-unit file name.
constexpr size_t kLastExtensionStart = 248;
constexpr size_t kLongestBaseName = 246;

bool equalsIgnoringCase(const std::u16string& text, const char* ascii)
{
    const size_t length = std::strlen(ascii);
    if (text.size() != length)
        return false;
    for (size_t i = 0; i < length; ++i)
    {
        char16_t c = text[i];
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
        if (c != static_cast<char16_t>(ascii[i]))
            return false;
    }
    return true;
}

std::u16string charactersOf(CFStringRef text)
{
    std::u16string out(static_cast<size_t>(CFStringGetLength(text)), u'\0');
    if (!out.empty())
        CFStringGetCharacters(text, CFRangeMake(0, static_cast<CFIndex>(out.size())),
                              reinterpret_cast<UniChar*>(out.data()));
    return out;
}

CFStringRef createString(const std::u16string& text)
{
    CFStringRef string = CFStringCreateWithCharacters(kCFAllocatorDefault, reinterpret_cast<const UniChar*>(text.data()),
                                                      static_cast<CFIndex>(text.size()));
    if (!string)
        throw std::bad_alloc();
    return string;
}

std::string trimmed(const char* text)
{
    std::string s(text);
    const size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// What the effect holds while a source is loaded into it to be converted;
// put back when the source is done with, whatever happened.
class EffectStateKeeper
{
public:
    explicit EffectStateKeeper(VSTPlugIn& plugIn) : plugIn(plugIn)
    {
        try
        {
            saved = plugIn.createFXB(length);
        }
        catch (...)
        {
            saved.reset(); // an effect without a bank record is converted all the same
        }
    }
    ~EffectStateKeeper()
    {
        try
        {
            if (saved)
                plugIn.loadFXPOrFXB(length, saved.get());
        }
        catch (...)
        {
        }
    }
    EffectStateKeeper(const EffectStateKeeper&) = delete;
    EffectStateKeeper& operator=(const EffectStateKeeper&) = delete;

private:
    VSTPlugIn& plugIn;
    std::unique_ptr<uint8_t[]> saved;
    size_t length = 0;
};

} // namespace

CFMutableDictionaryRef TwinfoldComponent::createAUPresetWithVSTData(size_t length, const uint8_t* bytes,
                                                                    CFStringRef name)
{
    ComponentDescription description{};
    if (OSErr error =
            GetComponentInfo(reinterpret_cast<Component>(componentInstance), &description, nullptr, nullptr, nullptr))
        throw MacOSException(error);
    return createAUPresetDocument(description, length, bytes, name);
}

CFMutableDictionaryRef TwinfoldComponent::createAUPresetOfCurrentProgram(CFStringRef name)
{
    size_t length = 0;
    std::unique_ptr<uint8_t[]> record = plugIn->createFXP(length);
    return createAUPresetWithVSTData(length, record.get(), name);
}

CFMutableDictionaryRef TwinfoldComponent::createAUPresetOfCurrentBank(CFStringRef name)
{
    size_t length = 0;
    std::unique_ptr<uint8_t[]> record = plugIn->createFXB(length);
    return createAUPresetWithVSTData(length, record.get(), name);
}

void TwinfoldComponent::convertVSTPresets()
{
    char name[256];
    getComponentName(name);
    // One domain that cannot be converted does not keep the other from it.
    try
    {
        convertVSTPresetsInDomain(kUserDomain, name);
    }
    catch (...)
    {
    }
    try
    {
        convertVSTPresetsInDomain(kLocalDomain, name);
    }
    catch (...)
    {
    }
}

void TwinfoldComponent::convertVSTPresetsInDomain(short domain, const char* path)
{
    FSRef folder;
    if (OSErr error = FSFindFolder(domain, kAudioSupportFolderType, kDontCreateFolder, &folder))
        throw MacOSException(error);
    descendOrCreateFolder(folder, 7, "Presets", folder);
    // "Manufacturer: Product" leads to Presets/Manufacturer/Product.
    const std::string whole(path);
    size_t start = 0;
    while (start <= whole.size())
    {
        size_t colon = whole.find(':', start);
        if (colon == std::string::npos)
            colon = whole.size();
        const std::string part = trimmed(whole.substr(start, colon - start).c_str());
        if (!part.empty())
            descendOrCreateFolder(folder, part.size(), part.c_str(), folder);
        start = colon + 1;
    }

    Files::FolderIterator iterator;
    if (OSStatus status = iterator.open(folder))
        throw MacOSException(status);
    std::vector<FSRef> batch;
    for (;;)
    {
        const OSStatus status = iterator.next(batch);
        if (status == errFSNoMoreItems)
            break;
        if (status != noErr)
            throw MacOSException(status);
        for (const FSRef& item : batch)
        {
            Files::ItemInfo info;
            if (Files::getItemInfo(item, info) != noErr || !info.plainFile || info.invisible)
                continue;
            const bool program = info.typeCode == kProgramFileType || equalsIgnoringCase(info.extension, "fxp");
            const bool bank = info.typeCode == kBankFileType || equalsIgnoringCase(info.extension, "fxb");
            if (!bank && !(program && !presetIsFXB))
                continue;
            try
            {
                convertVSTPreset(item, bank);
            }
            catch (...)
            {
                // This file stays as it is, with nothing made for it; the
                // others are still converted.
            }
        }
    }
}

void TwinfoldComponent::convertVSTPreset(const FSRef& file, bool isBank)
{
    std::u16string name;
    FSRef parent;
    if (OSStatus status = Files::getNameAndParent(file, name, parent))
        throw MacOSException(status);
    if (name.size() > 255)
        name.resize(255);
    const size_t extension = Files::extensionStart(name);
    // A bank is split into a folder of its name holding one document per
    // program; anything else becomes one document beside it.
    const bool split = isBank && !presetIsFXB;
    std::u16string base;
    if (split)
        base = extension == std::u16string::npos ? name : name.substr(0, extension - 1);
    else
        base = (extension == std::u16string::npos || extension >= kLastExtensionStart) ? name.substr(0, kLongestBaseName)
                                                                                        : name.substr(0, extension - 1);
    const std::u16string target = split ? base : base + u".aupreset";
    FSRef existing;
    if (Files::makeRef(parent, target, existing) == noErr)
        return; // converted before, or the user keeps an item of that name

    std::unique_ptr<uint8_t[]> bytes;
    size_t length = 0;
    if (OSStatus status = Files::readAll(file, bytes, length))
        throw MacOSException(status);
    if (length == 0)
        return; // nothing to convert (yet)

    // The source goes through the effect before anything is made for it, so
    // that a record the unit would refuse fails here. Whatever the effect
    // held before is put back afterwards: opening the component does not
    // start with the last preset found on disk.
    EffectStateKeeper keeper(*plugIn);
    plugIn->loadFXPOrFXB(length, bytes.get());

    if (split)
    {
        FSRef folder;
        if (OSStatus status = Files::createFolder(parent, target, &folder))
            throw MacOSException(status);
        size_t written = 0;
        try
        {
            written = convertLoadedPrograms(folder, false, nullptr);
        }
        catch (...)
        {
            Files::deleteObject(folder); // empty again: what was written is gone
            throw;
        }
        if (written == 0)
            Files::deleteObject(folder); // a bank without named programs leaves nothing
        return;
    }

    CFHolder<CFStringRef> presetName(createString(base));
    CFHolder<CFMutableDictionaryRef> document(createAUPresetWithVSTData(length, bytes.get(), presetName.get()));
    FSRef created;
    if (OSStatus status = Files::createFile(parent, target, &created))
        throw MacOSException(status);
    try
    {
        saveProperties(document.get(), created);
    }
    catch (...)
    {
        // A partial document would stop every later run from converting the source.
        Files::deleteObject(created);
        throw;
    }
}

std::vector<PresetFile> TwinfoldComponent::documentsOfLoadedPrograms()
{
    std::vector<PresetFile> files;
    const int32_t remembered = plugIn->getCurrentProgram();
    try
    {
        std::string lastWritten;
        for (int32_t i = 0; i < plugIn->getProgramCount(); ++i)
        {
            plugIn->setCurrentProgram(i);
            char programName[kFxNameMaxLength + 1] = {};
            plugIn->getCurrentProgramName(programName);
            const std::string name = trimmed(programName);
            if (name.empty() || (i > 0 && name == lastWritten))
                continue;
            CFHolder<CFStringRef> presetName(
                CFStringCreateWithCString(kCFAllocatorDefault, name.c_str(), kCFStringEncodingMacRoman));
            const std::string fileName = name + ".aupreset";
            CFHolder<CFStringRef> fileNameString(
                CFStringCreateWithCString(kCFAllocatorDefault, fileName.c_str(), kCFStringEncodingMacRoman));
            if (!presetName || !fileNameString)
                throw std::bad_alloc();
            files.push_back(PresetFile{charactersOf(fileNameString.get()), fileName + "\r",
                                       CFHolder<CFMutableDictionaryRef>(createAUPresetOfCurrentProgram(presetName.get()))});
            lastWritten = name;
        }
    }
    catch (...)
    {
        plugIn->setCurrentProgram(remembered);
        throw;
    }
    plugIn->setCurrentProgram(remembered);
    return files;
}

void TwinfoldComponent::writePresetFiles(const FSRef& folder, std::vector<PresetFile>& files, Files::WriteFork* listFork)
{
    std::vector<FSRef> written;
    try
    {
        for (PresetFile& preset : files)
        {
            FSRef existing;
            if (Files::makeRef(folder, preset.fileName, existing) == noErr)
                Files::deleteObject(existing);
            FSRef file;
            if (OSStatus status = Files::createFile(folder, preset.fileName, &file))
                throw MacOSException(status);
            written.push_back(file);
            saveProperties(preset.document.get(), file);
            if (listFork)
            {
                if (OSStatus status = listFork->write(preset.listLine.data(), preset.listLine.size()))
                    throw MacOSException(status);
            }
        }
    }
    catch (...)
    {
        for (const FSRef& file : written)
            Files::deleteObject(file);
        throw;
    }
}

size_t TwinfoldComponent::convertLoadedPrograms(const FSRef& folder, bool writeList, Files::WriteFork* listFork)
{
    std::vector<PresetFile> files = documentsOfLoadedPrograms();
    writePresetFiles(folder, files, writeList ? listFork : nullptr);
    return files.size();
}
