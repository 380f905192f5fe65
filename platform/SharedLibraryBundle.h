// Code bundles on Linux: a shared library loaded with dlopen.
//
// Accepted locations:
// - a bare shared library ("Effect.so");
// - a bundle folder with Contents/Info.plist naming the code
//   (CFBundleExecutable) inside Contents/x86_64-linux, Contents/Linux or
//   Contents/MacOS, and its resources in Contents/Resources;
// - a folder holding exactly one shared library ("Effect.vst/Effect.so").
#pragma once

#include "platform/CodeBundle.h"

#include <filesystem>
#include <optional>
#include <string>

class SharedLibraryBundle final : public CodeBundle
{
public:
    // A new bundle with a retain count of 1, or null when `location` is
    // none of the accepted forms. Nothing is loaded yet.
    static SharedLibraryBundle* create(const std::filesystem::path& location); // [UI thread]

    // The file of the loaded image that contains `address`, if any.
    static std::optional<std::filesystem::path> imagePathContaining(const void* address); // [any thread]

    std::filesystem::path getBundlePath() const override { return bundlePath; }
    std::filesystem::path getExecutablePath() const override { return executablePath; }
    std::filesystem::path getResourcesFolder() const override { return resourcesFolder; }
    std::filesystem::path getInfoDictionaryPath() const override { return infoDictionaryPath; }

    bool isExecutableLoaded() const override { return handle != nullptr; }
    bool loadExecutable() override;
    void unloadExecutable() override;
    void* getFunctionPointerForName(const char* name) const override;

    // The loader's text for the last failed load; empty otherwise.
    const std::string& getLoadError() const { return loadError; }

private:
    SharedLibraryBundle() = default;
    ~SharedLibraryBundle() override;

    std::filesystem::path bundlePath;
    std::filesystem::path executablePath;
    std::filesystem::path resourcesFolder;
    std::filesystem::path infoDictionaryPath;
    void* handle = nullptr;
    std::string loadError;
};
