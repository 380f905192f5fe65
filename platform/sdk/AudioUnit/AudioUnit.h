// The AudioUnit subset: component types, selectors, result codes, host
// calls, properties, parameters and music device calls.
#pragma once

#include <AudioUnit/AUComponent.h>
#include <AudioUnit/AudioUnitProperties.h>
#include <AudioUnit/MusicDevice.h>
