// The component's exported entry, called by the Component Manager for every
// selector with the instance storage (the TwinfoldComponent, or null before
// Open).
#pragma once

#include <CoreServices/CoreServices.h>

extern "C" __attribute__((visibility("default"))) ComponentResult TwinfoldEntry(ComponentParameters* parameters,
                                                                              Handle storage); // [any thread]
