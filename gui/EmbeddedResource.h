// Files built into the module, looked up by name ("bmp00128.png").
#pragma once

#include <cstddef>

struct EmbeddedResource
{
    const char* name;
    const unsigned char* data;
    size_t size;
};

// [any thread] Null when no resource has that name.
const EmbeddedResource* findEmbeddedResource(const char* name);
