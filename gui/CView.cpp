#include "gui/CView.h"

#include <cstring>

bool CView::isTypeOf(const char* s) const
{
    return (s && std::strcmp(s, "CView") == 0) || CBaseObject::isTypeOf(s);
}
