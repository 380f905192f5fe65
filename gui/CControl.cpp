#include "gui/CControl.h"

#include "gui/CBitmap.h"
#include "gui/CControlListener.h"
#include "gui/CFrame.h"

#include <cmath>
#include <cstring>

CControl::CControl(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background)
    : CView(size), listener(listener), tag(tag), background(background)
{
    if (background)
        background->remember();
}

CControl::~CControl()
{
    if (background)
        background->forget();
}

void CControl::setValue(float val)
{
    if (std::isnan(val) || val < vmin)
        val = vmin;
    else if (val > vmax)
        val = vmax;
    value.store(val, std::memory_order_relaxed);
}

void CControl::valueChanged()
{
    if (listener)
        listener->valueChanged(this);
}

void CControl::beginEdit()
{
    ++editDepth;
    if (frame)
        frame->beginEdit(tag);
}

void CControl::endEdit()
{
    if (editDepth > 0)
        --editDepth;
    if (frame)
        frame->endEdit(tag);
}

bool CControl::checkDefaultValue(const CButtonState& button)
{
    if ((button() & ~kDoubleClick) != (kLButton | kDefaultValueModifier))
        return false;
    setValue(defaultValue);
    if (isDirty())
        valueChanged();
    return true;
}

void CControl::setDirty(bool val)
{
    CView::setDirty(val);
    if (!val)
        drawnValue = getValue();
}

bool CControl::isDirty() const
{
    return CView::isDirty() || getValue() != drawnValue;
}

bool CControl::isTypeOf(const char* s) const
{
    return (s && std::strcmp(s, "CControl") == 0) || CView::isTypeOf(s);
}

void CControl::changeValue(float v)
{
    const float old = getValue();
    setValue(v);
    if (getValue() != old)
        valueChanged();
}

void CControl::endDrag()
{
    if (dragging)
    {
        dragging = false;
        endEdit();
    }
}

bool CControl::wheelGesture(float distance, const CButtonState& buttons)
{
    if (distance == 0.0f)
        return false;
    const float step = (buttons() & kShift) ? 0.01f : 0.1f;
    beginEdit();
    changeValue(getValue() + distance * step * (vmax - vmin));
    endEdit();
    return true;
}

bool CControl::startGesture(const CButtonState& buttons)
{
    beginEdit();
    if (!checkDefaultValue(buttons))
        return false;
    endEdit();
    return true;
}
