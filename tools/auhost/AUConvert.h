// auhost convert: VST presets (.fxp, .fxb) into .aupreset files through the
// unit's own conversion, for the files and folders given or, without them,
// for the unit's own preset folders.
#pragma once

struct AUCommandLine;

// Throws AUError or FileError for a bundle that does not convert; returns
// the exit status (1 when a given preset could not be converted).
int convertPresets(const AUCommandLine& line);
