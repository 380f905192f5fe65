// Opens the built AudioUnit component through the published calls for the
// component fuzzers: a copy of the bundle in a temporary folder, registered
// and opened like a host does, with HOME and TWINFOLD_LOCAL_DOMAIN pointing
// at empty temporary folders.
#pragma once

#include <AudioUnit/AudioUnit.h>
#include <CoreFoundation/CoreFoundation.h>
#include <CoreServices/CoreServices.h>

#include <filesystem>

struct FuzzComponent
{
    std::filesystem::path root;
    std::filesystem::path bundle;
    Component component = nullptr;

    // Aborts when the bundle cannot be copied or registered.
    static FuzzComponent& instance();
    std::filesystem::path resources() const { return bundle / "Contents" / "Resources"; }
};
