#include "editor/EditorImages.h"

#include "gui/CBitmap.h"

#include <mutex>

namespace
{
struct ProcessImages
{
    std::mutex mutex;
    int32_t editors = 0;
    std::shared_ptr<const EditorImages> images;
};

ProcessImages& processImages()
{
    static ProcessImages shared;
    return shared;
}
}

// The order in which the images have always been loaded.
EditorImages::EditorImages()
    : background(new CBitmap(kBackground)), sliderTrack(new CBitmap(kSliderTrack)),
      sliderHandle(new CBitmap(kSliderHandle)), button(new CBitmap(kButton)), knob(new CBitmap(kKnob)),
      filterSwitch(new CBitmap(kFilterSwitch))
{
}

EditorImages::~EditorImages()
{
    for (CBitmap* image : {background, sliderTrack, sliderHandle, button, knob, filterSwitch})
        image->forget();
}

std::shared_ptr<const EditorImages> EditorImages::acquire()
{
    ProcessImages& p = processImages();
    std::lock_guard<std::mutex> lock(p.mutex);
    if (!p.images)
        p.images = std::make_shared<const EditorImages>();
    return p.images;
}

void EditorImages::addEditor()
{
    ProcessImages& p = processImages();
    std::lock_guard<std::mutex> lock(p.mutex);
    ++p.editors;
}

void EditorImages::removeEditor()
{
    std::shared_ptr<const EditorImages> last;
    {
        ProcessImages& p = processImages();
        std::lock_guard<std::mutex> lock(p.mutex);
        if (--p.editors <= 0)
        {
            p.editors = 0;
            last = std::move(p.images); // freed outside the lock
        }
    }
}

bool EditorImages::isDecoded()
{
    ProcessImages& p = processImages();
    std::lock_guard<std::mutex> lock(p.mutex);
    return p.images != nullptr;
}
