#include "gui/CBaseObject.h"

#include <cstring>

bool CBaseObject::isTypeOf(const char* s) const
{
    return s && std::strcmp(s, "CBaseObject") == 0;
}
