// The plug-in's one exported entry point.
#include "AudioEffect.h"

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback audioMaster)
{
    if (!audioMaster)
        return nullptr;
    // Ask for the host's version; a host answering 0 is too old or no VST host.
    if (!audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f))
        return nullptr;
    AudioEffect* effect = nullptr;
    try
    {
        effect = createEffectInstance(audioMaster);
    }
    catch (...)
    {
        return nullptr;
    }
    return effect ? effect->getAeffect() : nullptr;
}
