#include "frame/AudioEffectX.h"

#include "frame/AEffEditor.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace
{

// The modifier byte of a key code from the option float: NaN reads as no
// modifier, other values are clamped to a byte and truncated.
unsigned char modifierByte(float opt)
{
    if (!(opt > 0.0f))
        return 0;
    if (opt >= 255.0f)
        return 255;
    return static_cast<unsigned char>(opt);
}

constexpr size_t kArrangementHead = offsetof(VstSpeakerArrangement, speakers);

} // namespace

AudioEffectX::AudioEffectX(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
    : AudioEffect(audioMaster, numPrograms, numParams)
{
}

VstIntPtr AudioEffectX::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    char* text = static_cast<char*>(ptr);
    const auto flag = [](bool b) -> VstIntPtr { return b ? 1 : 0; };
    const VstInt32 value32 = static_cast<VstInt32>(value);

    switch (opcode)
    {
    // Opcodes whose operation reads or writes through ptr answer 0 for a null
    // one instead of handing it on.
    case effProcessEvents:
        return ptr ? processEvents(static_cast<VstEvents*>(ptr)) : 0;
    case effCanBeAutomated:
        return flag(canParameterBeAutomated(index));
    case effString2Parameter:
        return text ? flag(string2parameter(index, text)) : 0;
    case effGetNumProgramCategories:
        return getNumCategories();
    case effGetProgramNameIndexed:
        return text ? flag(getProgramNameIndexed(value32, index, text)) : 0;
    case effCopyProgram:
        return flag(copyProgram(index));
    case effConnectInput:
        inputConnected(index, value != 0);
        return 1;
    case effConnectOutput:
        outputConnected(index, value != 0);
        return 1;
    case effGetInputProperties:
        return ptr ? flag(getInputProperties(index, static_cast<VstPinProperties*>(ptr))) : 0;
    case effGetOutputProperties:
        return ptr ? flag(getOutputProperties(index, static_cast<VstPinProperties*>(ptr))) : 0;
    case effGetPlugCategory:
        return getPlugCategory();
    case effGetCurrentPosition:
        return reportCurrentPosition();
    case effGetDestinationBuffer:
        return reinterpret_cast<VstIntPtr>(reportDestinationBuffer());
    case effOfflineNotify:
        return flag(offlineNotify(static_cast<VstAudioFile*>(ptr), value32, index != 0));
    case effOfflinePrepare:
        return flag(offlinePrepare(static_cast<VstOfflineTask*>(ptr), value32));
    case effOfflineRun:
        return flag(offlineRun(static_cast<VstOfflineTask*>(ptr), value32));
    case effProcessVarIo:
        return flag(processVariableIo(static_cast<VstVariableIo*>(ptr)));
    case effSetSpeakerArrangement:
        return flag(setSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement*>(value), static_cast<VstSpeakerArrangement*>(ptr)));
    case effSetBlockSizeAndSampleRate:
        setBlockSizeAndSampleRate(value32, opt);
        return 1;
    case effSetBypass:
        return flag(setBypass(value != 0));
    case effGetEffectName:
        return text ? flag(getEffectName(text)) : 0;
    case effGetErrorText:
        return text ? flag(getErrorText(text)) : 0;
    case effGetVendorString:
        return text ? flag(getVendorString(text)) : 0;
    case effGetProductString:
        return text ? flag(getProductString(text)) : 0;
    case effGetVendorVersion:
        return getVendorVersion();
    case effVendorSpecific:
        return vendorSpecific(index, value, ptr, opt);
    case effCanDo:
        return text ? canDo(text) : 0;
    case effGetTailSize:
        return getGetTailSize();
    case effIdle:
        return fxIdle();
    case effGetIcon:
        return reinterpret_cast<VstIntPtr>(getIcon());
    case effSetViewPosition:
        return flag(setViewPosition(index, value32));
    case effGetParameterProperties:
        return ptr ? flag(getParameterProperties(index, static_cast<VstParameterProperties*>(ptr))) : 0;
    case effKeysRequired:
        return keysRequired() ? 0 : 1;
    case effGetVstVersion:
        return getVstVersion();
    case effEditKeyDown:
    case effEditKeyUp:
    {
        if (!editor)
            return 0;
        VstKeyCode keyCode{};
        keyCode.character = index;
        keyCode.virt = static_cast<unsigned char>(value);
        keyCode.modifier = modifierByte(opt);
        return flag(opcode == effEditKeyDown ? editor->onKeyDown(keyCode) : editor->onKeyUp(keyCode));
    }
    case effSetEditKnobMode:
        return editor ? flag(editor->setKnobMode(value32)) : 0;
    case effGetMidiProgramName:
        return ptr ? getMidiProgramName(index, static_cast<MidiProgramName*>(ptr)) : 0;
    case effGetCurrentMidiProgram:
        return getCurrentMidiProgram(index, static_cast<MidiProgramName*>(ptr));
    case effGetMidiProgramCategory:
        return ptr ? getMidiProgramCategory(index, static_cast<MidiProgramCategory*>(ptr)) : 0;
    case effHasMidiProgramsChanged:
        return flag(hasMidiProgramsChanged(index));
    case effGetMidiKeyName:
        return ptr ? flag(getMidiKeyName(index, static_cast<MidiKeyName*>(ptr))) : 0;
    case effBeginSetProgram:
        return flag(beginSetProgram());
    case effEndSetProgram:
        return flag(endSetProgram());
    case effGetSpeakerArrangement:
        return flag(getSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement**>(value), static_cast<VstSpeakerArrangement**>(ptr)));
    case effShellGetNextPlugin:
        return text ? getNextShellPlugin(text) : 0;
    case effStartProcess:
        return startProcess();
    case effStopProcess:
        return stopProcess();
    case effSetTotalSampleToProcess:
        return setTotalSampleToProcess(value32);
    case effSetPanLaw:
        return flag(setPanLaw(value32, opt));
    case effBeginLoadBank:
        return beginLoadBank(static_cast<VstPatchChunkInfo*>(ptr));
    case effBeginLoadProgram:
        return beginLoadProgram(static_cast<VstPatchChunkInfo*>(ptr));
    case effSetProcessPrecision:
        return flag(setProcessPrecision(value32));
    case effGetNumMidiInputChannels:
        return getNumMidiInputChannels();
    case effGetNumMidiOutputChannels:
        return getNumMidiOutputChannels();
    default:
        return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
    }
}

void AudioEffectX::resume()
{
    char receiveMidi[] = "receiveVstMidiEvent";
    if ((cEffect.flags & effFlagsIsSynth) || canDo(receiveMidi) == 1)
        wantEvents(1);
}

VstPlugCategory AudioEffectX::getPlugCategory()
{
    return (cEffect.flags & effFlagsIsSynth) ? kPlugCategSynth : kPlugCategUnknown;
}

bool AudioEffectX::getSpeakerArrangement(VstSpeakerArrangement** in, VstSpeakerArrangement** out)
{
    if (in)
        *in = nullptr;
    if (out)
        *out = nullptr;
    return false;
}

// ---- Requests to the host ----

bool AudioEffectX::beginEdit(VstInt32 index) { return callHost(audioMasterBeginEdit, index) != 0; }
bool AudioEffectX::endEdit(VstInt32 index) { return callHost(audioMasterEndEdit, index) != 0; }
void AudioEffectX::wantEvents(VstInt32 filter) { callHost(audioMasterWantMidi, 0, filter); }

VstTimeInfo* AudioEffectX::getTimeInfo(VstInt32 filter)
{
    return reinterpret_cast<VstTimeInfo*>(callHost(audioMasterGetTime, 0, filter));
}

// A null list is not sent: the host would have to read through it.
bool AudioEffectX::sendVstEventsToHost(VstEvents* events)
{
    return events && callHost(audioMasterProcessEvents, 0, 0, events) == 1;
}

VstInt32 AudioEffectX::tempoAt(VstInt32 pos) { return static_cast<VstInt32>(callHost(audioMasterTempoAt, 0, pos)); }
VstInt32 AudioEffectX::getNumAutomatableParameters() { return static_cast<VstInt32>(callHost(audioMasterGetNumAutomatableParameters)); }
VstInt32 AudioEffectX::getParameterQuantization() { return static_cast<VstInt32>(callHost(audioMasterGetParameterQuantization)); }
bool AudioEffectX::ioChanged() { return callHost(audioMasterIOChanged) != 0; }
bool AudioEffectX::needIdle() { return callHost(audioMasterNeedIdle) != 0; }
bool AudioEffectX::sizeWindow(VstInt32 width, VstInt32 height) { return callHost(audioMasterSizeWindow, width, height) != 0; }

// A positive answer replaces the stored rate; otherwise the stored one stays.
double AudioEffectX::updateSampleRate()
{
    const VstIntPtr rate = callHost(audioMasterGetSampleRate);
    if (rate > 0)
        sampleRate = static_cast<float>(rate);
    return sampleRate;
}

// A positive answer that fits an int32 replaces the stored block size.
VstInt32 AudioEffectX::updateBlockSize()
{
    const VstIntPtr size = callHost(audioMasterGetBlockSize);
    if (size > 0 && size <= std::numeric_limits<VstInt32>::max())
        blockSize = static_cast<VstInt32>(size);
    return blockSize;
}

VstInt32 AudioEffectX::getInputLatency() { return static_cast<VstInt32>(callHost(audioMasterGetInputLatency)); }
VstInt32 AudioEffectX::getOutputLatency() { return static_cast<VstInt32>(callHost(audioMasterGetOutputLatency)); }
AEffect* AudioEffectX::getPreviousPlug(VstInt32 /*input*/) { return reinterpret_cast<AEffect*>(callHost(audioMasterGetPreviousPlug)); }
AEffect* AudioEffectX::getNextPlug(VstInt32 /*output*/) { return reinterpret_cast<AEffect*>(callHost(audioMasterGetNextPlug)); }
VstInt32 AudioEffectX::willProcessReplacing() { return static_cast<VstInt32>(callHost(audioMasterWillReplaceOrAccumulate)); }
VstInt32 AudioEffectX::getCurrentProcessLevel() { return static_cast<VstInt32>(callHost(audioMasterGetCurrentProcessLevel)); }
VstInt32 AudioEffectX::getAutomationState() { return static_cast<VstInt32>(callHost(audioMasterGetAutomationState)); }

bool AudioEffectX::offlineStart(VstAudioFile* ptr, VstInt32 numAudioFiles, VstInt32 numNewAudioFiles)
{
    return callHost(audioMasterOfflineStart, numNewAudioFiles, numAudioFiles, ptr) != 0;
}

bool AudioEffectX::offlineRead(VstOfflineTask* offline, VstInt32 option, bool readSource)
{
    return callHost(audioMasterOfflineRead, readSource ? 1 : 0, option, offline) != 0;
}

bool AudioEffectX::offlineWrite(VstOfflineTask* offline, VstInt32 option)
{
    return callHost(audioMasterOfflineWrite, 0, option, offline) != 0;
}

VstInt32 AudioEffectX::offlineGetCurrentPass() { return callHost(audioMasterOfflineGetCurrentPass) != 0 ? 1 : 0; }
VstInt32 AudioEffectX::offlineGetCurrentMetaPass() { return callHost(audioMasterOfflineGetCurrentMetaPass) != 0 ? 1 : 0; }

VstInt32 AudioEffectX::setOutputSamplerate(float samplerate)
{
    return static_cast<VstInt32>(callHost(audioMasterSetOutputSampleRate, 0, 0, nullptr, samplerate));
}

VstSpeakerArrangement* AudioEffectX::getOutputSpeakerArrangement()
{
    return reinterpret_cast<VstSpeakerArrangement*>(callHost(audioMasterGetOutputSpeakerArrangement));
}

VstSpeakerArrangement* AudioEffectX::getInputSpeakerArrangement()
{
    return reinterpret_cast<VstSpeakerArrangement*>(callHost(audioMasterGetInputSpeakerArrangement));
}

// The host writes into text: a null buffer is not sent.
bool AudioEffectX::getHostVendorString(char* text) { return text && callHost(audioMasterGetVendorString, 0, 0, text) != 0; }
bool AudioEffectX::getHostProductString(char* text) { return text && callHost(audioMasterGetProductString, 0, 0, text) != 0; }
VstInt32 AudioEffectX::getHostVendorVersion() { return static_cast<VstInt32>(callHost(audioMasterGetVendorVersion)); }

VstIntPtr AudioEffectX::hostVendorSpecific(VstInt32 lArg1, VstIntPtr lArg2, void* ptrArg, float floatArg)
{
    return callHost(audioMasterVendorSpecific, lArg1, lArg2, ptrArg, floatArg);
}

// The host reads text: a null question is not sent.
VstInt32 AudioEffectX::canHostDo(char* text) { return (text && callHost(audioMasterCanDo, 0, 0, text) != 0) ? 1 : 0; }
VstInt32 AudioEffectX::getHostLanguage() { return static_cast<VstInt32>(callHost(audioMasterGetLanguage)); }
void* AudioEffectX::openWindow(void* window) { return reinterpret_cast<void*>(callHost(audioMasterOpenWindow, 0, 0, window)); }
bool AudioEffectX::closeWindow(void* window) { return callHost(audioMasterCloseWindow, 0, 0, window) != 0; }
void* AudioEffectX::getDirectory() { return reinterpret_cast<void*>(callHost(audioMasterGetDirectory)); }
bool AudioEffectX::updateDisplay() { return callHost(audioMasterUpdateDisplay) != 0; }
bool AudioEffectX::openFileSelector(VstFileSelect* ptr) { return ptr && callHost(audioMasterOpenFileSelector, 0, 0, ptr) != 0; }
bool AudioEffectX::closeFileSelector(VstFileSelect* ptr) { return ptr && callHost(audioMasterCloseFileSelector, 0, 0, ptr) != 0; }
bool AudioEffectX::getChunkFile(void* nativePath) { return nativePath && callHost(audioMasterGetChunkFile, 0, 0, nativePath) != 0; }

// ---- Speaker arrangements: a head (type, channel count) and one speaker
// record per channel, in one malloc'd block. ----

bool AudioEffectX::allocateArrangement(VstSpeakerArrangement** arrangement, VstInt32 nbChannels)
{
    if (!arrangement)
        return false;
    // Release the previous one first and never leave a dangling pointer behind.
    std::free(*arrangement);
    *arrangement = nullptr;
    if (nbChannels < 0)
        return false;
    const size_t size = kArrangementHead + sizeof(VstSpeakerProperties) * static_cast<size_t>(nbChannels);
    auto* fresh = static_cast<VstSpeakerArrangement*>(std::calloc(1, size));
    if (!fresh)
        return false;
    fresh->numChannels = nbChannels;
    *arrangement = fresh;
    return true;
}

bool AudioEffectX::deallocateArrangement(VstSpeakerArrangement** arrangement)
{
    if (!arrangement)
        return false;
    std::free(*arrangement);
    *arrangement = nullptr;
    return true;
}

bool AudioEffectX::copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from)
{
    if (!to || !from)
        return false;
    to->azimuth = from->azimuth;
    to->elevation = from->elevation;
    to->radius = from->radius;
    to->reserved = from->reserved;
    // The name may arrive unterminated: at most 63 characters and a terminator.
    const size_t nameLength = strnlen(from->name, sizeof(to->name) - 1);
    std::memset(to->name, 0, sizeof(to->name));
    std::memcpy(to->name, from->name, nameLength);
    to->type = from->type;
    std::memcpy(to->future, from->future, sizeof(to->future));
    return true;
}

bool AudioEffectX::matchArrangement(VstSpeakerArrangement** to, VstSpeakerArrangement* from)
{
    if (!to || !from || from->numChannels < 0)
        return false;
    // Matching an arrangement to itself: reallocating would free the source.
    if (*to == from)
        return true;
    if (!allocateArrangement(to, from->numChannels))
        return false;
    (*to)->type = from->type;
    for (VstInt32 i = 0; i < from->numChannels; ++i)
        copySpeaker(&(*to)->speakers[i], &from->speakers[i]);
    return true;
}
