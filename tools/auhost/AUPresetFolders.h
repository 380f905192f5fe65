// The VST preset folders an AudioUnit component converts when it opens
// (Library/Audio/Presets/MANUFACTURER/PRODUCT of the user and the local
// domain), what its bundle says about converting, and auhost convert's run
// over those folders.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

struct AUCommandLine;

// What a component bundle's Info.plist says about converting.
struct ConversionSettings
{
    std::string name; // "Manufacturer: Product"
    bool autoConvert = false;
    bool presetIsFXB = false;
};

// Throws AUError or FileError when the bundle's Info.plist does not tell.
ConversionSettings readConversionSettings(const std::filesystem::path& bundle);
// "program" or "bank" for a file the component converts (by its extension,
// ignoring case, or its Finder type code AFxP or AFxB), else empty.
std::string presetFileKind(const std::filesystem::path& file);
// A name starting with a dot, or the Finder's invisible flag.
bool invisible(const std::filesystem::path& file);
// Presets/MANUFACTURER/PRODUCT under `audioFolder`, from the registered name.
std::filesystem::path presetSubfolder(const std::filesystem::path& audioFolder, const std::string& name);

// Opens the unit, which converts both domains' folders, and reports what
// it wrote and skipped in each and which folders it looked in.
int convertPresetFolders(const AUCommandLine& line, const ConversionSettings& settings);
