// A view with a value in [min, max], a default value, a tag and a listener.
#pragma once

#include "gui/CView.h"

#include <atomic>
#include <cstdint>

class CBitmap;
class CControlListener;

class CControl : public CView
{
public:
    // [UI thread] Takes a reference to `background` when given.
    CControl(const CRect& size, CControlListener* listener = nullptr, int32_t tag = 0, CBitmap* background = nullptr);
    ~CControl() override;

    // [any thread] Stores the value limited to [min, max]; NaN becomes min.
    // Listeners are not told; the control redraws at the next idle.
    virtual void setValue(float val);
    virtual float getValue() const { return value.load(std::memory_order_relaxed); }
    void setDefaultValue(float val) { defaultValue = val; }
    float getDefaultValue() const { return defaultValue; }
    void setMin(float val) { vmin = val; }
    float getMin() const { return vmin; }
    void setMax(float val) { vmax = val; }
    float getMax() const { return vmax; }

    void setTag(int32_t val) { tag = val; }
    int32_t getTag() const { return tag; }
    void setListener(CControlListener* l) { listener = l; }
    CControlListener* getListener() const { return listener; }
    CBitmap* getBackground() const { return background; }

    // [UI thread] Tells the listener that the user changed the value.
    virtual void valueChanged();

    // [UI thread] Bracket one user gesture; the frame passes them to the
    // editor binding with this control's tag.
    virtual void beginEdit();
    virtual void endEdit();
    bool isEditing() const { return editDepth > 0; }

    // [UI thread] With exactly the left button and the default-value modifier,
    // sets the default value (telling the listener when the control counts as
    // dirty then) and returns true; otherwise returns false.
    virtual bool checkDefaultValue(const CButtonState& button);

    // Dirty also while the value differs from the one last drawn. Marking the
    // control clean records the current value as drawn: draw code does that
    // before it reads the value.
    void setDirty(bool val = true) override;
    bool isDirty() const override;

    bool isTypeOf(const char* s) const override;

protected:
    // [UI thread] Gesture helpers of the dragged controls.
    // Opens the edit bracket of a press; answers true when the press was the
    // default-value gesture, which is then complete and closed.
    bool startGesture(const CButtonState& buttons);
    // Sets v and tells the listener when the stored value changed.
    void changeValue(float v);
    // Ends a drag begun by a press, closing its edit bracket.
    void endDrag();
    // One wheel movement as a whole gesture: a tenth of the range per notch,
    // a hundredth with Shift.
    bool wheelGesture(float distance, const CButtonState& buttons);

    // How much finer a drag moves with Shift held.
    static constexpr double kFineFactor = 0.1;

    bool dragging = false;
    CControlListener* listener;
    int32_t tag;
    std::atomic<float> value{0.0f};
    float drawnValue = 0.0f;
    float defaultValue = 0.5f;
    float vmin = 0.0f;
    float vmax = 1.0f;
    CBitmap* background;
    int32_t editDepth = 0;
};
