// A tiny loadable module with both VST entry names, each returning its own
// minimal effect record, and a marker function to look up.
#include "frame/VstRecords.h"

namespace
{

VstIntPtr dispatcher(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float)
{
    return 0;
}

AEffect makeRecord(VstInt32 id)
{
    AEffect record{};
    record.magic = kEffectMagic;
    record.dispatcher = dispatcher;
    record.numPrograms = 1;
    record.flags = effFlagsCanReplacing;
    record.uniqueID = id;
    return record;
}

AEffect machoRecord = makeRecord(CCONST('M', 'a', 'c', 'h'));
AEffect mainRecord = makeRecord(CCONST('V', 's', 't', 'M'));

} // namespace

extern "C" __attribute__((visibility("default"))) AEffect* main_macho(audioMasterCallback)
{
    return &machoRecord;
}

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback)
{
    return &mainRecord;
}

extern "C" __attribute__((visibility("default"))) int testModuleMarker()
{
    return 42;
}
