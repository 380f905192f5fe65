// A reference-counted bundle of loadable code: the stand-in for a platform
// bundle object. The code (the "executable") can be loaded, searched for
// functions by name and unloaded; the last release destroys the bundle.
#pragma once

#include <cstdint>
#include <filesystem>

class CodeBundle
{
public:
    CodeBundle(const CodeBundle&) = delete;
    CodeBundle& operator=(const CodeBundle&) = delete;

    // Reference counting. A new bundle starts with a count of 1; the
    // release that drops the count to 0 destroys it (without unloading the
    // code: whoever releases last unloads first, as with platform bundles).
    void retain(); // [UI thread]
    void release(); // [UI thread]
    int32_t getRetainCount() const { return retainCount; }

    // The bundle folder (or the library itself for a bare library).
    virtual std::filesystem::path getBundlePath() const = 0;
    // The file holding the code.
    virtual std::filesystem::path getExecutablePath() const = 0;
    // Contents/Resources of a bundle folder; empty when there is none.
    virtual std::filesystem::path getResourcesFolder() const = 0;
    // Contents/Info.plist of a bundle folder; empty when there is none.
    virtual std::filesystem::path getInfoDictionaryPath() const = 0;

    virtual bool isExecutableLoaded() const = 0;
    // Loads the code; false when it cannot be loaded.
    virtual bool loadExecutable() = 0; // [UI thread]
    virtual void unloadExecutable() = 0; // [UI thread]
    // The address of an exported function, or null (also when not loaded).
    virtual void* getFunctionPointerForName(const char* name) const = 0;

protected:
    CodeBundle() = default;
    virtual ~CodeBundle() = default;

private:
    int32_t retainCount = 1;
};
