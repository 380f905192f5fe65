// The effect together with its editor window: what hosts get from the entry point.
#pragma once

#include "engine/Vivuzudid.h"

class ADEditor;

class VivuzudidEdit : public Vivuzudid
{
public:
    explicit VivuzudidEdit(audioMasterCallback audioMaster);
    ~VivuzudidEdit() override;

    // [any thread] Applies the change, then passes every index on to the editor.
    void setParameter(VstInt32 index, float value) override;
    bool getEffectName(char* name) override;
    bool getProductString(char* text) override;
    VstInt32 getVendorVersion() override;

private:
    [[maybe_unused]] ADEditor* guiEditor = nullptr; // unused in builds without the editor
};
