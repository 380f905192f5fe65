#include "ComponentTestSupport.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>

namespace fs = std::filesystem;

namespace ComponentTest
{

namespace
{

constexpr OSType kManufacturer = (OSType('T') << 24) | (OSType('r') << 16) | (OSType('n') << 8) | OSType('b');

const std::string kStandardConfig = "<key>TWConfig</key><dict><key>AutoConvertPresets</key><false/>"
                                    "<key>PresetIsFXB</key><false/><key>UpdateNameOnLoad</key><true/></dict>";

std::string fourChars(OSType code)
{
    return {static_cast<char>(code >> 24), static_cast<char>(code >> 16), static_cast<char>(code >> 8), static_cast<char>(code)};
}

struct Scratch
{
    fs::path folder;
    Scratch()
    {
        char pattern[] = "/tmp/dc-component-test-XXXXXX";
        folder = mkdtemp(pattern);
        fs::create_directories(folder / "home");
        fs::create_directories(folder / "local");
        setenv("HOME", (folder / "home").c_str(), 1);
        setenv("TWINFOLD_LOCAL_DOMAIN", (folder / "local").c_str(), 1);
    }
    ~Scratch()
    {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
};

// Set before any test runs: FindNextComponent scans HOME on its first call.
const Scratch& scratchFolder()
{
    static Scratch s;
    return s;
}
const bool kScratchReady = (scratchFolder(), true);

} // namespace

const fs::path& scratch()
{
    return scratchFolder().folder;
}

Bundle makeBundle(const BundleOptions& options)
{
    static int counter = 0;
    ++counter;
    Bundle bundle;
    char subtype[8];
    std::snprintf(subtype, sizeof(subtype), "T%03d", counter % 1000);
    bundle.subtype = (static_cast<OSType>(subtype[0]) << 24) | (static_cast<OSType>(subtype[1]) << 16) |
                     (static_cast<OSType>(subtype[2]) << 8) | static_cast<OSType>(subtype[3]);
    bundle.path = scratch() / ("Test" + std::to_string(counter) + ".component");
    const fs::path source(DC_AU_BUNDLE);
    fs::create_directories(bundle.path / "Contents" / "x86_64-linux");
    fs::create_directories(bundle.resources());
    fs::copy_file(source / "Contents" / "x86_64-linux" / "DitherCrunch.so", bundle.executable());
    const std::string info =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
        "<plist version=\"1.0\"><dict>"
        "<key>CFBundleExecutable</key><string>DitherCrunch.so</string>"
        "<key>CFBundleIdentifier</key><string>com.tarnbyaudio.test." +
        std::string(subtype) +
        "</string><key>CFBundleName</key><string>Test</string>"
        "<key>CFBundleShortVersionString</key><string>1.0.0</string><key>CFBundleVersion</key><string>1.0.0</string>"
        "<key>AudioComponents</key><array><dict>"
        "<key>type</key><string>aumf</string><key>subtype</key><string>" +
        fourChars(bundle.subtype) +
        "</string><key>manufacturer</key><string>Trnb</string>"
        "<key>name</key><string>Tarnby Audio: DitherCrunch</string><key>version</key><integer>65536</integer>"
        "<key>factoryFunction</key><string>TwinfoldEntry</string></dict></array>" +
        (options.config.empty() ? kStandardConfig : options.config) + "</dict></plist>\n";
    std::ofstream(bundle.path / "Contents" / "Info.plist", std::ios::binary) << info;
    for (const auto& [name, target] : options.links)
        fs::create_symlink(target, bundle.resources() / name);
    for (const auto& [name, contents] : options.files)
        std::ofstream(bundle.resources() / name, std::ios::binary) << contents;
    return bundle;
}

AudioUnit open(const Bundle& bundle, OSStatus& status)
{
    FSRef ref{};
    status = FSPathMakeRef(reinterpret_cast<const UInt8*>(bundle.path.c_str()), &ref, nullptr);
    if (status != noErr)
        return nullptr;
    status = RegisterComponentFileRef(&ref, 0);
    if (status != noErr)
        return nullptr;
    ComponentDescription looking{kAudioUnitType_MusicEffect, bundle.subtype, kManufacturer, 0, 0};
    Component component = FindNextComponent(nullptr, &looking);
    if (!component)
    {
        status = invalidComponentID;
        return nullptr;
    }
    AudioUnit unit = nullptr;
    status = OpenAComponent(component, &unit);
    return status == noErr ? unit : nullptr;
}

AudioUnit open(const Bundle& bundle)
{
    OSStatus status = noErr;
    AudioUnit unit = open(bundle, status);
    EXPECT_EQ(status, noErr) << "opening " << bundle.path;
    return unit;
}

fs::path recordingEffectPath()
{
    return DC_RECORDING_EFFECT;
}

RecordingEffectControl& recordingEffect()
{
    static void* module = dlopen(DC_RECORDING_EFFECT, RTLD_NOW);
    static RecordingEffectControl* control =
        module ? reinterpret_cast<RecordingEffectControlFunction>(dlsym(module, "recordingEffectControl"))() : nullptr;
    if (!control)
        std::abort();
    return *control;
}

Bundle makeRecordingBundle(BundleOptions options)
{
    recordingEffect();
    options.links.emplace_back("Recording.vst", recordingEffectPath());
    return makeBundle(options);
}

ComponentResult callEntry(const Bundle& bundle, AudioUnit unit, SInt16 selector, std::vector<long> arguments)
{
    void* module = dlopen(bundle.executable().c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!module)
        return -1;
    auto entry = reinterpret_cast<ComponentResult (*)(ComponentParameters*, Handle)>(dlsym(module, "TwinfoldEntry"));
    std::vector<long> block(2 + 1 + arguments.size());
    auto* parameters = reinterpret_cast<ComponentParameters*>(block.data());
    parameters->flags = 0;
    parameters->paramSize = static_cast<UInt8>(8 * arguments.size());
    parameters->what = selector;
    parameters->params[0] = reinterpret_cast<long>(unit);
    for (size_t i = 0; i < arguments.size(); ++i)
        parameters->params[i + 1] = arguments[i];
    const ComponentResult result = entry(parameters, unit ? GetComponentInstanceStorage(unit) : nullptr);
    dlclose(module);
    return result;
}

AudioStreamBasicDescription floatFormat(Float64 rate, UInt32 channels)
{
    AudioStreamBasicDescription f{};
    f.mSampleRate = rate;
    f.mFormatID = kAudioFormatLinearPCM;
    f.mFormatFlags = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved;
    f.mBytesPerPacket = 4;
    f.mFramesPerPacket = 1;
    f.mBytesPerFrame = 4;
    f.mChannelsPerFrame = channels;
    f.mBitsPerChannel = 32;
    return f;
}

StereoList::StereoList(float* left, float* right, UInt32 frames)
{
    float* data[2] = {left, right};
    for (int i = 0; i < 2; ++i)
    {
        mBuffers[i].mNumberChannels = 1;
        mBuffers[i].mDataByteSize = frames * sizeof(float);
        mBuffers[i].mData = data[i];
    }
}

OSStatus renderCycle(AudioUnit unit, Float64 time, UInt32 frames, AudioBufferList* list, AudioUnitRenderActionFlags* flags)
{
    AudioTimeStamp stamp{};
    stamp.mSampleTime = time;
    stamp.mFlags = kAudioTimeStampSampleTimeValid;
    AudioUnitRenderActionFlags local = 0;
    return AudioUnitRender(unit, flags ? flags : &local, &stamp, 0, frames, list);
}

OSStatus feedSignal(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames, AudioBufferList* list)
{
    auto* signal = static_cast<Signal*>(refCon);
    for (UInt32 c = 0; c < list->mNumberBuffers; ++c)
    {
        auto* out = static_cast<float*>(list->mBuffers[c].mData);
        const auto& source = signal->channels[std::min<size_t>(c, signal->channels.size() - 1)];
        for (UInt32 i = 0; i < frames; ++i)
            out[i] = signal->position + i < source.size() ? source[signal->position + i] : 0.0f;
    }
    signal->position += frames;
    return noErr;
}

void setInputCallback(AudioUnit unit, AURenderCallback proc, void* refCon)
{
    AURenderCallbackStruct callback{proc, refCon};
    ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &callback, sizeof(callback)),
              noErr);
}

std::vector<std::vector<float>> noise(size_t channels, size_t frames, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> value(-0.9f, 0.9f);
    std::vector<std::vector<float>> out(channels, std::vector<float>(frames));
    for (auto& channel : out)
        for (float& s : channel)
            s = value(random);
    return out;
}

} // namespace ComponentTest
