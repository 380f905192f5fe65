// A VST 2.4 effect module loaded and opened the way a host does it (dlopen,
// entry point, open, rate, block size, resume), driven through its record.
// The host answers its version, the rate and the block size.
#pragma once

#include "frame/VstRecords.h"

#include <dlfcn.h>

namespace bench {

class LoadedEffect
{
public:
    LoadedEffect(const char* path, float rate, VstInt32 block) : rate(rate), block(block)
    {
        module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (!module)
            return;
        using Entry = AEffect* (*)(audioMasterCallback);
        void* symbol = dlsym(module, "VSTPluginMain");
        if (!symbol)
            symbol = dlsym(module, "main");
        if (!symbol)
            return;
        loading() = this;
        effect = reinterpret_cast<Entry>(symbol)(&hostCallback);
        loading() = nullptr;
        if (!effect)
            return;
        effect->resvd1 = reinterpret_cast<VstIntPtr>(this);
        dispatch(effOpen);
        dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        dispatch(effSetBlockSize, 0, block);
        dispatch(effMainsChanged, 0, 1);
    }
    ~LoadedEffect()
    {
        if (effect)
        {
            dispatch(effMainsChanged, 0, 0);
            dispatch(effClose);
        }
        if (module)
            dlclose(module);
    }
    LoadedEffect(const LoadedEffect&) = delete;
    LoadedEffect& operator=(const LoadedEffect&) = delete;

    bool ok() const { return effect != nullptr && effect->processReplacing != nullptr; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f)
    {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }
    void setParameter(VstInt32 index, float value) { effect->setParameter(effect, index, value); }
    void process(float** in, float** out, VstInt32 frames) { effect->processReplacing(effect, in, out, frames); }

private:
    static LoadedEffect*& loading()
    {
        thread_local LoadedEffect* host = nullptr;
        return host;
    }
    static VstIntPtr hostCallback(AEffect* e, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
    {
        const LoadedEffect* self = e && e->resvd1 ? reinterpret_cast<const LoadedEffect*>(e->resvd1) : loading();
        switch (opcode)
        {
        case audioMasterVersion:
            return 2400;
        case audioMasterGetSampleRate:
            return self ? static_cast<VstIntPtr>(self->rate) : 0;
        case audioMasterGetBlockSize:
            return self ? self->block : 0;
        default:
            return 0;
        }
    }

    float rate;
    VstInt32 block;
    void* module = nullptr;
    AEffect* effect = nullptr;
};

} // namespace bench
