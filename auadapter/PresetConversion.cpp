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
            if (bank)
                convertVSTPreset(item, true);
            else if (program && !presetIsFXB)
                convertVSTPreset(item, false);
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

    if (isBank && !presetIsFXB)
    {
        // A folder of the bank's name holds one document per program; when
        // it exists, the bank was converted before.
        const std::u16string folderName = extension == std::u16string::npos ? name : name.substr(0, extension - 1);
        FSRef folder;
        if (Files::createFolder(parent, folderName, &folder) != noErr)
            return;
        std::unique_ptr<uint8_t[]> bytes;
        size_t length = 0;
        if (OSStatus status = Files::readAll(file, bytes, length))
            throw MacOSException(status);
        // Splitting goes through the effect's own programs; what the effect
        // held before is put back afterwards, so that opening the component
        // does not start with the last bank found on disk.
        size_t savedLength = 0;
        std::unique_ptr<uint8_t[]> saved;
        try
        {
            saved = plugIn->createFXB(savedLength);
        }
        catch (...)
        {
            saved.reset(); // an effect without a bank record is split all the same
        }
        auto restore = [&]() noexcept {
            try
            {
                if (saved)
                    plugIn->loadFXPOrFXB(savedLength, saved.get());
            }
            catch (...)
            {
            }
        };
        try
        {
            plugIn->loadFXPOrFXB(length, bytes.get());
            convertLoadedPrograms(folder, false, nullptr);
        }
        catch (...)
        {
            restore();
            throw;
        }
        restore();
        return;
    }

    const std::u16string base = (extension == std::u16string::npos || extension >= kLastExtensionStart)
                                    ? name.substr(0, kLongestBaseName)
                                    : name.substr(0, extension - 1);
    // The source is read before the target exists, so that a source that
    // cannot be read leaves no empty document behind.
    std::unique_ptr<uint8_t[]> bytes;
    size_t length = 0;
    if (OSStatus status = Files::readAll(file, bytes, length))
        throw MacOSException(status);
    FSRef target;
    if (Files::createFile(parent, base + u".aupreset", &target) != noErr)
        return; // converted before, or the user keeps a document of that name
    try
    {
        CFHolder<CFStringRef> presetName(createString(base));
        CFHolder<CFMutableDictionaryRef> document(createAUPresetWithVSTData(length, bytes.get(), presetName.get()));
        saveProperties(document.get(), target);
    }
    catch (...)
    {
        // Only the file made here is removed: a partial document would stop
        // every later run from converting the source.
        Files::deleteObject(target);
        throw;
    }
}

void TwinfoldComponent::convertLoadedPrograms(const FSRef& folder, bool writeList, Files::WriteFork* listFork)
{
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
            CFHolder<CFMutableDictionaryRef> document(createAUPresetOfCurrentProgram(presetName.get()));
            const std::u16string wideName = charactersOf(fileNameString.get());
            FSRef existing;
            if (Files::makeRef(folder, wideName, existing) == noErr)
                Files::deleteObject(existing);
            FSRef file;
            if (OSStatus status = Files::createFile(folder, wideName, &file))
                throw MacOSException(status);
            saveProperties(document.get(), file);
            if (writeList)
            {
                const std::string line = fileName + "\r";
                if (OSStatus status = listFork->write(line.data(), line.size()))
                    throw MacOSException(status);
            }
            lastWritten = name;
        }
    }
    catch (...)
    {
        plugIn->setCurrentProgram(remembered);
        throw;
    }
    plugIn->setCurrentProgram(remembered);
}
