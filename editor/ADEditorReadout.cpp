// ADEditor's readout: while the pointer is over a control, or a control is
// being dragged, the line beside the shaper button shows that parameter's
// name and the effect's own display text with its unit; over the curve, and
// while drawing it, the point under the pointer and its value.
#include "editor/ADEditor.h"

#include "editor/MyCKickShaper.h"
#include "engine/Vivuzudid.h"
#include "gui/CFrame.h"
#include "gui/CTextLabel.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace
{
// The text without the blanks it is padded with.
const char* trimmed(char* text)
{
    char* end = text + std::strlen(text);
    while (end > text && end[-1] == ' ')
        *--end = '\0';
    while (*text == ' ')
        ++text;
    return text;
}
}

void ADEditor::onMouseEntered(CView* view, CFrame* f)
{
    const auto* control = view && view->isTypeOf("CControl") ? static_cast<const CControl*>(view) : nullptr;
    hoverTag = control ? control->getTag() : -1;
    pointerColumn = columnAt(f->getLastMousePosition());
    updateReadout();
}

void ADEditor::onMouseExited(CView* /*view*/, CFrame* /*frame*/)
{
    hoverTag = -1;
    pointerColumn = -1;
    updateReadout();
}

void ADEditor::onMouseMoved(CFrame* /*frame*/, const CPoint& where, const CButtonState& /*buttons*/)
{
    const int32_t column = columnAt(where);
    if (column == pointerColumn && gestureTag != kCurveTag)
        return;
    pointerColumn = column;
    updateReadout();
}

int32_t ADEditor::columnAt(const CPoint& where) const
{
    if (!curve || hoverTag != kCurveTag)
        return -1;
    const CRect& area = curve->getViewSize();
    if (where.x < area.left || where.x >= area.right)
        return -1;
    return static_cast<int32_t>(where.x - area.left);
}

const char* ADEditor::getReadoutText() const
{
    return readout ? readout->getText() : "";
}

void ADEditor::parameterText(VstInt32 index, char* text, size_t size)
{
    char name[64] = {}, display[64] = {}, label[64] = {};
    effect->getParameterName(index, name);
    effect->getParameterDisplay(index, display);
    effect->getParameterLabel(index, label);
    const char* unit = trimmed(label);
    // The cutoffs' display text is in Hz, which the effect does not label.
    if (!*unit && (index == kPreCutoff || index == kPostCutoff))
        unit = "Hz";
    std::snprintf(text, size, "%s  %s%s%s", trimmed(name), trimmed(display), *unit ? " " : "", unit);
}

void ADEditor::updateReadout()
{
    if (!readout)
        return;
    char text[CTextLabel::kMaxLength + 1] = {};
    const int32_t tag = gestureTag >= 0 ? gestureTag : hoverTag;
    shownTag = tag;
    shownColumn = -1;
    if (tag >= 0 && tag < kNumParameters)
    {
        shownValue = effect->getParameter(tag);
        parameterText(tag, text, sizeof text);
    }
    else if (tag == kCurveTag && curve)
    {
        // While drawing, the column last written; else the one under the pointer.
        const CRect& area = curve->getViewSize();
        int32_t column = pointerColumn;
        if (gestureTag == kCurveTag && curve->hasAcceptedPosition())
            column = std::clamp(static_cast<int32_t>(curve->getLastPosition().x - area.left), 0,
                                MyCKickShaper::kNumPoints - 1);
        if (column >= 0)
        {
            shownColumn = column;
            shownPoint = curve->getfexi(column);
            // A point's value v gives the shaper's output (128 - v) / 128.
            std::snprintf(text, sizeof text, "Point %d = %d  (out %.3f)", column, shownPoint,
                          (128 - shownPoint) / 128.0);
        }
    }
    readout->setText(text);
}
