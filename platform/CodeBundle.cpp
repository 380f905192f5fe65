#include "platform/CodeBundle.h"

void CodeBundle::retain()
{
    ++retainCount;
}

void CodeBundle::release()
{
    if (--retainCount == 0)
        delete this;
}
