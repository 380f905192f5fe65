// The curve area of the editor: 128 columns, one per curve point, each drawn
// as a short dash at the row of its value (0 at the top). The points the
// effect uses right now are highlighted, blue for left and green for right.
// Mouse input only records the pointer and button state and tells the
// listener, which writes the curve (see ADEditor).
#pragma once

#include "gui/CColor.h"
#include "gui/CControl.h"

#include <array>
#include <atomic>
#include <cstdint>

class MyCKickShaper : public CControl
{
public:
    static constexpr int32_t kNumPoints = 128;

    // [UI thread] Starts with the diagonal, point i = 128 - i.
    MyCKickShaper(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background = nullptr);

    bool isTypeOf(const char* s) const override;
    CBaseObject* newCopy() const override;

    // [UI thread] No background: the frame repaints the window image under it.
    // Draws the columns that meet the context's clip.
    void draw(CDrawContext* context) override;
    // [UI thread] Only the columns whose point or colour changed since they
    // were last reported, or the whole area while it is dirty.
    void collectInvalid(CInvalidRegion& region) override;
    // Dirty as a whole, or some column changed.
    bool isDirty() const override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;

    // [any thread] Point values; indices outside 0..127 are ignored (read 0).
    virtual void setfexi(int32_t index, int32_t value);
    virtual int32_t getfexi(int32_t index) const;

    // The button state of the last move, without the double-click flag.
    int32_t getRecordedButtonState() const { return recordedState; }
    // The pointer position of the last move accepted inside the area.
    const CPoint& getLastPosition() const { return lastPosition; }
    // False until a move has been accepted inside the area.
    bool hasAcceptedPosition() const { return positionAccepted; }

    // [UI thread] The columns concerned redraw at the next idle.
    void setHighlight(int32_t left, int32_t right)
    {
        leftHighlight = left;
        rightHighlight = right;
    }
    int32_t getLeftHighlight() const { return leftHighlight; }
    int32_t getRightHighlight() const { return rightHighlight; }

    // The colour of a column's dash.
    CColor colourOf(int32_t index) const;
    static constexpr CColor kCurveColor{233, 0, 0, 255};

private:
    int32_t recordedState = 0;
    CPoint lastPosition{0, 0};
    bool positionAccepted = false;
    int32_t leftHighlight = 0;
    int32_t rightHighlight = 0;
    std::array<std::atomic<int32_t>, kNumPoints> points;
    // What each column showed when it was last reported for drawing.
    struct Drawn
    {
        int32_t value;
        CColor colour;
    };
    std::array<Drawn, kNumPoints> drawn;
    CRect columnRect(int32_t index) const;
};
