#include "editor/ADEditor.h"

#include "editor/CMuteableHorizontalSwitch.h"
#include "editor/EditorImages.h"
#include "editor/MyCKickShaper.h"
#include "engine/Vivuzudid.h"
#include "frame/AudioEffect.h"
#include "gui/CAnimKnob.h"
#include "gui/CBitmap.h"
#include "gui/CFrame.h"
#include "gui/CHorizontalSlider.h"
#include "gui/COnOffButton.h"
#include "gui/CTextLabel.h"
#include "gui/CVSTGUITimer.h"

#include <algorithm>
#include <cmath>
#include <thread>

namespace
{
// Whole curve values from the effect's float; NaN and values far outside
// int32 (possible from a stored chunk) must not reach an integer conversion.
int32_t toCurveValue(float v)
{
    if (std::isnan(v))
        return 0;
    const double d = std::clamp(static_cast<double>(v), -2147483648.0, 2147483647.0);
    return static_cast<int32_t>(d);
}

class UserCount
{
public:
    explicit UserCount(std::atomic<int32_t>& count) : count(count) { count.fetch_add(1); }
    ~UserCount() { count.fetch_sub(1); }
    UserCount(const UserCount&) = delete;
    UserCount& operator=(const UserCount&) = delete;

private:
    std::atomic<int32_t>& count;
};
}

ADEditor::ADEditor(AudioEffect* effect) : AEffGUIEditor(effect)
{
    openFlag.store(false);
    // The images are decoded when a window first opens; the window's size
    // comes from the background image's header.
    EditorImages::addEditor();
    const CPoint size = CBitmap::imageSize(EditorImages::kBackground);
    rect.top = 0;
    rect.left = 0;
    rect.right = static_cast<VstInt16>(size.x);
    rect.bottom = static_cast<VstInt16>(size.y);
    timer = new CVSTGUITimer(this, kCreatedInterval);
    timer->start();
}

ADEditor::~ADEditor()
{
    if (frame)
        close();
    timer->stop();
    timer->forget();
    EditorImages::removeEditor();
}

void ADEditor::updateScale()
{
    if (scale > 0.0)
        return;
    scale = CFrame::queryScale();
    const CPoint size = CBitmap::imageSize(EditorImages::kBackground);
    rect.right = static_cast<VstInt16>(std::ceil(size.x * scale));
    rect.bottom = static_cast<VstInt16>(std::ceil(size.y * scale));
}

bool ADEditor::getRect(ERect** ppRect)
{
    if (!frame)
        updateScale();
    return AEffGUIEditor::getRect(ppRect);
}

bool ADEditor::open(void* ptr)
{
    if (frame)
        close(); // a second open without close starts over
    AEffGUIEditor::open(ptr);
    updateScale(); // as the host was told, if it asked for the rectangle
    images = EditorImages::acquire();
    CBitmap* const backgroundImage = images->background;
    CBitmap* const trackImage = images->sliderTrack;
    CBitmap* const handleImage = images->sliderHandle;
    CBitmap* const buttonImage = images->button;
    CBitmap* const knobImage = images->knob;
    CBitmap* const switchImage = images->filterSwitch;
    const double width = backgroundImage->getWidth();
    const double height = backgroundImage->getHeight();
    frame = new CFrame(CRect(0, 0, width, height), ptr, this, scale);
    if (!frame->isValid())
    {
        frame->forget();
        frame = nullptr;
        images.reset();
        scale = 0.0;
        AEffEditor::close();
        return false;
    }
    frame->setBackground(backgroundImage);

    const CPoint zero(0, 0);
    const double trackW = trackImage->getWidth();
    const double trackH = trackImage->getHeight();
    auto makeSlider = [&](VstInt32 index, double left, double top, float defaultValue) {
        auto* slider = new CHorizontalSlider(CRect(left, top, left + trackW, top + trackH), this, index, zero,
                                             static_cast<int32_t>(trackW), handleImage, trackImage, zero, kLeft);
        slider->setValue(effect->getParameter(index));
        slider->setDefaultValue(defaultValue);
        slider->setFreeClick(true);
        frame->addView(slider);
        return slider;
    };
    const double knobW = knobImage->getWidth();
    const double knobH = knobImage->getHeight() / 120;
    auto makeKnob = [&](VstInt32 index, double left, double top) {
        auto* knob = new CAnimKnob(CRect(left, top, left + knobW, top + knobH), this, index, 120, knobH, knobImage, zero);
        knob->setValue(effect->getParameter(index));
        knob->setDefaultValue(0.5f);
        frame->addView(knob);
        return knob;
    };
    const double switchW = switchImage->getWidth();
    const double switchH = switchImage->getHeight() / 4;
    auto makeSwitch = [&](VstInt32 index, double left, double top) {
        auto* sw = new CMuteableHorizontalSwitch(CRect(left, top, left + switchW, top + switchH), this, index,
                                                 switchImage, zero);
        sw->setValue(effect->getParameter(index));
        sw->setDefaultValue(0.0f);
        frame->addView(sw);
        return sw;
    };

    preGainSlider = makeSlider(0, 25, 18, 0.5f);
    prePanSlider = makeSlider(1, 25, 48, 0.5f);
    postGainSlider = makeSlider(2, 25, 78, 0.5f);
    wetDrySlider = makeSlider(4, 25, 280, 1.0f);
    preCutKnob = makeKnob(6, 16, 173);
    postCutKnob = makeKnob(8, 230, 173);
    preTypeSwitch = makeSwitch(5, 6, 153);
    postTypeSwitch = makeSwitch(7, 222, 153);
    const double buttonW = buttonImage->getWidth();
    const double buttonH = buttonImage->getHeight() / 2;
    shaperButton = new COnOffButton(CRect(88, 242, 88 + buttonW, 242 + buttonH), this, 3, buttonImage, 0);
    shaperButton->setValue(effect->getParameter(3));
    shaperButton->setDefaultValue(1.0f);
    frame->addView(shaperButton);

    curve = new MyCKickShaper(CRect(70, 103, 198, 231), this, kCurveTag);
    frame->addView(curve);
    loadCurve();

    readout = new CTextLabel(CRect(kReadoutLeft, kReadoutTop, kReadoutRight, kReadoutBottom));
    readout->setFontSize(8.0);
    readout->setTextColor(kReadoutText);
    readout->setBackColor(kReadoutPlate);
    frame->addView(readout);
    hoverTag = gestureTag = pointerColumn = shownTag = shownColumn = -1;
    frame->setMouseObserver(this);

    openFlag.store(true);
    highlightDue = true;
    timer->setFireTime(kOpenInterval);
    frame->redrawAll(); // the first picture, without waiting for idle
    return true;
}

void ADEditor::close()
{
    timer->setFireTime(kClosedInterval);
    openFlag.store(false);
    // A parameter change on another thread may be storing into a control.
    while (parameterUsers.load() != 0)
        std::this_thread::yield();
    AEffGUIEditor::close();
    images.reset(); // the frame and its controls have let go of them
    scale = 0.0;    // asked again for the next window
    preGainSlider = prePanSlider = postGainSlider = wetDrySlider = nullptr;
    shaperButton = nullptr;
    preCutKnob = postCutKnob = nullptr;
    preTypeSwitch = postTypeSwitch = nullptr;
    curve = nullptr;
    readout = nullptr;
}

void ADEditor::idle()
{
    if (!frame || !openFlag.load())
        return;
    // The highlight follows the editor's timer (25 times a second), however
    // often the host idles; it comes first so that a move shows in this same
    // redraw, which draws only the columns concerned.
    if (curve && highlightDue)
    {
        highlightDue = false;
        VstInt32 left = 0;
        VstInt32 right = 0;
        if (auto* engine = dynamic_cast<Vivuzudid*>(effect))
        {
            left = engine->getLastCurveIndex(0);
            right = engine->getLastCurveIndex(1);
        }
        curve->setHighlight(left, right);
    }
    // A value shown in the readout that changed elsewhere (automation, undo).
    if ((shownTag >= 0 && shownTag < kNumParameters && effect->getParameter(shownTag) != shownValue) ||
        (shownColumn >= 0 && curve && curve->getfexi(shownColumn) != shownPoint))
        updateReadout();
    AEffGUIEditor::idle();
}

CMessageResult ADEditor::notify(CBaseObject* /*sender*/, const char* message)
{
    if (message == CVSTGUITimer::kMsgTimer)
    {
        highlightDue = true;
        idle();
        return kMessageNotified;
    }
    return kMessageUnknown;
}

CControl* ADEditor::getParameterControl(VstInt32 index) const
{
    switch (index)
    {
    case 0: return preGainSlider;
    case 1: return prePanSlider;
    case 2: return postGainSlider;
    case 3: return shaperButton;
    case 4: return wetDrySlider;
    case 5: return preTypeSwitch;
    case 6: return preCutKnob;
    case 7: return postTypeSwitch;
    case 8: return postCutKnob;
    default: return nullptr;
    }
}

void ADEditor::setParameter(VstInt32 index, float value)
{
    UserCount user(parameterUsers);
    // A loaded state ends the history, open window or not.
    if (index == kEditorRefresh)
        historyResetPending.store(true);
    if (!openFlag.load())
        return;
    if (index >= 0 && index < kNumParameters)
    {
        if (CControl* control = getParameterControl(index))
            control->setValue(value);
    }
    else if (index == kEditorRefresh)
    {
        for (VstInt32 i = 0; i < kNumParameters; ++i)
            if (CControl* control = getParameterControl(i))
                control->setValue(effect->getParameter(i));
        loadCurve();
    }
}

void ADEditor::valueChanged(CControl* control)
{
    if (!openFlag.load() || !control)
        return;
    const int32_t tag = control->getTag();
    if (tag >= 0 && tag < kNumParameters)
    {
        effect->setParameterAutomated(tag, control->getValue());
        control->setDirty(true);
    }
    else if (tag == kCurveTag && curve)
        curveEdit();
    if (tag == shownTag)
        updateReadout();
}

void ADEditor::loadCurve()
{
    if (!curve)
        return;
    for (int32_t i = 0; i < MyCKickShaper::kNumPoints; ++i)
    {
        effect->setParameter(kCurvePointSelect, static_cast<float>(i));
        curve->setfexi(i, toCurveValue(effect->getParameter(kCurvePointValue)));
    }
}

void ADEditor::curveEdit()
{
    const int32_t state = curve->getRecordedButtonState();
    if (state == (kLButton | kAlt))
    {
        for (int32_t i = 0; i < MyCKickShaper::kNumPoints; ++i)
        {
            effect->setParameter(kCurvePointSelect, static_cast<float>(i));
            effect->setParameter(kCurvePointValue, static_cast<float>(128 - i));
            curve->setfexi(i, 128 - i);
        }
        curveWritten = true;
        return;
    }
    // Before the first accepted pointer position there is nothing to draw:
    // the initial position (0, 0) lies outside the area.
    if (!curve->hasAcceptedPosition())
        return;
    const CRect& area = curve->getViewSize();
    const CPoint& p = curve->getLastPosition();
    const auto c = static_cast<int32_t>(p.x - area.left);
    const int32_t column = std::clamp(c, 0, MyCKickShaper::kNumPoints - 1);
    int32_t row = state == (kLButton | kShift) ? 128 - c : static_cast<int32_t>(p.y - area.top);
    row = std::clamp(row, 0, MyCKickShaper::kNumPoints - 1);
    curve->setfexi(column, row);
    effect->setParameter(kCurvePointSelect, static_cast<float>(column));
    effect->setParameter(kCurvePointValue, static_cast<float>(row));
    curveWritten = true;
}

void ADEditor::beginEdit(VstInt32 index)
{
    if (index == kCurveTag)
        curveWritten = false;
    if (!replaying)
        gestureBegan(index);
    AEffGUIEditor::beginEdit(index);
    if ((index >= 0 && index < kNumParameters) || index == kCurveTag)
    {
        gestureTag = index;
        updateReadout();
    }
}

void ADEditor::endEdit(VstInt32 index)
{
    AEffGUIEditor::endEdit(index);
    if (!replaying)
        gestureEnded(index);
    if (index == gestureTag)
    {
        gestureTag = -1;
        updateReadout();
    }
    if (index != kCurveTag || !curveWritten)
        return;
    curveWritten = false;
    // Hosts take "display changed" as a hint to re-read the state and mark
    // the session modified.
    if (auto* fx = dynamic_cast<AudioEffectX*>(effect))
        fx->updateDisplay();
}
