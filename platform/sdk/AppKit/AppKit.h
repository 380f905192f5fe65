#pragma once

#include <AppKit/NSView.h>
