// File Manager references and folder lookup.
#pragma once

#include <CoreServices/MacTypes.h>

DC_EXTERN_C_BEGIN

// 80 opaque bytes naming a file or folder that exists.
struct FSRef
{
    UInt8 hidden[80];
};
typedef struct FSRef FSRef;
typedef FSRef* FSRefPtr;

// A path (UTF-8, absolute or relative to the working folder) to a reference;
// fnfErr when nothing is there. isDirectory may be null.
DC_PLATFORM_EXPORT OSStatus FSPathMakeRef(const UInt8* path, FSRef* ref, Boolean* isDirectory); // [any thread]
// The reference's absolute path, NUL-terminated; pathTooLongErr when it does
// not fit maxPathSize bytes.
DC_PLATFORM_EXPORT OSStatus FSRefMakePath(const FSRef* ref, UInt8* path, UInt32 maxPathSize); // [any thread]

// Folder domains and types.
enum
{
    kOnSystemDisk = -32768,
    kOnAppropriateDisk = -32767,
    kSystemDomain = -32766,
    kLocalDomain = -32765,
    kNetworkDomain = -32764,
    kUserDomain = -32763,
    kClassicDomain = -32762
};

enum
{
    kCreateFolder = 1,
    kDontCreateFolder = 0
};

enum
{
    kAudioSupportFolderType = 0x6164696F, // 'adio'
    kAudioPresetsFolderType = 0x61707273, // 'aprs'
    kAudioPlugInsFolderType = 0x61706c67, // 'aplg'
    kComponentsFolderType = 0x636d7064 // 'cmpd'
};

// kAudioSupportFolderType only: kUserDomain is $HOME/Library/Audio,
// kLocalDomain Library/Audio under $TWINFOLD_LOCAL_DOMAIN (/ when unset).
// With createFolder false a missing folder is fnfErr.
DC_PLATFORM_EXPORT OSErr FSFindFolder(short vRefNum, OSType folderType, Boolean createFolder, FSRef* foundRef); // [any thread]

DC_EXTERN_C_END
