#include "frame/AudioEffect.h"

#include "frame/AEffEditor.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace
{

// The identify opcode's answer: 'NvEf'.
constexpr VstIntPtr kIdentifyAnswer = CCONST('N', 'v', 'E', 'f');
// The base unique ID: 'NoEf'.
constexpr VstInt32 kDefaultUniqueId = CCONST('N', 'o', 'E', 'f');

AudioEffect* objectOf(AEffect* e)
{
    return e ? static_cast<AudioEffect*>(e->object) : nullptr;
}

// Copies src into text: at most maxLen characters, then a terminator right
// after the last one written. A negative maxLen leaves no room at all.
void copyLimited(char* text, const char* src, VstInt32 maxLen)
{
    if (!text || maxLen < 0)
        return;
    size_t n = std::strlen(src);
    if (n > static_cast<size_t>(maxLen))
        n = static_cast<size_t>(maxLen);
    std::memcpy(text, src, n);
    text[n] = 0;
}

// Writes the decimal digits of magnitude (at least one) ending just before end;
// returns the position of the first digit.
char* writeDigits(char* end, uint64_t magnitude)
{
    do
    {
        *--end = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    return end;
}

// A double narrowed to float without undefined behaviour: out-of-range values
// become infinities of their sign, NaN stays NaN.
float toFloat(double v)
{
    if (std::isfinite(v) && std::fabs(v) > static_cast<double>(std::numeric_limits<float>::max()))
        return v < 0.0 ? -std::numeric_limits<float>::infinity() : std::numeric_limits<float>::infinity();
    return static_cast<float>(v);
}

} // namespace

AudioEffect::AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
    : audioMaster(audioMaster), numPrograms(numPrograms), numParams(numParams)
{
    std::memset(&cEffect, 0, sizeof(cEffect));
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatchEffectClass;
    cEffect.process = processClass;
    cEffect.setParameter = setParameterClass;
    cEffect.getParameter = getParameterClass;
    cEffect.numPrograms = numPrograms;
    cEffect.numParams = numParams;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.flags = effFlagsCanReplacing;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = kDefaultUniqueId;
    cEffect.version = 1;
    cEffect.processReplacing = processClassReplacing;
    cEffect.processDoubleReplacing = processClassDoubleReplacing;
}

AudioEffect::~AudioEffect()
{
    // Detach first so an editor that talks back while dying sees no editor.
    AEffEditor* owned = editor;
    editor = nullptr;
    delete owned;
}

void AudioEffect::setEditor(AEffEditor* newEditor)
{
    editor = newEditor;
    setFlag(effFlagsHasEditor, newEditor != nullptr);
}

// ---- The record's entries. The host is C: no exception may leave them. ----

VstIntPtr AudioEffect::dispatchEffectClass(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    AudioEffect* effect = objectOf(e);
    if (!effect)
        return 0;
    VstIntPtr result = 0;
    try
    {
        result = effect->dispatcher(opcode, index, value, ptr, opt);
    }
    catch (...)
    {
        result = 0;
    }
    if (opcode == effClose)
    {
        try
        {
            delete effect;
        }
        catch (...)
        {
        }
        return 1;
    }
    return result;
}

float AudioEffect::getParameterClass(AEffect* e, VstInt32 index)
{
    AudioEffect* effect = objectOf(e);
    if (!effect)
        return 0.0f;
    try
    {
        return effect->getParameter(index);
    }
    catch (...)
    {
        return 0.0f;
    }
}

void AudioEffect::setParameterClass(AEffect* e, VstInt32 index, float value)
{
    if (AudioEffect* effect = objectOf(e))
    {
        try
        {
            effect->setParameter(index, value);
        }
        catch (...)
        {
        }
    }
}

void AudioEffect::processClass(AEffect* e, float** inputs, float** outputs, VstInt32 sampleFrames)
{
    if (AudioEffect* effect = objectOf(e))
    {
        try
        {
            effect->process(inputs, outputs, sampleFrames);
        }
        catch (...)
        {
        }
    }
}

void AudioEffect::processClassReplacing(AEffect* e, float** inputs, float** outputs, VstInt32 sampleFrames)
{
    if (AudioEffect* effect = objectOf(e))
    {
        try
        {
            effect->processReplacing(inputs, outputs, sampleFrames);
        }
        catch (...)
        {
        }
    }
}

void AudioEffect::processClassDoubleReplacing(AEffect* e, double** inputs, double** outputs, VstInt32 sampleFrames)
{
    if (AudioEffect* effect = objectOf(e))
    {
        try
        {
            effect->processDoubleReplacing(inputs, outputs, sampleFrames);
        }
        catch (...)
        {
        }
    }
}

// ---- Base opcodes ----

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    char* text = static_cast<char*>(ptr);
    switch (opcode)
    {
    case effOpen:
        open();
        return 0;
    case effClose:
        close();
        return 0;
    case effSetProgram:
        // Only existing programs; negative values are ignored too.
        if (value >= 0 && value < numPrograms)
            setProgram(static_cast<VstInt32>(value));
        return 0;
    case effGetProgram:
        return getProgram();
    // The text opcodes write into (or read from) the host's buffer: never
    // hand a null one on.
    case effSetProgramName:
        if (text)
            setProgramName(text);
        return 0;
    case effGetProgramName:
        if (text)
            getProgramName(text);
        return 0;
    case effGetParamLabel:
        if (text)
            getParameterLabel(index, text);
        return 0;
    case effGetParamDisplay:
        if (text)
            getParameterDisplay(index, text);
        return 0;
    case effGetParamName:
        if (text)
            getParameterName(index, text);
        return 0;
    case effGetVu:
    {
        // NaN reads as 0 and the level is clamped so the conversion is defined.
        const double vu = static_cast<double>(getVu()) * 32767.0;
        if (!(vu == vu))
            return 0;
        if (vu >= 2147483647.0)
            return std::numeric_limits<VstInt32>::max();
        if (vu <= -2147483648.0)
            return std::numeric_limits<VstInt32>::min();
        return static_cast<VstIntPtr>(vu);
    }
    case effSetSampleRate:
        setSampleRate(opt);
        return 0;
    case effSetBlockSize:
        setBlockSize(static_cast<VstInt32>(value));
        return 0;
    case effMainsChanged:
        if (value == 0)
            suspend();
        else
            resume();
        return 0;
    case effEditGetRect:
        // The editor stores through ptr: a null one cannot receive a rectangle.
        return (editor && ptr && editor->getRect(static_cast<ERect**>(ptr))) ? 1 : 0;
    case effEditOpen:
        return (editor && editor->open(ptr)) ? 1 : 0;
    case effEditClose:
        if (editor)
            editor->close();
        return 0;
    case effEditDraw:
        if (editor)
            editor->draw(static_cast<ERect*>(ptr));
        return 0;
    case effEditMouse:
        return editor ? editor->mouse(index, static_cast<VstInt32>(value)) : 0;
    case effEditKey:
        return editor ? editor->key(static_cast<VstInt32>(value)) : 0;
    case effEditIdle:
        if (editor)
            editor->idle();
        return 0;
    case effEditTop:
        if (editor)
            editor->top();
        return 0;
    case effEditSleep:
        if (editor)
            editor->sleep();
        return 0;
    case effIdentify:
        return kIdentifyAnswer;
    case effGetChunk:
        // ptr receives the data pointer.
        return ptr ? getChunk(static_cast<void**>(ptr), index != 0) : 0;
    case effSetChunk:
        // A missing block or a size no int32 can carry is refused.
        if (!ptr || value < 0 || value > std::numeric_limits<VstInt32>::max())
            return 0;
        return setChunk(ptr, static_cast<VstInt32>(value), index != 0);
    default:
        return 0;
    }
}

// ---- Requests to the host ----

VstIntPtr AudioEffect::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    return audioMaster ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
}

void AudioEffect::setParameterAutomated(VstInt32 index, float value)
{
    setParameter(index, value);
    if (audioMaster)
        callHost(audioMasterAutomate, index, 0, nullptr, value);
}

VstInt32 AudioEffect::getMasterVersion()
{
    const VstIntPtr version = callHost(audioMasterVersion);
    return version ? static_cast<VstInt32>(version) : 1;
}

VstInt32 AudioEffect::getCurrentUniqueId()
{
    return static_cast<VstInt32>(callHost(audioMasterCurrentId));
}

void AudioEffect::masterIdle()
{
    callHost(audioMasterIdle);
}

// The host answers 0 for a connected pin; without a host every pin counts as connected.
bool AudioEffect::isInputConnected(VstInt32 input)
{
    return callHost(audioMasterPinConnected, input, 0) == 0;
}

bool AudioEffect::isOutputConnected(VstInt32 output)
{
    return callHost(audioMasterPinConnected, output, 1) == 0;
}

// ---- Value-to-text helpers ----

void AudioEffect::dB2string(float value, char* text, VstInt32 maxLen)
{
    if (value <= 0.0f)
        copyLimited(text, "-oo", maxLen);
    else
        float2string(toFloat(20.0 * std::log10(static_cast<double>(value))), text, maxLen);
}

void AudioEffect::Hz2string(float samples, char* text, VstInt32 maxLen)
{
    float2string(samples == 0.0f ? 0.0f : sampleRate / samples, text, maxLen);
}

void AudioEffect::ms2string(float samples, char* text, VstInt32 maxLen)
{
    float2string(toFloat(static_cast<double>(samples) * 1000.0 / static_cast<double>(sampleRate)), text, maxLen);
}

// Eight characters: sign, integer digits, point, then as many fraction digits
// as fit. Fraction digits are truncated one by one, never rounded up.
// An integer part that fills the whole field (8 digits, or 7 after a minus) is
// shown in full without a point rather than losing its leading digit.
// NaN, which has no digits, reads "NaN".
void AudioEffect::float2string(float value, char* text, VstInt32 maxLen)
{
    constexpr int kField = 8;
    double v = value;
    if (v != v)
    {
        copyLimited(text, "NaN", maxLen);
        return;
    }
    const bool negative = v < 0.0;
    if (negative)
        v = -v;
    if ((negative && v > 9999999.0) || (!negative && v > 99999999.0))
    {
        copyLimited(text, "Huge!", maxLen);
        return;
    }

    const double whole = std::floor(v);
    char digits[16];
    char* const digitsEnd = digits + sizeof(digits);
    const char* first = writeDigits(digitsEnd, static_cast<uint64_t>(whole));
    const int intDigits = static_cast<int>(digitsEnd - first);

    char out[kField + 2];
    int pos = 0;
    if (negative)
        out[pos++] = '-';
    std::memcpy(out + pos, first, static_cast<size_t>(intDigits));
    pos += intDigits;
    const int places = kField - pos - 1;
    if (places >= 0)
    {
        out[pos++] = '.';
        // Powers of ten up to 10^7 are exact doubles: one rounding only.
        static constexpr double kPow10[] = {1.0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7};
        double rest = (v - whole) * kPow10[places];
        for (int i = places - 1; i >= 0; --i)
        {
            if (rest <= 0.0)
            {
                out[pos + i] = '0';
                continue;
            }
            out[pos + i] = static_cast<char>('0' + static_cast<int>(std::fmod(rest, 10.0)));
            rest /= 10.0;
        }
        pos += places;
    }
    out[pos] = 0;
    copyLimited(text, out, maxLen);
}

void AudioEffect::int2string(VstInt32 value, char* text, VstInt32 maxLen)
{
    if (value >= 100000000)
    {
        copyLimited(text, "Huge!", maxLen);
        return;
    }
    // Widen before negating so the most negative value has a magnitude too.
    const int64_t wide = value;
    char buffer[16];
    char* const end = buffer + sizeof(buffer) - 1;
    *end = 0;
    char* start = writeDigits(end, static_cast<uint64_t>(wide < 0 ? -wide : wide));
    if (wide < 0)
        *--start = '-';
    copyLimited(text, start, maxLen);
}
