#include "auadapter/VSTPlugIn.h"

#include "auadapter/TwinfoldException.h"
#include "platform/CodeBundle.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{

using EntryPoint = AEffect* (*)(audioMasterCallback);

constexpr VstIntPtr kHostVersion = 2300;
constexpr size_t kScratchSize = 1024;
constexpr size_t kMaxTextLength = 24;

// Copies at most 24 characters of the effect's text and always ends with a NUL.
void copyText(char* text, const char* scratch)
{
    const size_t length = strnlen(scratch, kMaxTextLength);
    std::memcpy(text, scratch, length);
    text[length] = '\0';
}

} // namespace

VSTPlugIn* VSTPlugIn::tempPlugInPointer = nullptr;

VSTPlugIn::VSTPlugIn(VSTHost& vstHost, CodeBundle* codeBundle, float rate, int32_t frames)
    : host(vstHost), bundle(codeBundle), sampleRate(rate), blockSize(frames)
{
    if (bundle)
        bundle->retain();
}

VSTPlugIn::~VSTPlugIn()
{
    if (editorOpenFlag)
    {
        guardedDispatch(effEditClose, 0, 0, nullptr, 0.0f);
        editorOpenFlag = false;
    }
    if (effect)
    {
        guardedDispatch(effClose, 0, 0, nullptr, 0.0f);
        effect = nullptr;
    }
    if (bundle)
    {
        if (bundle->getRetainCount() == 1)
            bundle->unloadExecutable();
        bundle->release();
        bundle = nullptr;
    }
}

void VSTPlugIn::open()
{
    if (!bundle || (!bundle->isExecutableLoaded() && !bundle->loadExecutable()))
        throw TwinfoldException("Could not load VST bundle executable");

    void* entry = bundle->getFunctionPointerForName("main_macho");
    if (!entry)
        entry = bundle->getFunctionPointerForName("VSTPluginMain");
    if (!entry)
        entry = bundle->getFunctionPointerForName("main"); // the older entry name of Linux effects
    if (!entry)
        throw TwinfoldException("Could not locate function in bundle executable (\"main_macho\" or \"VSTPluginMain\")");

    AEffect* record = nullptr;
    tempPlugInPointer = this;
    try
    {
        record = reinterpret_cast<EntryPoint>(entry)(&VSTPlugIn::staticAudioMasterCallback);
    }
    catch (...)
    {
        record = nullptr;
    }
    tempPlugInPointer = nullptr;
    if (!record || record->magic != kEffectMagic)
    {
        // The record may have been linked by a callback during the entry point.
        effect = nullptr;
        throw TwinfoldException("VST main() doesn't return object AEffect*");
    }

    effect = record;
    effect->resvd1 = reinterpret_cast<VstIntPtr>(this);
    guardedDispatch(effOpen, 0, 0, nullptr, 0.0f);
    openFlag = true;
}

VstIntPtr VSTPlugIn::guardedDispatch(int32_t opcode, int32_t index, VstIntPtr value, void* ptr, float opt) noexcept
{
    if (!effect || !effect->dispatcher)
        return 0;
    try
    {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }
    catch (...)
    {
        return 0;
    }
}

void VSTPlugIn::processReplacing(float** inputs, float** outputs, int32_t frames)
{
    if (!effect || !effect->processReplacing)
        return;
    try
    {
        effect->processReplacing(effect, inputs, outputs, frames);
    }
    catch (...)
    {
    }
}

void VSTPlugIn::processAccumulating(float** inputs, float** outputs, int32_t frames)
{
    if (!effect || !effect->process)
        return;
    try
    {
        effect->process(effect, inputs, outputs, frames);
    }
    catch (...)
    {
    }
}

void VSTPlugIn::setParameter(int32_t index, float value)
{
    if (!effect || !effect->setParameter)
        return;
    try
    {
        effect->setParameter(effect, index, value);
    }
    catch (...)
    {
    }
}

float VSTPlugIn::getParameter(int32_t index)
{
    if (!effect || !effect->getParameter)
        return 0.0f;
    try
    {
        return effect->getParameter(effect, index);
    }
    catch (...)
    {
        return 0.0f;
    }
}

VstIntPtr VSTPlugIn::dispatch(int32_t opcode, int32_t index, VstIntPtr value, void* ptr, float opt)
{
    return guardedDispatch(opcode, index, value, ptr, opt);
}

VstIntPtr VSTPlugIn::getVersion()
{
    return guardedDispatch(effGetVstVersion, 0, 0, nullptr, 0.0f);
}

void VSTPlugIn::getEditorDimensions(int32_t& width, int32_t& height)
{
    ERect* rect = nullptr;
    guardedDispatch(effEditGetRect, 0, 0, &rect, 0.0f);
    if (!rect)
    {
        width = 0;
        height = 0;
        return;
    }
    width = rect->right - rect->left;
    height = rect->bottom - rect->top;
}

void VSTPlugIn::idle()
{
    guardedDispatch(effIdle, 0, 0, nullptr, 0.0f);
    if (editorOpenFlag)
        guardedDispatch(effEditIdle, 0, 0, nullptr, 0.0f);
}

void VSTPlugIn::connectInputPin(int32_t pin, bool connected)
{
    guardedDispatch(effConnectInput, pin, connected ? 1 : 0, nullptr, 0.0f);
}

void VSTPlugIn::connectOutputPin(int32_t pin, bool connected)
{
    guardedDispatch(effConnectOutput, pin, connected ? 1 : 0, nullptr, 0.0f);
}

bool VSTPlugIn::getInputProperties(int32_t pin, VstPinProperties& properties)
{
    return guardedDispatch(effGetInputProperties, pin, 0, &properties, 0.0f) != 0;
}

bool VSTPlugIn::getOutputProperties(int32_t pin, VstPinProperties& properties)
{
    return guardedDispatch(effGetOutputProperties, pin, 0, &properties, 0.0f) != 0;
}

bool VSTPlugIn::setBypass(bool bypass)
{
    return guardedDispatch(effSetBypass, 0, bypass ? 1 : 0, nullptr, 0.0f) != 0;
}

VstIntPtr VSTPlugIn::vendorSpecific(int32_t index, VstIntPtr value, void* ptr, float opt)
{
    return guardedDispatch(effVendorSpecific, index, value, ptr, opt);
}

void VSTPlugIn::processEvents(VstEvents* events)
{
    guardedDispatch(effProcessEvents, 0, 0, events, 0.0f);
}

void VSTPlugIn::suspend()
{
    guardedDispatch(effMainsChanged, 0, 0, nullptr, 0.0f);
    resumedFlag = false;
}

void VSTPlugIn::resume()
{
    guardedDispatch(effMainsChanged, 0, 1, nullptr, 0.0f);
    resumedFlag = true;
}

bool VSTPlugIn::setParameterFromString(int32_t index, const char* text)
{
    return guardedDispatch(effString2Parameter, index, 0, const_cast<char*>(text), 0.0f) != 0;
}

void VSTPlugIn::setCurrentProgramName(const char* text)
{
    guardedDispatch(effSetProgramName, 0, 0, const_cast<char*>(text), 0.0f);
}

int32_t VSTPlugIn::getCurrentProgram()
{
    const VstIntPtr answer = guardedDispatch(effGetProgram, 0, 0, nullptr, 0.0f);
    const VstIntPtr last = std::max<VstIntPtr>(getProgramCount() - 1, 0);
    return static_cast<int32_t>(std::clamp<VstIntPtr>(answer, 0, last));
}

void VSTPlugIn::setCurrentProgram(int32_t program)
{
    guardedDispatch(effSetProgram, 0, program, nullptr, 0.0f);
}

void VSTPlugIn::setSampleRate(float rate)
{
    sampleRate = rate;
    if (openFlag)
        guardedDispatch(effSetSampleRate, 0, 0, nullptr, rate);
}

void VSTPlugIn::setBlockSize(int32_t frames)
{
    blockSize = frames;
    if (openFlag)
        guardedDispatch(effSetBlockSize, 0, frames, nullptr, 0.0f);
}

void VSTPlugIn::openEditor(void* parentWindow)
{
    editorOpenFlag = true;
    VstIntPtr answer = 0;
    try
    {
        if (effect && effect->dispatcher)
            answer = effect->dispatcher(effect, effEditOpen, 0, 0, parentWindow, 0.0f);
    }
    catch (...)
    {
        answer = 0;
    }
    if (answer == 0)
    {
        // A refused editor is not open: idle and destruction must not address it.
        editorOpenFlag = false;
        throw TwinfoldException("VST could not open editor");
    }
}

void VSTPlugIn::closeEditor()
{
    guardedDispatch(effEditClose, 0, 0, nullptr, 0.0f);
    editorOpenFlag = false;
}

VstIntPtr VSTPlugIn::getTailSize()
{
    return guardedDispatch(effGetTailSize, 0, 0, nullptr, 0.0f);
}

void VSTPlugIn::getText(int32_t opcode, int32_t index, char* text)
{
    char scratch[kScratchSize] = {};
    guardedDispatch(opcode, index, -1, scratch, 0.0f);
    scratch[kScratchSize - 1] = '\0';
    copyText(text, scratch);
}

void VSTPlugIn::getParameterName(int32_t index, char* text)
{
    getText(effGetParamName, index, text);
}

void VSTPlugIn::getParameterLabel(int32_t index, char* text)
{
    getText(effGetParamLabel, index, text);
}

void VSTPlugIn::getParameterDisplay(int32_t index, char* text)
{
    getText(effGetParamDisplay, index, text);
}

bool VSTPlugIn::getProgramName(int32_t index, char* text)
{
    char scratch[kScratchSize] = {};
    if (guardedDispatch(effGetProgramNameIndexed, index, -1, scratch, 0.0f) == 0)
        return false;
    scratch[kScratchSize - 1] = '\0';
    copyText(text, scratch);
    return true;
}

void VSTPlugIn::getCurrentProgramName(char* text)
{
    char scratch[kScratchSize] = {};
    guardedDispatch(effGetProgramName, 0, 0, scratch, 0.0f);
    scratch[kScratchSize - 1] = '\0';
    copyText(text, scratch);
}

VstIntPtr VSTPlugIn::staticAudioMasterCallback(AEffect* record, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                               void* ptr, float opt)
{
    try
    {
        VSTPlugIn* plugIn = nullptr;
        if (!record)
            plugIn = tempPlugInPointer;
        else if (record->resvd1)
            plugIn = reinterpret_cast<VSTPlugIn*>(record->resvd1);
        else if ((plugIn = tempPlugInPointer) != nullptr)
            plugIn->effect = record; // called back from inside the entry point
        if (!plugIn)
        {
            // An effect calling without a plug-in behind it (say, from a
            // thread of its own outside the entry point): only the version
            // can be answered.
            return opcode == audioMasterVersion ? kHostVersion : 0;
        }
        return plugIn->myAudioMasterCallback(opcode, index, value, ptr, opt);
    }
    catch (...)
    {
        return 0;
    }
}

VstIntPtr VSTPlugIn::myAudioMasterCallback(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    switch (opcode)
    {
    case audioMasterAutomate:
        host.automate(*this, index, opt);
        return 0;
    case audioMasterVersion:
        return kHostVersion;
    case audioMasterCurrentId:
        return effect ? effect->uniqueID : 0;
    case audioMasterIdle:
        host.idle(*this);
        return 0;
    case audioMasterPinConnected:
        return host.isIOPinConnected(*this, value != 0, index) ? 0 : 1;
    case audioMasterWantMidi:
        wantsMidiFlag = true;
        return 1;
    case audioMasterGetTime:
        return reinterpret_cast<VstIntPtr>(host.getTimeInfo(*this, static_cast<int32_t>(value)));
    case audioMasterGetParameterQuantization:
        return 1;
    case audioMasterNeedIdle:
        return 1;
    case audioMasterSizeWindow:
        host.resizeWindow(*this, index, static_cast<int32_t>(value));
        return 1;
    case audioMasterGetSampleRate:
    {
        // Rounded to the nearest integer; a rate that is no number answers 0.
        const double rounded = std::floor(static_cast<double>(sampleRate) + 0.5);
        if (!(rounded >= 0.0 && rounded <= 2147483647.0))
            return 0;
        return static_cast<VstIntPtr>(rounded);
    }
    case audioMasterGetBlockSize:
        return blockSize;
    case audioMasterGetVendorString:
        if (!ptr)
            return 0;
        host.getVendor(*this, static_cast<char*>(ptr));
        return 1;
    case audioMasterGetProductString:
        if (!ptr)
            return 0;
        host.getProduct(*this, static_cast<char*>(ptr));
        return 1;
    case audioMasterGetVendorVersion:
        return host.getVersion(*this);
    case audioMasterCanDo:
        return ptr && host.canDo(*this, static_cast<const char*>(ptr)) ? 1 : 0;
    case audioMasterGetLanguage:
        return 1;
    case audioMasterUpdateDisplay:
        host.updateDisplay(*this);
        return 1;
    case audioMasterBeginEdit:
        host.beginEdit(*this, index);
        return 1;
    case audioMasterEndEdit:
        host.endEdit(*this, index);
        return 1;
    default:
        return 0;
    }
}
