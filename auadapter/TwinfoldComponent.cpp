// Construction and release of the component: finding the own bundle and
// its Resources, loading the effect, and everything uninit() lets go of.
#include "auadapter/TwinfoldComponent.h"

#include "auadapter/MacOSException.h"
#include "auadapter/TwinfoldEntry.h"
#include "auadapter/TwinfoldException.h"
#include "auadapter/VSTPlugIn.h"
#include "platform/Files.h"
#include "platform/SharedLibraryBundle.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace
{

constexpr size_t kMaxImagePath = 1023;
constexpr EventTimerInterval kIdleInterval = 0.025;

struct ReleaseCodeBundle
{
    void operator()(CodeBundle* b) const
    {
        if (b)
            b->release();
    }
};
using CodeBundlePtr = std::unique_ptr<CodeBundle, ReleaseCodeBundle>;

} // namespace

const ChannelConfig channelConfigs[TwinfoldComponent::kChannelConfigCount] = {{2, 2}, {1, 2}};

TwinfoldComponent::TwinfoldComponent(ComponentInstance instance) : componentInstance(instance)
{
    streamFormat.mSampleRate = 44100.0;
    streamFormat.mFormatID = kAudioFormatLinearPCM;
    streamFormat.mFormatFlags = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved;
    streamFormat.mBytesPerPacket = 4;
    streamFormat.mFramesPerPacket = 1;
    streamFormat.mBytesPerFrame = 4;
    streamFormat.mChannelsPerFrame = 2;
    streamFormat.mBitsPerChannel = 32;
    streamFormat.mReserved = 0;

    try
    {
        // 1. Initial values, the preset name and the MIDI events.
        currentPreset.presetNumber = -1;
        currentPreset.presetName = CFStringCreateWithCString(nullptr, "Untitled", kCFStringEncodingMacRoman);
        midiEvents = new VstMidiEvent[kMaxQueuedEvents]();
        for (int32_t i = 0; i < kMaxQueuedEvents; ++i)
        {
            midiEvents[i].type = kVstMidiType;
            midiEvents[i].byteSize = 24;
            eventQueue.events[i] = reinterpret_cast<VstEvent*>(&midiEvents[i]);
        }

        // 2. and 3. The own bundle, from the image that holds this code.
        const fs::path bundleFolder = findOwnBundleFolder();
        bundle = SharedLibraryBundle::create(bundleFolder);
        if (!bundle)
            throw TwinfoldException("Could not create bundle from URL");

        // 4.
        loadConfiguration();

        // 5. The Resources folder.
        const fs::path resources = bundle->getResourcesFolder();
        if (resources.empty())
            throw TwinfoldException("Could not locate resources directory within bundle");
        if (FSPathMakeRef(reinterpret_cast<const UInt8*>(resources.c_str()), &resourcesFolder, nullptr) != noErr)
            throw MacOSException(fnfErr);

        // 6. The VST code: the component itself, or the one *.vst resource.
        std::vector<fs::path> vstResources;
        std::error_code ec;
        fs::directory_iterator it(resources, ec), end;
        if (ec)
            throw TwinfoldException("Could not locate resources of specific type in bundle");
        for (; it != end; it.increment(ec))
        {
            if (ec)
                throw TwinfoldException("Could not locate resources of specific type in bundle");
            if (it->path().extension() == ".vst")
                vstResources.push_back(it->path());
        }
        CodeBundlePtr vstBundle;
        if (vstResources.empty())
        {
            bundle->retain();
            vstBundle.reset(bundle);
        }
        else if (vstResources.size() > 1)
            throw TwinfoldException("Found more than one VST bundle or alias in resources");
        else
        {
            fs::path location = vstResources.front();
            FSRef item{}, target{};
            if (FSPathMakeRef(reinterpret_cast<const UInt8*>(location.c_str()), &item, nullptr) == noErr &&
                Files::resolveAlias(item, target) == noErr)
            {
                UInt8 path[4096];
                if (FSRefMakePath(&target, path, sizeof(path)) != noErr)
                    throw TwinfoldException("Could not create URL from FSRef");
                location = reinterpret_cast<const char*>(path);
            }
            vstBundle.reset(SharedLibraryBundle::create(location));
            if (!vstBundle)
                throw TwinfoldException("Could not locate VST bundle");
        }

        // 7. The hosted effect; it keeps its own reference to the code.
        plugIn = std::make_unique<VSTPlugIn>(*this, vstBundle.get(), static_cast<float>(streamFormat.mSampleRate),
                                             maxFramesPerSlice);
        vstBundle.reset();
        plugIn->open();

        // 8.
        if (plugIn->getInputCount() > kMaxChannels)
            throw TwinfoldException("VST has too many inputs");
        if (plugIn->getOutputCount() > kMaxChannels)
            throw TwinfoldException("VST has too many outputs");
        if (!plugIn->canProcessReplacing())
            throw TwinfoldException("VST does not support processReplacing()");

        // 9.
        hasExtensions = plugIn->vendorSpecific(kExtensionHello, 0, nullptr, 0.0f) != 0;
        hasTail = plugIn->getTailSize() != 0;
        canBypass = plugIn->setBypass(false);

        // 10.
        tryToIdentifyHostApplication();
        getComponentType();

        // 11.
        totalChannels = 2;
        deriveBusLayout();

        // 12. One zeroed entry per effect parameter.
        parameterTableSize = std::max(plugIn->getParameterCount(), 0);
        parameterValueStrings.reset(new CFArrayRef[static_cast<size_t>(parameterTableSize)]());
        parameterInfos.reset(new AudioUnitParameterInfo[static_cast<size_t>(parameterTableSize)]());

        // 13.
        allocateChannelBuffers(static_cast<UInt32>(maxFramesPerSlice));

        // 14.
        readOrCreateParameterMapping();
        loadOrCreateFactoryPresets();
        if (autoConvertPresets)
            convertVSTPresets();

        // 15. No announcement yet: nobody listens.
        latencySeconds = plugIn->getInitialDelay() / streamFormat.mSampleRate;
        if (hasTail)
            tailSeconds = static_cast<Float64>(plugIn->getTailSize()) / streamFormat.mSampleRate;

        // 16.
        updateCurrentAUPreset();

        // 17.
        idleTimerUPP = NewEventLoopTimerUPP(&TwinfoldComponent::idleTimerProc);
        const OSStatus status = InstallEventLoopTimer(GetMainEventLoop(), kIdleInterval * kEventDurationSecond,
                                                      kIdleInterval * kEventDurationSecond, idleTimerUPP, this, &idleTimer);
        if (status != noErr)
        {
            idleTimer = nullptr;
            throw MacOSException(status);
        }
    }
    catch (...)
    {
        uninit();
        throw;
    }
}

TwinfoldComponent::~TwinfoldComponent()
{
    uninit();
}

fs::path TwinfoldComponent::findOwnBundleFolder()
{
    const auto image = SharedLibraryBundle::imagePathContaining(reinterpret_cast<const void*>(&TwinfoldEntry));
    if (!image)
        throw TwinfoldException("Could not find image for current bundle");
    if (image->native().size() > kMaxImagePath)
        throw TwinfoldException("Could not create URL from file system representation");
    std::error_code ec;
    fs::path folder = fs::absolute(*image, ec);
    if (ec)
        throw TwinfoldException("Could not create URL from file system representation");
    // Executable, its platform folder, Contents: three components up is the bundle.
    for (int i = 0; i < 3; ++i)
    {
        if (!folder.has_relative_path())
            throw TwinfoldException("Could not remove last path component from URL");
        folder = folder.parent_path();
    }
    return folder;
}

CFDictionaryRef TwinfoldComponent::copyInfoDictionary(const CodeBundle& codeBundle)
{
    const fs::path path = codeBundle.getInfoDictionaryPath();
    if (path.empty())
        return nullptr;
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.eof() && in.fail())
        return nullptr;
    CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(bytes.data()), static_cast<CFIndex>(bytes.size()));
    if (!data)
        return nullptr;
    CFPropertyListRef list = CFPropertyListCreateFromXMLData(nullptr, data, kCFPropertyListImmutable, nullptr);
    CFRelease(data);
    if (list && CFGetTypeID(list) != CFDictionaryGetTypeID())
    {
        CFRelease(list);
        list = nullptr;
    }
    return static_cast<CFDictionaryRef>(list);
}

long TwinfoldComponent::getRegisteredVersion(OSStatus& error)
{
    error = noErr;
    try
    {
        CodeBundlePtr own(SharedLibraryBundle::create(findOwnBundleFolder()));
        CFDictionaryRef info = own ? copyInfoDictionary(*own) : nullptr;
        if (!info)
        {
            error = resNotFound;
            return 0;
        }
        long version = 0;
        error = resNotFound;
        CFStringRef key = CFStringCreateWithCString(nullptr, "AudioComponents", kCFStringEncodingASCII);
        CFTypeRef components = CFDictionaryGetValue(info, key);
        CFRelease(key);
        if (components && CFGetTypeID(components) == CFArrayGetTypeID() &&
            CFArrayGetCount(static_cast<CFArrayRef>(components)) > 0)
        {
            CFTypeRef entry = CFArrayGetValueAtIndex(static_cast<CFArrayRef>(components), 0);
            if (entry && CFGetTypeID(entry) == CFDictionaryGetTypeID())
            {
                CFStringRef versionKey = CFStringCreateWithCString(nullptr, "version", kCFStringEncodingASCII);
                CFTypeRef value = CFDictionaryGetValue(static_cast<CFDictionaryRef>(entry), versionKey);
                CFRelease(versionKey);
                SInt64 number = 0;
                if (value && CFGetTypeID(value) == CFNumberGetTypeID() &&
                    CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberSInt64Type, &number))
                {
                    version = static_cast<long>(number);
                    error = noErr;
                }
            }
        }
        CFRelease(info);
        return version;
    }
    catch (...)
    {
        error = resNotFound;
        return 0;
    }
}

void TwinfoldComponent::uninit()
{
    // A view the host still holds lets go of this component first.
    dropView();
    if (idleTimer)
    {
        // A failed removal leaves nothing to do: the timer's user data is gone either way.
        RemoveEventLoopTimer(idleTimer);
        idleTimer = nullptr;
    }
    if (idleTimerUPP)
    {
        DisposeEventLoopTimerUPP(idleTimerUPP);
        idleTimerUPP = nullptr;
    }
    for (int32_t i = 0; i < kMaxFactoryPresets; ++i)
    {
        if (factoryPresets[i].presetName)
        {
            CFRelease(factoryPresets[i].presetName);
            factoryPresets[i].presetName = nullptr;
        }
        if (factoryPresetData[i])
        {
            CFRelease(factoryPresetData[i]);
            factoryPresetData[i] = nullptr;
        }
    }
    if (factoryPresetArray)
    {
        CFRelease(factoryPresetArray);
        factoryPresetArray = nullptr;
    }
    if (currentPreset.presetName)
    {
        CFRelease(currentPreset.presetName);
        currentPreset.presetName = nullptr;
    }
    if (plugIn && plugIn->isOpen())
    {
        for (int32_t i = 0; i < parameterTableSize; ++i)
        {
            if (parameterInfos)
            {
                AudioUnitParameterInfo& info = parameterInfos[static_cast<size_t>(i)];
                if (info.unitName)
                    CFRelease(info.unitName);
                if (info.cfNameString)
                    CFRelease(info.cfNameString);
                info.unitName = nullptr;
                info.cfNameString = nullptr;
            }
            if (parameterValueStrings && parameterValueStrings[static_cast<size_t>(i)])
            {
                CFRelease(parameterValueStrings[static_cast<size_t>(i)]);
                parameterValueStrings[static_cast<size_t>(i)] = nullptr;
            }
        }
    }
    parameterInfos.reset();
    parameterValueStrings.reset();
    parameterTableSize = 0;
    plugIn.reset();
    delete[] midiEvents;
    midiEvents = nullptr;
    for (auto& event : eventQueue.events)
        event = nullptr;
    eventQueue.numEvents = 0;
    freeChannelBuffers();
    for (int32_t c = 0; c < kChannelConfigCount; ++c)
        for (int32_t b = 0; b < kMaxBuses; ++b)
        {
            if (inputBusNames[c][b])
                CFRelease(inputBusNames[c][b]);
            if (outputBusNames[c][b])
                CFRelease(outputBusNames[c][b]);
            inputBusNames[c][b] = nullptr;
            outputBusNames[c][b] = nullptr;
        }
    if (infoDictionary)
    {
        CFRelease(infoDictionary);
        infoDictionary = nullptr;
    }
    if (bundle)
    {
        if (bundle->getRetainCount() == 1)
            bundle->unloadExecutable();
        bundle->release();
        bundle = nullptr;
    }
}
