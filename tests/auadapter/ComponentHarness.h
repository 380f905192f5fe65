// Opens the built AudioUnit component the way a host does: a fresh copy of
// the bundle in a temporary folder (the first open writes into its
// Resources), registered with RegisterComponentFileRef and opened through
// the published calls. HOME and TWINFOLD_LOCAL_DOMAIN point at temporary
// folders of the harness.
#pragma once

#include <AudioToolbox/AudioToolbox.h>
#include <AudioUnit/AudioUnit.h>
#include <CoreFoundation/CoreFoundation.h>
#include <CoreServices/CoreServices.h>

#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

struct BundleOptions
{
    bool testEffect = false; // wrap the extension test effect instead of Dithercrunch
    bool presetIsFXB = false;
    bool autoConvert = true;
    // Keep the mapping and factory presets the build wrote into the bundle
    // (by default they are removed, so that the first open writes them).
    bool builtResources = false;
};

class ComponentHarness
{
public:
    explicit ComponentHarness(const BundleOptions& options = {});
    ~ComponentHarness();
    ComponentHarness(const ComponentHarness&) = delete;
    ComponentHarness& operator=(const ComponentHarness&) = delete;

    // Registers the bundle (once) and opens an instance; closed by the
    // destructor unless closed before.
    OSStatus open(AudioUnit& unit);
    AudioUnit open(); // fails the test when Open fails
    void close(AudioUnit unit);

    const std::filesystem::path& bundle() const { return bundlePath; }
    std::filesystem::path resources() const { return bundlePath / "Contents" / "Resources"; }
    const std::filesystem::path& home() const { return homePath; }
    const std::filesystem::path& local() const { return localPath; }
    // $HOME/Library/Audio/Presets/Tarnby Audio/DitherCrunch (and the local one).
    std::filesystem::path userPresets() const;
    std::filesystem::path localPresets() const;

    static std::filesystem::path builtBundle();
    static std::filesystem::path auhost();

private:
    std::filesystem::path root, bundlePath, homePath, localPath;
    Component component = nullptr;
    std::vector<AudioUnit> open_;
};

// Property-list helpers for documents.
CFDictionaryRef classInfo(AudioUnit unit); // Create rule
OSStatus setClassInfo(AudioUnit unit, CFPropertyListRef document);
CFMutableDictionaryRef mutableCopy(CFDictionaryRef document, const std::vector<const char*>& without = {});
std::vector<uint8_t> dataBytes(CFDictionaryRef document, const char* key);
int32_t numberValue(CFDictionaryRef document, const char* key);
std::string stringValue(CFTypeRef value);
CFPropertyListRef readPropertyListFile(const std::filesystem::path& file); // Create rule, null on failure
std::vector<uint8_t> readBytes(const std::filesystem::path& file);
void writeBytes(const std::filesystem::path& file, const std::vector<uint8_t>& bytes);

// Every file under `folder` with its bytes.
std::map<std::filesystem::path, std::vector<uint8_t>> snapshot(const std::filesystem::path& folder);

// Runs a command line; returns its exit code, stdout and stderr in `output`.
int run(const std::string& command, std::string& output);
