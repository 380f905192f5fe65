#include "engine/VivuzudidEdit.h"

#include <cstring>

#if DC_WITH_EDITOR
#include "editor/ADEditor.h"
#endif

AudioEffect* createEffectInstance(audioMasterCallback audioMaster)
{
    return new VivuzudidEdit(audioMaster);
}

VivuzudidEdit::VivuzudidEdit(audioMasterCallback audioMaster) : Vivuzudid(audioMaster)
{
    setUniqueID(kUniqueID);
#if DC_WITH_EDITOR
    // The editor registers itself as this effect's editor; the effect owns it.
    guiEditor = new ADEditor(this);
#endif
    resume();
}

// The base destructor deletes the editor.
VivuzudidEdit::~VivuzudidEdit() = default;

void VivuzudidEdit::setParameter(VstInt32 index, float value)
{
    Vivuzudid::setParameter(index, value);
#if DC_WITH_EDITOR
    if (guiEditor)
        guiEditor->setParameter(index, value);
#endif
}

bool VivuzudidEdit::getEffectName(char* name)
{
    if (name)
        std::strcpy(name, "DitherCrunch");
    return true;
}

bool VivuzudidEdit::getProductString(char* text)
{
    if (text)
        std::strcpy(text, "DitherCrunch");
    return true;
}

VstInt32 VivuzudidEdit::getVendorVersion()
{
    return 1000;
}
