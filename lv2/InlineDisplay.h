// Ardour's inline display extension: the plug-in draws a small image that the
// host shows in its mixer strip. The records as Ardour publishes them.
#pragma once

#include <lv2/core/lv2.h>

#include <cstdint>

#define LV2_INLINEDISPLAY_URI "http://harrisonconsoles.com/lv2/inlinedisplay"
#define LV2_INLINEDISPLAY__interface LV2_INLINEDISPLAY_URI "#interface"
#define LV2_INLINEDISPLAY__queue_draw LV2_INLINEDISPLAY_URI "#queue_draw"

extern "C" {

typedef void* LV2_Inline_Display_Handle;

// An ARGB32 image (premultiplied alpha, native byte order per pixel); stride in bytes.
typedef struct
{
    unsigned char* data;
    int width;
    int height;
    int stride;
} LV2_Inline_Display_Image_Surface;

// The host's feature: queue_draw asks for a render soon. [audio thread]
typedef struct
{
    LV2_Inline_Display_Handle handle;
    void (*queue_draw)(LV2_Inline_Display_Handle handle);
} LV2_Inline_Display;

// The plug-in's extension data. render returns an image at most max_height
// tall, valid until the next render or the instance's cleanup. [UI thread]
typedef struct
{
    LV2_Inline_Display_Image_Surface* (*render)(LV2_Handle instance, uint32_t width, uint32_t max_height);
} LV2_Inline_Display_Interface;

}
