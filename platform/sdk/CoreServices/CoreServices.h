// The CoreServices subset: basic types, result codes, handles, file
// references, folders and the Component Manager.
#pragma once

#include <CoreServices/Components.h>
#include <CoreServices/Files.h>
#include <CoreServices/MacErrors.h>
#include <CoreServices/MacMemory.h>
#include <CoreServices/MacTypes.h>
