// One effect loaded for the command-line host: its code bundle, its host
// and the hosted plug-in, with the errors a user can cause turned into
// readable messages.
#pragma once

#include "auadapter/VSTPlugIn.h"
#include "tools/kit/HostOptions.h"
#include "tools/vsthost/ToolHost.h"

#include <memory>
#include <stdexcept>
#include <string>

struct EffectError : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

class EffectSession
{
public:
    // Loads and opens the effect at `path`, telling it the rate and block
    // size. Throws EffectError for a missing file or anything not a VST 2.4
    // effect.
    EffectSession(const std::string& path, double sampleRate, int32_t blockSize);

    VSTPlugIn& plugIn() { return *effect; }
    ToolHost& host() { return toolHost; }

    // The index of a parameter given by index or by name (exact first,
    // then ignoring case and spaces). Throws EffectError when unknown.
    int32_t findParameter(const std::string& parameter);
    void apply(const ParameterSetting& setting);
    // Loads an FXP or FXB file. Returns false when the effect took it with
    // adjustments; throws EffectError when it cannot be loaded.
    bool loadPreset(const std::string& path);
    // Renames the current program; warns when the effect keeps another name.
    void nameProgram(const std::string& name);
    // Writes the current program (FXP) or the bank (FXB) to `path`.
    void savePreset(const std::string& path, bool bank);
    // "KwQz" style identity of the unique ID, printable characters only.
    std::string uniqueIdText() const;

private:
    ToolHost toolHost;
    std::unique_ptr<VSTPlugIn> effect;
};
