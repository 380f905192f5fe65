// A component bundle installed where nobody may write opens, offers its
// parameters and factory presets and renders, and its folder stays as it
// was: with the files the build put into it, and without them.
#include "ComponentHarness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

constexpr UInt32 kFrames = 512;
constexpr uid_t kNobody = 65534;
constexpr int kCannotDropPrivileges = 90;

// Every item of the bundle readable by all and writable by none; the
// folders above it open to all.
void makeReadOnly(const fs::path& bundle, const fs::path& root)
{
    using fs::perms;
    for (fs::path folder = bundle.parent_path(); folder != root.parent_path(); folder = folder.parent_path())
        fs::permissions(folder, perms::others_read | perms::others_exec | perms::group_read | perms::group_exec,
                        fs::perm_options::add);
    const perms folderMode = perms::owner_read | perms::owner_exec | perms::group_read | perms::group_exec |
                             perms::others_read | perms::others_exec;
    for (const fs::directory_entry& item : fs::recursive_directory_iterator(bundle))
    {
        const bool executable = (item.status().permissions() & perms::owner_exec) != perms::none;
        fs::permissions(item.path(), executable ? folderMode
                                                : perms::owner_read | perms::group_read | perms::others_read);
    }
    fs::permissions(bundle, folderMode);
}

// Runs `check` in a child process that cannot write into the bundle (as an
// unprivileged user when the tests run as root, who writes anywhere) and
// returns its exit status.
int runWithoutWriteAccess(const std::function<int()>& check)
{
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0)
    {
        if (geteuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0))
            _exit(kCannotDropPrivileges);
        _exit(check());
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

OSStatus feedSine(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp* stamp, UInt32, UInt32 frames, AudioBufferList* list)
{
    for (UInt32 c = 0; c < list->mNumberBuffers; ++c)
        for (UInt32 i = 0; i < frames; ++i)
            static_cast<float*>(list->mBuffers[c].mData)[i] =
                0.5f * static_cast<float>(std::sin(0.05 * (stamp->mSampleTime + i)));
    return noErr;
}

// What a host sees of the unit, each shortfall its own exit code.
int openAndRender(ComponentHarness& harness)
{
    AudioUnit unit = nullptr;
    if (harness.open(unit) != noErr)
        return 1;
    AudioUnitParameterInfo info{};
    UInt32 size = sizeof(info);
    if (AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, 2, &info, &size) != noErr ||
        std::string(info.name) != "PostGain")
        return 2;
    CFArrayRef presets = nullptr;
    size = sizeof(presets);
    if (AudioUnitGetProperty(unit, kAudioUnitProperty_FactoryPresets, kAudioUnitScope_Global, 0, &presets, &size) != noErr)
        return 3;
    const CFIndex presetCount = CFArrayGetCount(presets);
    CFRelease(presets);
    AUPreset first{0, nullptr};
    if (presetCount != 1 ||
        AudioUnitSetProperty(unit, kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, &first, sizeof(first)) != noErr)
        return 4;
    AURenderCallbackStruct input{&feedSine, nullptr};
    if (AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &input, sizeof(input)) != noErr ||
        AudioUnitInitialize(unit) != noErr)
        return 5;
    std::vector<float> left(kFrames), right(kFrames);
    struct
    {
        UInt32 count = 2;
        AudioBuffer buffers[2];
    } list{2, {{1, kFrames * 4, left.data()}, {1, kFrames * 4, right.data()}}};
    AudioTimeStamp stamp{};
    stamp.mFlags = kAudioTimeStampSampleTimeValid;
    AudioUnitRenderActionFlags flags = 0;
    if (AudioUnitRender(unit, &flags, &stamp, 0, kFrames, reinterpret_cast<AudioBufferList*>(&list)) != noErr)
        return 6;
    float peak = 0.0f;
    for (float v : left)
        peak = std::isfinite(v) ? std::max(peak, std::fabs(v)) : 1e30f;
    return peak > 0.01f && peak < 4.0f ? 0 : 7;
}

class ReadOnlyBundle : public ::testing::TestWithParam<bool>
{
};

TEST_P(ReadOnlyBundle, OpensAndRendersAndStaysAsItWas)
{
    const bool builtResources = GetParam();
    ComponentHarness harness({.autoConvert = false, .builtResources = builtResources});
    const auto before = snapshot(harness.bundle());
    EXPECT_EQ(before.count(harness.resources() / "TWParameters.txt"), builtResources ? 1u : 0u);
    makeReadOnly(harness.bundle(), harness.bundle().parent_path().parent_path());

    const int status = runWithoutWriteAccess([&] { return openAndRender(harness); });
    for (const fs::directory_entry& item : fs::recursive_directory_iterator(harness.bundle()))
        fs::permissions(item.path(), fs::perms::owner_write, fs::perm_options::add);
    fs::permissions(harness.bundle(), fs::perms::owner_write, fs::perm_options::add);
    if (status == kCannotDropPrivileges)
        GTEST_SKIP() << "running as root without the right to become another user: every folder is writable";
    EXPECT_EQ(status, 0);
    EXPECT_EQ(snapshot(harness.bundle()), before) << "nothing written into the bundle";
}

INSTANTIATE_TEST_SUITE_P(Bundle, ReadOnlyBundle, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "WithTheFilesTheBuildWrote" : "WithoutThem";
                         });

} // namespace
