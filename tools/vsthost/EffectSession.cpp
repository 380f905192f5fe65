#include "tools/vsthost/EffectSession.h"

#include "auadapter/TwinfoldException.h"
#include "platform/SharedLibraryBundle.h"
#include "tools/kit/FileChecks.h"
#include "tools/kit/ReplacingFile.h"
#include "tools/kit/ToolMain.h"
#include "tools/vsthost/PresetDiagnosis.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace
{

std::string simplified(const std::string& text)
{
    std::string out;
    for (unsigned char c : text)
        if (!std::isspace(c))
            out.push_back(static_cast<char>(std::tolower(c)));
    return out;
}

constexpr std::streamoff kMaxPresetBytes = 256 << 20;

} // namespace

EffectSession::EffectSession(const std::string& path, double sampleRate, int32_t blockSize)
{
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        throw EffectError("effect not found: " + path);
    // A path, never a name for the loader's library search: "DitherCrunch.so"
    // is the file in the current folder.
    SharedLibraryBundle* bundle = SharedLibraryBundle::create(std::filesystem::absolute(path, ec));
    if (!bundle)
        throw EffectError("not a VST effect (no shared library or bundle): " + path);
    effect = std::make_unique<VSTPlugIn>(toolHost, bundle, static_cast<float>(sampleRate), blockSize);
    bundle->release();
    try
    {
        effect->open();
    }
    catch (const TwinfoldException& e)
    {
        std::string reason = e.what();
        if (!bundle->getLoadError().empty())
            reason += ": " + bundle->getLoadError();
        throw EffectError("not a VST effect: " + path + " (" + reason + ")");
    }
    if (!effect->canProcessReplacing())
        throw EffectError("the effect cannot process audio in replacing mode: " + path);
    effect->setSampleRate(static_cast<float>(sampleRate));
    effect->setBlockSize(blockSize);
}

int32_t EffectSession::findParameter(const std::string& parameter)
{
    const int32_t count = effect->getParameterCount();
    if (!parameter.empty() && std::all_of(parameter.begin(), parameter.end(), [](unsigned char c) { return std::isdigit(c); }))
    {
        const long index = parameter.size() > 9 ? count : std::stol(parameter);
        if (index >= count)
            throw UsageError("parameter index " + parameter + " out of range (the effect has " + std::to_string(count) +
                             (count == 1 ? " parameter)" : " parameters)"));
        return static_cast<int32_t>(index);
    }
    char name[25];
    int32_t loose = -1;
    for (int32_t i = 0; i < count; ++i)
    {
        effect->getParameterName(i, name);
        if (parameter == name)
            return i;
        if (loose < 0 && simplified(parameter) == simplified(name))
            loose = i;
    }
    if (loose < 0)
        throw UsageError("no parameter named \"" + parameter + "\" (vsthost info EFFECT lists them)");
    return loose;
}

void EffectSession::apply(const ParameterSetting& setting)
{
    effect->setParameter(findParameter(setting.parameter), setting.value);
}

bool EffectSession::loadPreset(const std::string& path)
{
    checkReadable(path, "preset");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw EffectError("cannot read preset " + path);
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0)
        throw EffectError("cannot read preset " + path);
    if (size > kMaxPresetBytes)
        throw EffectError("preset " + path + " is too large (" + std::to_string(size) + " bytes; presets are at most " +
                          std::to_string(kMaxPresetBytes) + ")");
    in.seekg(0);
    std::vector<uint8_t> data(static_cast<size_t>(size));
    in.read(reinterpret_cast<char*>(data.data()), size);
    if (!in)
        throw EffectError("cannot read preset " + path);
    try
    {
        return effect->loadFXPOrFXB(data.size(), data.data());
    }
    catch (const TwinfoldException& e)
    {
        // The adapter's message, then what the file itself shows.
        const std::string cause = diagnosePreset(data.data(), data.size(), effect->getEffect()->uniqueID);
        throw EffectError("cannot load preset " + path + ": " + e.what() + (cause.empty() ? "" : " (" + cause + ")"));
    }
}

void EffectSession::nameProgram(const std::string& name)
{
    effect->setCurrentProgramName(name.c_str());
    char kept[256] = {};
    effect->getCurrentProgramName(kept);
    if (name != kept)
        printWarning("the effect keeps the program name as \"" + std::string(kept) + "\", not \"" + name + "\"");
}

void EffectSession::savePreset(const std::string& path, bool bank)
{
    size_t length = 0;
    std::unique_ptr<uint8_t[]> record;
    try
    {
        record = bank ? effect->createFXB(length) : effect->createFXP(length);
    }
    catch (const TwinfoldException& e)
    {
        throw EffectError(std::string("cannot save: ") + e.what());
    }
    ReplacingFile out(path);
    out.write(record.get(), length);
    out.commit();
}

std::string EffectSession::uniqueIdText() const
{
    return fourCharacterCode(effect->getEffect()->uniqueID);
}
