#include "tools/auhost/AUStateCommands.h"

#include "tools/auhost/AUCommandLine.h"
#include "tools/auhost/AUState.h"
#include "tools/kit/ToolMain.h"

#include <cstdio>

int saveState(const AUCommandLine& line)
{
    AUSession session(line.bundle);
    prepareUnit(session, line);
    if (!line.programName.empty())
        nameCurrentPreset(session, line.programName);
    const std::vector<uint8_t> bytes = stateDocumentBytes(session);
    writeFileSafely(line.output, bytes);
    if (!line.quiet)
        std::printf("wrote  %s (%zu bytes)\n", line.output.c_str(), bytes.size());
    return ExitStatus::success;
}

int listFactoryPresets(const AUCommandLine& line)
{
    AUSession session(line.bundle);
    CFArrayRef list = nullptr;
    UInt32 size = sizeof(list);
    const OSStatus status =
        AudioUnitGetProperty(session.unit(), kAudioUnitProperty_FactoryPresets, kAudioUnitScope_Global, 0, &list, &size);
    if (status == kAudioUnitErr_InvalidProperty)
    {
        std::printf("no factory presets\n");
        return ExitStatus::success;
    }
    check(status, "reading the factory presets");
    const CFIndex count = CFArrayGetCount(list);
    std::printf("%ld factory preset%s:\n", static_cast<long>(count), count == 1 ? "" : "s");
    for (CFIndex i = 0; i < count; ++i)
    {
        const auto* preset = static_cast<const AUPreset*>(CFArrayGetValueAtIndex(list, i));
        std::printf("  %3d  %s\n", static_cast<int>(preset->presetNumber), utf8Of(preset->presetName).c_str());
    }
    CFRelease(list);
    return ExitStatus::success;
}
