// The frame's event routing and redraw, the timer, images, drawing and the
// X11 event translation.
#include "tests/gui/WidgetTestSupport.h"

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CVSTGUITimer.h"
#include "gui/platform/linux/X11Frame.h"

#include <X11/keysym.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

namespace
{
using Strings = std::vector<std::string>;

// A view that logs what reaches it and answers presses as told.
class ProbeView : public CView
{
public:
    ProbeView(const CRect& r, std::string name, Strings& log, CMouseEventResult answer)
        : CView(r), name(std::move(name)), log(log), answer(answer)
    {
    }
    void draw(CDrawContext*) override { log.push_back(name + " draw"); }
    CMouseEventResult onMouseDown(CPoint& p, const CButtonState&) override
    {
        log.push_back(name + " down " + std::to_string(int(p.x)));
        return answer;
    }
    CMouseEventResult onMouseMoved(CPoint& p, const CButtonState&) override
    {
        log.push_back(name + " move " + std::to_string(int(p.x)));
        return kMouseEventHandled;
    }
    CMouseEventResult onMouseUp(CPoint& p, const CButtonState&) override
    {
        log.push_back(name + " up " + std::to_string(int(p.x)));
        return kMouseEventHandled;
    }
    std::string name;
    Strings& log;
    CMouseEventResult answer;
};

class Frame : public WidgetFixture
{
protected:
    ProbeView* probe(const CRect& r, const char* name, CMouseEventResult answer = kMouseEventHandled)
    {
        return add(new ProbeView(r, name, log(), answer));
    }
};

TEST_F(Frame, CapturingViewGetsMovesAndReleaseEvenOutside)
{
    probe(CRect(0, 0, 100, 100), "a");
    probe(CRect(100, 0, 200, 100), "b");
    press(10, 10);
    move(150, 10);
    release(250, 10);
    move(150, 10); // no capture any more: a hover reaches no view
    EXPECT_EQ(log(), (Strings{"a down 10", "a move 150", "a up 250"}));
}

TEST_F(Frame, DragsNobodyTookReachNoView)
{
    probe(CRect(0, 0, 100, 100), "once", kMouseDownEventHandledButDontNeedMovedOrUpEvents);
    probe(CRect(100, 0, 200, 100), "b", kMouseEventNotHandled);
    press(10, 10);  // handled without wanting moves
    move(20, 10);
    release(20, 10);
    press(150, 10); // refused
    move(160, 10);
    release(160, 10);
    press(250, 10); // outside every view, dragged across both
    move(50, 10);
    move(150, 10);
    release(150, 10);
    EXPECT_EQ(log(), (Strings{"once down 10", "b down 150"}));
}

TEST_F(Frame, LaterViewsAreOnTopAndRightEdgeIsOutside)
{
    probe(CRect(0, 0, 100, 100), "under");
    probe(CRect(50, 0, 100, 100), "over");
    press(60, 10);
    release(60, 10);
    EXPECT_EQ(press(100, 10), kMouseEventNotHandled);
    EXPECT_EQ(log(), (Strings{"over down 60", "over up 60"}));
}

TEST_F(Frame, IdleRedrawsOnlyDirtyViews)
{
    ProbeView* a = probe(CRect(0, 0, 10, 10), "a");
    probe(CRect(10, 0, 20, 10), "b");
    frame->idle(); // the first idle draws everything
    log().clear();
    frame->idle();
    EXPECT_TRUE(log().empty());
    a->setDirty(true);
    frame->idle();
    EXPECT_EQ(log(), (Strings{"a draw"}));
}

TEST_F(Frame, IdleWithNothingChangedDrawsAndShowsNothing)
{
    probe(CRect(0, 0, 10, 10), "a");
    frame->idle();
    const uint64_t draws = frame->getDrawCount();
    const uint64_t shown = frame->getPresentCount();
    for (int i = 0; i < 10; ++i)
        frame->idle();
    EXPECT_EQ(frame->getDrawCount(), draws);
    EXPECT_EQ(frame->getPresentCount(), shown);
}

// A view that reports given parts of itself as changed, once.
class PartsView : public ProbeView
{
public:
    using ProbeView::ProbeView;
    void collectInvalid(CInvalidRegion& region) override
    {
        for (const CRect& r : parts)
            region.add(r);
        parts.clear();
    }
    std::vector<CRect> parts;
};

TEST_F(Frame, ChangedPartsRedrawEveryViewUnderThemAndShowEachPartOnce)
{
    auto* wide = add(new PartsView(CRect(0, 0, 200, 10), "wide", log(), kMouseEventHandled));
    probe(CRect(150, 0, 160, 10), "over");
    probe(CRect(0, 20, 10, 30), "elsewhere");
    frame->idle();
    log().clear();
    const uint64_t shown = frame->getPresentCount();
    // Two touching columns merge; a third far away stays apart.
    wide->parts = {CRect(10, 0, 11, 10), CRect(11, 0, 12, 10), CRect(155, 0, 156, 10)};
    frame->idle();
    EXPECT_EQ(log(), (Strings{"wide draw", "wide draw", "over draw"}));
    EXPECT_EQ(frame->getPresentCount(), shown + 2);

    log().clear();
    frame->invalidRect(CRect(5, 25, 6, 26));
    frame->invalidRect(CRect(400, 400, 500, 500)); // outside the window: nothing
    frame->idle();
    EXPECT_EQ(log(), (Strings{"elsewhere draw"}));
    EXPECT_EQ(frame->getPresentCount(), shown + 3);
}

TEST(InvalidRegion, MergesTouchingRectanglesAndFoldsIntoOneWhenFull)
{
    CInvalidRegion region;
    region.add(CRect(0, 0, 1, 10));
    region.add(CRect(1, 0, 2, 10));
    region.add(CRect());
    ASSERT_EQ(region.size(), 1u);
    EXPECT_EQ(region[0], CRect(0, 0, 2, 10));
    for (int i = 0; i < 20; ++i)
        region.add(CRect(10 + 3 * i, 0, 11 + 3 * i, 10));
    EXPECT_LE(region.size(), CInvalidRegion::kCapacity);
    EXPECT_EQ(region.bounds(), CRect(0, 0, 68, 10));
}

TEST_F(Frame, PendingGesturesEndWhenTheWindowGoes)
{
    auto* c = add(new CControl(CRect(0, 0, 10, 10), nullptr, 7));
    c->beginEdit();
    c->beginEdit();
    frame->endPendingEdits();
    EXPECT_FALSE(c->isEditing());
    EXPECT_EQ(log(), (Strings{"begin 7", "begin 7", "end 7", "end 7"}));
}

class Target : public CBaseObject
{
public:
    CMessageResult notify(CBaseObject* sender, const char* message) override
    {
        ++fired;
        lastSender = sender;
        lastMessage = message;
        if (onFire)
            onFire();
        return kMessageNotified;
    }
    int fired = 0;
    CBaseObject* lastSender = nullptr;
    const char* lastMessage = nullptr;
    std::function<void()> onFire;
};

TEST(Timer, FiresOncePerDueCheckAfterItsInterval)
{
    using namespace std::chrono_literals;
    Target target;
    auto* timer = new CVSTGUITimer(&target, 40, true);
    const auto t0 = CVSTGUITimer::Clock::now();
    CVSTGUITimer::fireDueTimers(t0 + 10ms);
    EXPECT_EQ(target.fired, 0);
    CVSTGUITimer::fireDueTimers(t0 + 500ms);
    EXPECT_EQ(target.fired, 1) << "no burst after a long gap";
    EXPECT_EQ(target.lastSender, timer);
    EXPECT_EQ(target.lastMessage, CVSTGUITimer::kMsgTimer);
    CVSTGUITimer::fireDueTimers(t0 + 520ms);
    EXPECT_EQ(target.fired, 1);
    CVSTGUITimer::fireDueTimers(t0 + 541ms);
    EXPECT_EQ(target.fired, 2);
    timer->stop();
    CVSTGUITimer::fireDueTimers(t0 + 5s);
    EXPECT_EQ(target.fired, 2);
    timer->forget();
}

TEST(Timer, NotificationMayStopOrDeleteTimersAndNestedChecksDoNothing)
{
    using namespace std::chrono_literals;
    Target a, b;
    auto* ta = new CVSTGUITimer(&a, 10, true);
    auto* tb = new CVSTGUITimer(&b, 10, true);
    a.onFire = [&] {
        CVSTGUITimer::fireDueTimers(CVSTGUITimer::Clock::now() + 1h); // nested: ignored
        tb->forget();                                                 // deleted while firing
        tb = nullptr;
    };
    CVSTGUITimer::fireDueTimers(CVSTGUITimer::Clock::now() + 1s);
    EXPECT_EQ(a.fired, 1);
    EXPECT_EQ(b.fired, 0) << "a timer deleted during the round is not notified";
    ta->forget();
}

TEST(Bitmap, EmbeddedImagesHaveTheEditorLayouts)
{
    struct Size
    {
        int32_t number;
        double w, h;
    };
    for (const Size& s : {Size{128, 300, 320}, Size{129, 250, 14}, Size{130, 12, 14}, Size{131, 60, 40},
                          Size{132, 60, 64}, Size{133, 44, 44 * 120}})
    {
        CBitmap b(s.number);
        EXPECT_TRUE(b.isLoaded()) << s.number;
        EXPECT_EQ(b.getWidth(), s.w) << s.number;
        EXPECT_EQ(b.getHeight(), s.h) << s.number;
    }
    CBitmap missing(127);
    EXPECT_FALSE(missing.isLoaded());
    EXPECT_EQ(missing.getWidth(), 0);
}

CairoSurfacePtr canvas()
{
    CairoSurfacePtr s(cairo_image_surface_create(CAIRO_FORMAT_RGB24, 8, 8));
    CairoContextPtr cr(cairo_create(s.get()));
    cairo_set_source_rgb(cr.get(), 0, 0, 0);
    cairo_paint(cr.get());
    return s;
}

uint32_t at(cairo_surface_t* s, int x, int y)
{
    cairo_surface_flush(s);
    return reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s))[x] &
           0xffffff;
}

TEST(DrawContext, AliasedTwoPixelDashCoversExactlyTwoPixels)
{
    CairoSurfacePtr s = canvas();
    CairoContextPtr cr(cairo_create(s.get()));
    CDrawContext context(cr.get());
    context.setDrawMode(kAliasing);
    context.setLineWidth(2);
    context.setFrameColor(kGreenCColor);
    context.moveTo(CPoint(3, 4));
    context.lineTo(CPoint(4, 4));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(at(s.get(), x, y), (x == 3 && (y == 3 || y == 4)) ? 0x00ff00u : 0u) << x << "," << y;
    EXPECT_EQ(context.getPenPosition(), CPoint(4, 4));
}

TEST(X11Events, ModifiersAndButtonsMapToWidgetBits)
{
    EXPECT_EQ(X11Frame::translateState(Button1Mask | ShiftMask), kLButton | kShift);
    EXPECT_EQ(X11Frame::translateState(Button1Mask | ControlMask), kLButton | kControl);
    EXPECT_EQ(X11Frame::translateState(Button1Mask | Mod1Mask), kLButton | kAlt);
    EXPECT_EQ(X11Frame::translateState(Button2Mask | Button3Mask), kMButton | kRButton);
    EXPECT_EQ(X11Frame::translateState(LockMask | Mod2Mask), 0) << "caps and num lock are no modifiers";
}

TEST(X11Events, KeysMapToVstKeyCodes)
{
    const VstKeyCode ctrlZ = X11Frame::translateKey(XK_z, ControlMask | Mod2Mask);
    EXPECT_EQ(ctrlZ.character, 'z');
    EXPECT_EQ(ctrlZ.virt, 0);
    EXPECT_EQ(ctrlZ.modifier, MODIFIER_CONTROL);
    const VstKeyCode all = X11Frame::translateKey(XK_y, ControlMask | ShiftMask | Mod1Mask);
    EXPECT_EQ(all.character, 'y');
    EXPECT_EQ(all.modifier, MODIFIER_CONTROL | MODIFIER_SHIFT | MODIFIER_ALTERNATE);
    EXPECT_EQ(X11Frame::translateKey(XK_F1, 0).character, 0) << "no character for keys that have none";
}

}
