// The scale of a user interface on X11, chosen the way desktop toolkits
// choose it: GDK_SCALE when set, else Xft.dpi from the X server's resources
// (what `xrdb` loads and desktop settings daemons write), 96 dpi being 1x.
// Editors draw at 1x, 1.5x or 2x only.
#pragma once

// [any thread] The scale for the X resource text `resources` (null or empty
// when the server has none) and the value of GDK_SCALE (null when unset):
// 1, 1.5 or 2.
double scaleFactorFromSettings(const char* resources, const char* gdkScale);

// The nearest of 1, 1.5 and 2 to a wanted scale; 1 for nonsense.
double snapScaleFactor(double wanted);
