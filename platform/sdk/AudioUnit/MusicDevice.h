// Music device calls and properties.
#pragma once

#include <AudioUnit/AUComponent.h>

DC_EXTERN_C_BEGIN

typedef AudioComponentInstance MusicDeviceComponent;

enum
{
    kMusicDeviceRange = 0x0100,
    kMusicDeviceMIDIEventSelect = 0x0101,
    kMusicDeviceSysExSelect = 0x0102,
    kMusicDevicePrepareInstrumentSelect = 0x0103,
    kMusicDeviceReleaseInstrumentSelect = 0x0104,
    kMusicDeviceStartNoteSelect = 0x0105,
    kMusicDeviceStopNoteSelect = 0x0106
};

enum
{
    kMusicDeviceProperty_InstrumentCount = 1000,
    kMusicDeviceProperty_InstrumentName = 1001,
    kMusicDeviceProperty_GroupOutputBus = 1002,
    kMusicDeviceProperty_SoundBankFSSpec = 1003,
    kMusicDeviceProperty_InstrumentNumber = 1004,
    kMusicDeviceProperty_UsesInternalReverb = 1005,
    kMusicDeviceProperty_MIDIXMLNames = 1006,
    kMusicDeviceProperty_BankName = 1007,
    kMusicDeviceProperty_SoundBankData = 1008,
    kMusicDeviceProperty_PartGroup = 1010,
    kMusicDeviceProperty_StreamFromDisk = 1011,
    kMusicDeviceProperty_SoundBankFSRef = 1012
};

DC_PLATFORM_EXPORT OSStatus MusicDeviceMIDIEvent(MusicDeviceComponent inUnit, UInt32 inStatus, UInt32 inData1,
                                                 UInt32 inData2, UInt32 inOffsetSampleFrame); // [audio thread]

DC_EXTERN_C_END
