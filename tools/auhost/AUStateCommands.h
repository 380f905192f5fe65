// auhost's state commands: "save" writes the unit's state (ClassInfo) as an
// .aupreset file, "presets" lists the factory presets.
#pragma once

struct AUCommandLine;

// Throws UsageError for bad arguments, AUError or FileError for a bad
// component or file; returns the exit status.
int saveState(const AUCommandLine& line);
int listFactoryPresets(const AUCommandLine& line);
