// A window's pixels for the tests that look at real X windows: read from the
// X server, and kept as PNG screenshots in the build's artifact folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Xlib's Display, without Xlib's macros in every test.
struct _XDisplay;

// The top-left width x height pixels of `window` as 0xRRGGBB, row by row;
// empty when the server cannot give them.
std::vector<uint32_t> grabWindowPixels(_XDisplay* display, unsigned long window, int width, int height);
// Writes pixels as grabWindowPixels gives them into a PNG file; false on failure.
bool savePixelsAsPng(const std::vector<uint32_t>& pixels, int width, int height, const std::string& path);
