// The AudioUnit component: one instance per opened component, hosting one VST
// effect in-process and presenting it to an AudioUnit host. It is at once the
// AudioUnit seen by the host (selectors, properties, rendering, parameters)
// and the VST host seen by the effect (VSTHost).
//
// Failures inside the component are exceptions (TwinfoldException and its
// kinds, MacOSException); only TwinfoldEntry turns them into result codes.
#pragma once

#include "auadapter/CFHolder.h"
#include "auadapter/ParameterMapping.h"
#include "auadapter/VSTHost.h"
#include "frame/VstRecords.h"

#include <AudioToolbox/AudioToolbox.h>
#include <AudioUnit/AudioUnit.h>
#include <Carbon/Carbon.h>
#include <CoreFoundation/CoreFoundation.h>
#include <CoreServices/CoreServices.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class CodeBundle;
namespace Files
{
class WriteFork;
}
class VSTPlugIn;
struct NSView;

// One registered property listener.
struct AUPropertyListener
{
    AudioUnitPropertyID fPropertyID;
    AudioUnitPropertyListenerProc fListenerProc;
    void* fListenerRefCon;
};

// The MIDI events waiting for the next render cycle, in the VST event-list
// layout with room for every preallocated event.
struct TwinfoldEventQueue
{
    VstInt32 numEvents;
    VstIntPtr reserved;
    VstEvent* events[1024];
};

// A preset document and the file that keeps it.
struct PresetFile
{
    std::u16string fileName; // the preset's name and ".aupreset"
    std::string listLine; // that file name in Mac Roman and a CR
    CFHolder<CFMutableDictionaryRef> document;
};

class TwinfoldComponent : public VSTHost
{
public:
    // ---- Fixed capacities ----
    static constexpr int32_t kMaxPropertyListeners = 1024;
    static constexpr int32_t kMaxRenderNotifies = 128;
    static constexpr int32_t kMaxBuses = 32;
    static constexpr int32_t kMaxChannels = 32;
    static constexpr int32_t kMaxQueuedEvents = 1024;
    static constexpr int32_t kMaxFactoryPresets = 128;
    static constexpr int32_t kMaxAUParameters = 1024;
    static constexpr int32_t kChannelConfigCount = 2;
    static constexpr Float64 kNoRenderTime = -12345678.0;

    // ---- Life cycle (TwinfoldComponent.cpp) ----
    // Builds the component for `instance`: finds the own bundle, reads the
    // configuration, opens the effect and prepares buses, parameters and
    // presets. Throws on failure, after releasing what it built.
    explicit TwinfoldComponent(ComponentInstance instance); // [UI thread]
    ~TwinfoldComponent() override; // [UI thread]
    TwinfoldComponent(const TwinfoldComponent&) = delete;
    TwinfoldComponent& operator=(const TwinfoldComponent&) = delete;

    // Releases everything the component holds; safe on a partly built one.
    void uninit(); // [UI thread]
    void loadConfiguration(); // [UI thread]
    void tryToIdentifyHostApplication(); // [UI thread]
    // The registered name as a NUL-terminated string of at most 255 characters.
    void getComponentName(char* name); // [UI thread]
    OSType getComponentType(); // [UI thread]
    // Every selector other than the four standard ones; failures throw
    // MacOSException with the result code.
    void dispatch(ComponentParameters* parameters); // [any thread]

    // The version of the component's registration; `error` receives the
    // failure of reading it.
    static long getRegisteredVersion(OSStatus& error); // [any thread]
    // The folder of the bundle whose executable holds this code.
    static std::filesystem::path findOwnBundleFolder();
    // The Info.plist of `bundle` as a dictionary (Create rule), or null.
    static CFDictionaryRef copyInfoDictionary(const CodeBundle& bundle);

    // Accessors for tests and tools built on the adapter.
    VSTPlugIn* getPlugIn() const { return plugIn.get(); }
    int32_t getHostApplication() const { return hostApplication; }
    ComponentInstance getComponentInstance() const { return componentInstance; }

    // ---- VSTHost: the effect's requests (TwinfoldComponent.cpp, TwinfoldParameters.cpp) ----
    void getVendor(VSTPlugIn& plugIn, char* text) override; // [UI thread]
    void getProduct(VSTPlugIn& plugIn, char* text) override; // [UI thread]
    int32_t getVersion(VSTPlugIn& plugIn) override; // [any thread]
    bool canDo(VSTPlugIn& plugIn, const char* query) override; // [any thread]
    VstTimeInfo* getTimeInfo(VSTPlugIn& plugIn, int32_t flags) override; // [audio thread]
    void beginEdit(VSTPlugIn& plugIn, int32_t index) override; // [UI thread]
    void automate(VSTPlugIn& plugIn, int32_t index, float value) override; // [any thread]
    void endEdit(VSTPlugIn& plugIn, int32_t index) override; // [UI thread]
    bool isIOPinConnected(VSTPlugIn& plugIn, bool output, int32_t pin) override; // [any thread]
    void idle(VSTPlugIn& plugIn) override; // [UI thread]
    void updateDisplay(VSTPlugIn& plugIn) override; // [UI thread]
    void resizeWindow(VSTPlugIn& plugIn, int32_t width, int32_t height) override; // [UI thread]

    // ---- Rendering (TwinfoldRender.cpp) ----
    AudioUnitRenderActionFlags render(AudioUnitRenderActionFlags* flags, const AudioTimeStamp* timeStamp, UInt32 bus,
                                      UInt32 frames, AudioBufferList* buffers); // [audio thread]
    void queueMIDIEvent(UInt32 status, UInt32 data1, UInt32 data2, UInt32 offset); // [audio thread]
    bool collectInputAudio(UInt32 frames, float** inputs, const AudioTimeStamp* timeStamp); // [audio thread]
    void renderOutput(UInt32 frames, float** inputs, bool inputsSilent); // [audio thread]
    void updateVSTTimeInfo(const AudioTimeStamp* timeStamp); // [audio thread]
    bool updateFormat(AudioUnitScope scope, AudioUnitElement element, const AudioStreamBasicDescription& format); // [UI thread]
    bool updateSampleRate(Float64 rate); // [UI thread]
    void updateMaxFramesPerSlice(UInt32 frames); // [UI thread]
    void updateInitialDelayAndTailTimes(); // [UI thread]
    int32_t getInputBusChannelCount(int32_t config, int32_t bus) const; // [any thread]
    int32_t getOutputBusChannelCount(int32_t config, int32_t bus) const; // [any thread]
    void deriveBusLayout(); // [UI thread]
    void allocateChannelBuffers(UInt32 frames); // [UI thread]
    void freeChannelBuffers(); // [UI thread]

    // ---- Parameters (TwinfoldParameters.cpp) ----
    AudioUnitParameterValue getAUParameter(AudioUnitParameterID id, AudioUnitScope scope); // [any thread]
    void setAUParameter(AudioUnitParameterID id, AudioUnitScope scope, AudioUnitParameterValue value); // [any thread]
    void scheduleParameters(const AudioUnitParameterEvent* events, UInt32 count); // [audio thread]
    AudioUnitParameterValue scaleToAUParameter(AudioUnitParameterID id, float value) const; // [any thread]
    float scaleFromAUParameter(AudioUnitParameterID id, AudioUnitParameterValue value) const; // [any thread]
    // The effect value for a value a host hands in: held to the parameter's
    // declared minimum..maximum, then scaled. A value that is not a finite
    // number is refused (kAudioUnitErr_InvalidParameterValue) and reaches
    // nothing.
    float effectValueFromHost(AudioUnitParameterID id, AudioUnitParameterValue value) const; // [any thread]
    void postParameterEvent(AudioUnitEventType type, int32_t index); // [any thread]

    // ---- Parameter mapping file (ParameterMapping.cpp) ----
    // Reads TWParameters.txt, writing the default one first when it is
    // missing; when the Resources folder cannot be written, the default
    // text is read from memory.
    void readOrCreateParameterMapping(); // [UI thread]
    void createDefaultParameterMappingFile(const FSRef& file); // [UI thread]
    void readParameterMapping(const FSRef& file); // [UI thread]
    // The default mapping text, from probing the effect's parameters.
    std::string defaultParameterMapping(); // [UI thread]
    // The component's tables as the mapping parser fills them.
    ParameterTables parameterTables(); // [UI thread]

    // ---- Properties (TwinfoldProperties.cpp) ----
    void getPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element, bool& readable,
                         bool& writable, UInt32& minimumSize, UInt32& size); // [UI thread]
    void getProperty(UInt32* size, void* data, AudioUnitElement element, AudioUnitScope scope,
                     AudioUnitPropertyID id); // [UI thread]
    void setProperty(UInt32 size, const void* data, AudioUnitElement element, AudioUnitScope scope,
                     AudioUnitPropertyID id); // [UI thread]
    // Tells the registered listeners of `id`, or broadcasts when none is registered.
    void propertyChanged(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element); // [any thread]
    void addPropertyListener(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc, void* refCon); // [UI thread]
    void removePropertyListener(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc, void* refCon); // [UI thread]
    void addRenderNotify(AURenderCallback proc, void* refCon); // [UI thread]
    void removeRenderNotify(AURenderCallback proc, void* refCon); // [UI thread]
    // Checks shared by the bus-addressed properties.
    void checkBusScopeAndElement(AudioUnitScope scope, AudioUnitElement element) const;
    void checkInputElement(AudioUnitScope scope, AudioUnitElement element) const;
    void setConnection(AudioUnitElement element, const AudioUnitConnection& connection);
    void setRenderCallback(AudioUnitElement element, const AURenderCallbackStruct& callback);

    // ---- Presets (TwinfoldPresets.cpp) ----
    void loadOrCreateFactoryPresets(); // [UI thread]
    void convertVSTPresets(); // [UI thread]
    // True when the current preset changed.
    bool updateCurrentAUPreset(); // [UI thread]

    // ---- Saved state, preset documents, conversion, factory presets (S) ----
    // (TwinfoldPresets.cpp, PresetConversion.cpp, FactoryPresets.cpp,
    // TwinfoldStateProperties.cpp)
    // Renames the effect's current program (at most 24 Mac Roman characters).
    void updateCurrentVSTProgramName(CFStringRef name); // [UI thread]
    // The ClassInfo document of the current state (Create rule).
    CFPropertyListRef copyClassInfo(); // [UI thread]
    // Restores a ClassInfo document; malformed documents and records raise
    // MacOSException kAudioUnitErr_InvalidPropertyValue.
    void restoreClassInfo(CFPropertyListRef document); // [UI thread]
    // CurrentPreset / PresentPreset: `givenSize` is the caller's buffer size.
    void getCurrentPreset(UInt32 givenSize, UInt32* size, void* data, bool retainName); // [UI thread]
    void setCurrentPreset(UInt32 size, const void* data); // [UI thread]
    // Documents (Create rule) wrapping a record, the current program or the bank.
    CFMutableDictionaryRef createAUPresetWithVSTData(size_t length, const uint8_t* bytes, CFStringRef name); // [UI thread]
    CFMutableDictionaryRef createAUPresetOfCurrentProgram(CFStringRef name); // [UI thread]
    CFMutableDictionaryRef createAUPresetOfCurrentBank(CFStringRef name); // [UI thread]
    // Converts every VST preset file of one domain's folder; a file that
    // fails is left as it was and the others are still converted.
    void convertVSTPresetsInDomain(short domain, const char* path); // [UI thread]
    // Converts one file. An empty file and one converted before (its
    // document or folder exists) are passed over; the source is loaded into
    // the effect before anything is created for it, so a damaged one fails
    // (FormatException, EOFException) and leaves nothing behind, and what a
    // failed write created is removed (MacOSException). The effect's state
    // is put back afterwards.
    void convertVSTPreset(const FSRef& file, bool isBank); // [UI thread]
    // One document per program in `folder`; with `writeList`, each file name
    // and a CR go to `listFork`. Returns how many documents were written.
    size_t convertLoadedPrograms(const FSRef& folder, bool writeList, Files::WriteFork* listFork); // [UI thread]
    // The documents of the effect's programs: named programs only, a program
    // that repeats the name before it is passed over.
    std::vector<PresetFile> documentsOfLoadedPrograms(); // [UI thread]
    // Writes `files` into `folder` (older files of their names are
    // replaced) and their list lines to `listFork` when given. A failure
    // removes the files written so far and throws MacOSException.
    void writePresetFiles(const FSRef& folder, std::vector<PresetFile>& files, Files::WriteFork* listFork); // [UI thread]
    // The factory presets made from the effect: its programs, or its bank.
    std::vector<PresetFile> factoryPresetFiles(); // [UI thread]
    void createFactoryPresets(const FSRef& listFile); // [UI thread]
    // Writes `files` into the Resources folder and their names into the
    // empty list file; throws MacOSException.
    void writeFactoryPresets(const FSRef& listFile, std::vector<PresetFile>& files); // [UI thread]
    void loadFactoryPresets(const FSRef& listFile); // [UI thread]
    // Fills the factory preset table from documents held in memory, as
    // their list and files would give them.
    void holdFactoryPresets(const std::vector<PresetFile>& files); // [UI thread]
    // Takes "name" and "vstdata" of `document` as the next factory preset.
    void addFactoryPreset(CFDictionaryRef document); // [UI thread]
    // The property rows of the saved state, presets and the remaining
    // properties; false for a property these rows do not know.
    bool getStatePropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                              bool& readable, bool& writable, UInt32& minimumSize, UInt32& size); // [UI thread]
    bool getStateProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element, UInt32 givenSize,
                          UInt32* size, void* data); // [UI thread]
    bool setStateProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element, UInt32 size,
                          const void* data); // [UI thread]
    void getParameterStringFromValue(AudioUnitParameterStringFromValue& request); // [UI thread]
    void getParameterValueFromString(AudioUnitParameterValueFromString& request); // [UI thread]

    // ---- Editor view (TwinfoldView.cpp) ----
    // Editor size when the effect gives no rectangle.
    static constexpr int32_t kDefaultViewWidth = 400;
    static constexpr int32_t kDefaultViewHeight = 300;
    // A view (Create rule: the caller owns it) holding the effect's editor,
    // or null without an X display or an editor. Throws TwinfoldException
    // "VST could not open editor" when the effect refuses (no view is left).
    NSView* createView(); // [UI thread]
    // Closes the editor and lets go of the view, which keeps only its window.
    void dropView(); // [UI thread]
    // The CocoaUI property (31): the bundle's URL and the factory class name.
    void getCocoaUIPropertyInfo(AudioUnitScope scope, bool& readable, bool& writable, UInt32& minimumSize,
                                UInt32& size); // [UI thread]
    void getCocoaUIProperty(void* data); // [UI thread]

    // ---- Idle timer (TwinfoldComponent.cpp) ----
    static void idleTimerProc(EventLoopTimerRef timer, void* userData); // [UI thread]

    // ---- Data (in this order) ----
    ComponentInstance componentInstance = nullptr;
    CodeBundle* bundle = nullptr;
    CFDictionaryRef infoDictionary = nullptr; // the bundle's Info.plist, read once
    FSRef resourcesFolder{};
    AudioStreamBasicDescription streamFormat{};
    int32_t maxFramesPerSlice = 4096;
    int32_t renderNotifyCount = 0;
    AURenderCallbackStruct renderNotifies[kMaxRenderNotifies]{};
    Float64 lastRenderSampleTime = kNoRenderTime;
    AudioUnitConnection inputConnections[kMaxBuses]{};
    AURenderCallbackStruct inputCallbacks[kMaxBuses]{};
    float* channelBuffers[kMaxChannels]{};
    bool outputIsSilent = false;
    int32_t propertyListenerCount = 0;
    AUPropertyListener propertyListeners[kMaxPropertyListeners]{};
    HostCallbackInfo hostCallbacks{};
    AUPreset currentPreset{-1, nullptr};
    AUPreset factoryPresets[kMaxFactoryPresets]{};
    CFDataRef factoryPresetData[kMaxFactoryPresets]{};
    CFArrayRef factoryPresetArray = nullptr;
    int32_t auParameterCount = 0;
    UInt32 auParameterList[kMaxAUParameters]{};
    std::unique_ptr<AudioUnitParameterInfo[]> parameterInfos;
    std::unique_ptr<CFArrayRef[]> parameterValueStrings;
    int32_t parameterTableSize = 0; // entries of the two tables above
    bool presetIsFXB = false;
    bool autoConvertPresets = false;
    bool updateNameOnLoad = false;
    std::unique_ptr<VSTPlugIn> plugIn;
    TwinfoldEventQueue eventQueue{};
    VstMidiEvent* midiEvents = nullptr; // the 1024 events the queue points at
    VstTimeInfo vstTimeInfo{};
    bool hasExtensions = false;
    bool hasTail = false;
    Float64 latencySeconds = 0.0;
    Float64 tailSeconds = 0.0;
    bool canBypass = false;
    bool isBypassed = false;
    bool uniformBusWidths = true;
    int32_t channelConfigIndex = 0;
    int32_t totalChannels = 2;
    int32_t inputBusCount = 1;
    int32_t outputBusCount = 1;
    int32_t inputBusCounts[kChannelConfigCount]{1, 1};
    int32_t outputBusCounts[kChannelConfigCount]{1, 1};
    int32_t inputBusStarts[kChannelConfigCount][kMaxBuses + 1]{};
    int32_t outputBusStarts[kChannelConfigCount][kMaxBuses + 1]{};
    CFStringRef inputBusNames[kChannelConfigCount][kMaxBuses]{};
    CFStringRef outputBusNames[kChannelConfigCount][kMaxBuses]{};
    int32_t hostApplication = 0;
    EventLoopTimerRef idleTimer = nullptr;
    EventLoopTimerUPP idleTimerUPP = nullptr;
    NSView* view = nullptr;
};

// Input and output channels of the rows of the channel configuration table.
struct ChannelConfig
{
    int16_t inChannels;
    int16_t outChannels;
};
extern const ChannelConfig channelConfigs[TwinfoldComponent::kChannelConfigCount];

// Vendor-specific extension codes exchanged with effects that take part.
constexpr VstInt32 kExtensionHello = CCONST('s', 'H', 'i', '!');
constexpr VstInt32 kExtensionInputSilent = CCONST('s', 'I', '0', '0');
constexpr VstInt32 kExtensionOutputSilent = CCONST('s', 'O', '0', '0');
constexpr VstInt32 kExtensionChannels = CCONST('s', 'A', 'I', 'O');
constexpr VstInt32 kExtensionValueToString = CCONST('s', 'V', '2', 'S');
constexpr VstInt32 kExtensionStringToValue = CCONST('s', 'S', '2', 'V');

// Host identification codes.
constexpr int32_t kHostUnknown = 0;
constexpr int32_t kHostOldLogic = 1;
constexpr int32_t kHostOldGarageBand = 2;
constexpr int32_t kHostLogic8 = 3;
