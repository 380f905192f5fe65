// The six editor images, decoded once per process when the first editor
// opens and shared by every editor window of the process. An editor holds the
// set only while its window is open; the process keeps it from the first open
// until the last editor object goes, so reopening decodes nothing, and a
// process whose editors never open holds no image memory at all.
#pragma once

#include <cstdint>
#include <memory>

class CBitmap;

class EditorImages
{
public:
    // Resource numbers of the images.
    static constexpr int32_t kBackground = 128;
    static constexpr int32_t kSliderTrack = 129;
    static constexpr int32_t kSliderHandle = 130;
    static constexpr int32_t kButton = 131;
    static constexpr int32_t kFilterSwitch = 132;
    static constexpr int32_t kKnob = 133;

    // [UI thread] The shared set, decoded now if no editor of the process has
    // opened since the set was last freed.
    static std::shared_ptr<const EditorImages> acquire();
    // [any thread] Editor objects alive in the process: the set lives while
    // there is at least one (counted by ADEditor's constructor and destructor).
    static void addEditor();
    static void removeEditor();
    // [any thread] Whether the process holds a decoded set right now.
    static bool isDecoded();

    EditorImages();
    ~EditorImages();
    EditorImages(const EditorImages&) = delete;
    EditorImages& operator=(const EditorImages&) = delete;

    CBitmap* const background;
    CBitmap* const sliderTrack;
    CBitmap* const sliderHandle;
    CBitmap* const button;
    CBitmap* const knob;
    CBitmap* const filterSwitch;
};
