// Component Manager: component registration, lookup, instances and their
// parameter blocks, with the published names, layouts and values.
#pragma once

#include <CoreServices/Files.h>
#include <CoreServices/MacTypes.h>

DC_EXTERN_C_BEGIN

typedef SInt32 ComponentResult;

// A registered component and an open instance of it: opaque records owned by
// the library. An instance may stand for its component in GetComponentInfo.
typedef struct ComponentRecord* Component;
typedef struct ComponentInstanceRecord* ComponentInstance;

struct ComponentDescription
{
    OSType componentType; // 0 matches any type in a lookup
    OSType componentSubType;
    OSType componentManufacturer;
    UInt32 componentFlags;
    UInt32 componentFlagsMask;
};
typedef struct ComponentDescription ComponentDescription;

// The block a component entry receives: params[0] is the instance, then the
// call's arguments in their published order, one 8-byte slot each, stored as
// their own type at the slot's start. paramSize counts the argument bytes
// after the instance (8 per slot).
struct ComponentParameters
{
    UInt8 flags;
    UInt8 paramSize;
    SInt16 what;
    UInt32 padding;
    long params[1];
};
typedef struct ComponentParameters ComponentParameters;

typedef ComponentResult (*ComponentRoutineProcPtr)(ComponentParameters* cp, Handle componentStorage);
typedef ComponentRoutineProcPtr ComponentRoutineUPP;

enum
{
    kAnyComponentType = 0,
    kAnyComponentSubType = 0,
    kAnyComponentManufacturer = 0,
    kAnyComponentFlagsMask = 0
};

// Standard selectors.
enum
{
    kComponentOpenSelect = -1,
    kComponentCloseSelect = -2,
    kComponentCanDoSelect = -3,
    kComponentVersionSelect = -4,
    kComponentRegisterSelect = -5,
    kComponentTargetSelect = -6,
    kComponentUnregisterSelect = -7,
    kComponentGetMPWorkFunctionSelect = -8,
    kComponentExecuteWiredActionSelect = -9,
    kComponentGetPublicResourceSelect = -10
};

enum
{
    registerComponentGlobal = 1,
    registerComponentNoDuplicates = 2,
    registerComponentAfterExisting = 4
};

// Registers the components listed in a bundle's Info.plist (AudioComponents).
// A bundle already registered (same real path) is not added again.
DC_PLATFORM_EXPORT OSErr RegisterComponentFileRef(const FSRef* ref, SInt16 global); // [UI thread]
// The next component after aComponent (null: the first) that matches
// `looking` (zero fields match anything; flags compared under the mask).
// The first call also registers the bundles in
// $HOME/Library/Audio/Plug-Ins/Components/.
DC_PLATFORM_EXPORT Component FindNextComponent(Component aComponent, ComponentDescription* looking); // [UI thread]
DC_PLATFORM_EXPORT long CountComponents(ComponentDescription* looking); // [UI thread]
// Name as a Pascal string in `componentName`; any handle may be null.
DC_PLATFORM_EXPORT OSErr GetComponentInfo(Component aComponent, ComponentDescription* cd, Handle componentName,
                                          Handle componentInfo, Handle componentIcon); // [any thread]
DC_PLATFORM_EXPORT OSErr OpenAComponent(Component aComponent, ComponentInstance* ci); // [UI thread]
DC_PLATFORM_EXPORT OSErr CloseComponent(ComponentInstance aComponentInstance); // [UI thread]
DC_PLATFORM_EXPORT long GetComponentVersion(ComponentInstance aComponentInstance); // [UI thread]
DC_PLATFORM_EXPORT long ComponentFunctionImplemented(ComponentInstance ci, SInt16 ftnNumber); // [UI thread]
DC_PLATFORM_EXPORT Handle GetComponentInstanceStorage(ComponentInstance aComponentInstance); // [any thread]
DC_PLATFORM_EXPORT void SetComponentInstanceStorage(ComponentInstance aComponentInstance, Handle theStorage); // [UI thread]

DC_EXTERN_C_END
