// The LV2 UI against a recording host, its window on a stand-in platform:
// what goes out through write_function and ui:touch for the user's gestures,
// what port_event shows, and what is never echoed back.
#include "editor/ADEditor.h"
#include "editor/MyCKickShaper.h"
#include "gui/CFrame.h"
#include "lv2/ui/DitherCrunchUi.h"
#include "tests/lv2/ui/UiTestHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>

using namespace DitherCrunchLv2;
using Kind = CurveMessage::Kind;

namespace
{
class StandInWindow : public IPlatformFrame
{
public:
    void processEvents() override {}
    void present(cairo_surface_t*, const CRect&) override {}
    void* getNativeHandle() const override { return reinterpret_cast<void*>(0x5a5a); }
};

std::unique_ptr<IPlatformFrame> standInFactory(void*, const CRect&, IPlatformFrameCallback*)
{
    return std::make_unique<StandInWindow>();
}

void* const kParent = reinterpret_cast<void*>(0x77);

class Lv2Ui : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CFrame::setPlatformFactory(&standInFactory);
        start = DitherCrunchUi::Clock::now();
    }
    void TearDown() override
    {
        ui.reset();
        CFrame::setPlatformFactory(nullptr);
        CFrame::setScaleQuery(nullptr);
    }
    void create(bool withTouch = true, float scale = 0.0f)
    {
        ui = DitherCrunchUi::create(&UiTestHost::write, host.controller(),
                                    host.features(kParent, withTouch, true, scale));
        ASSERT_NE(ui, nullptr);
    }
    CFrame* frame() { return ui->effect().getEditorWindow()->getFrame(); }
    void press(double x, double y, int32_t state = kLButton)
    {
        CPoint p(x, y);
        frame()->onMouseDown(p, CButtonState(state));
    }
    void move(double x, double y, int32_t state = kLButton)
    {
        CPoint p(x, y);
        frame()->onMouseMoved(p, CButtonState(state));
    }
    void release(double x, double y)
    {
        CPoint p(x, y);
        frame()->onMouseUp(p, CButtonState(kLButton));
    }
    void notify(const std::vector<uint8_t>& atom)
    {
        ui->portEvent(kPortNotify, static_cast<uint32_t>(atom.size()), host.urids().atomEventTransfer, atom.data());
    }
    void control(uint32_t port, float value) { ui->portEvent(port, sizeof value, 0, &value); }
    DitherCrunchUi::Clock::time_point at(int ms) const { return start + std::chrono::milliseconds(ms); }
    int32_t shownPoint(int i) { return ui->effect().getEditorWindow()->getCurveControl()->getfexi(i); }

    UiTestHost host;
    std::unique_ptr<DitherCrunchUi> ui;
    DitherCrunchUi::Clock::time_point start;
};

TEST_F(Lv2Ui, NeedsMapAndParentThenAsksForTheCurveAndTellsItsSize)
{
    const LV2_Feature* const* all = host.features(kParent);
    const LV2_Feature* noParent[] = {all[0], nullptr};
    const LV2_Feature* noMap[] = {all[1], nullptr};
    EXPECT_EQ(DitherCrunchUi::create(&UiTestHost::write, host.controller(), noParent), nullptr);
    EXPECT_EQ(DitherCrunchUi::create(&UiTestHost::write, host.controller(), noMap), nullptr);
    EXPECT_EQ(DitherCrunchUi::create(nullptr, host.controller(), all), nullptr);
    EXPECT_TRUE(host.events().empty());

    create();
    EXPECT_EQ(ui->widget(), reinterpret_cast<void*>(0x5a5a));
    ASSERT_EQ(host.events().size(), 2u);
    EXPECT_EQ(host.events()[0].kind, UiEvent::Kind::resize);
    EXPECT_EQ(host.events()[0].width, 300);
    EXPECT_EQ(host.events()[0].height, 320);
    EXPECT_EQ(host.message(host.events()[1]).kind, Kind::getCurve);
}

TEST_F(Lv2Ui, HostsScaleFactorSizesTheWindowAtTheEditorsNearestScale)
{
    for (const auto& [given, width, height] : {std::tuple{2.0f, 600, 640}, {1.6f, 450, 480}, {1.1f, 300, 320}})
    {
        host.clear();
        create(true, given);
        ASSERT_FALSE(host.events().empty());
        EXPECT_EQ(host.events()[0].kind, UiEvent::Kind::resize);
        EXPECT_EQ(host.events()[0].width, width) << given;
        EXPECT_EQ(host.events()[0].height, height) << given;
        ui.reset();
    }
}

TEST_F(Lv2Ui, CurveRequestRepeatsAFewTimesUntilTheCurveArrives)
{
    create();
    ui->idle(at(100));
    EXPECT_EQ(host.messages(Kind::getCurve).size(), 1u) << "not again at once";
    for (int ms = 600; ms < 10000; ms += 100)
        ui->idle(at(ms));
    EXPECT_EQ(host.messages(Kind::getCurve).size(), size_t(DitherCrunchUi::kCurveRequests));

    host.clear();
    ui.reset();
    create();
    int32_t points[kCurvePoints] = {};
    notify(host.curveSet(points));
    for (int ms = 600; ms < 3000; ms += 100)
        ui->idle(at(ms));
    EXPECT_EQ(host.messages(Kind::getCurve).size(), 1u);
}

// A reported value moves its control and gives the VST editor's display text.
struct Reported
{
    uint32_t port;
    float value;
};
void PrintTo(const Reported& r, std::ostream* os)
{
    *os << "port " << r.port << " = " << r.value;
}

class Lv2UiReported : public Lv2Ui, public ::testing::WithParamInterface<Reported>
{
};

TEST_P(Lv2UiReported, ValueShowsWithTheEffectsTextAndIsNotSentBack)
{
    create();
    host.clear();
    const auto [port, value] = GetParam();
    control(port, value);
    Vivuzudid reference(nullptr);
    reference.setParameter(static_cast<VstInt32>(port), value);
    char shown[64] = {};
    char expected[64] = {};
    ui->effect().getParameterDisplay(static_cast<VstInt32>(port), shown);
    reference.getParameterDisplay(static_cast<VstInt32>(port), expected);
    EXPECT_STREQ(shown, expected);
    EXPECT_FLOAT_EQ(ui->effect().getEditorWindow()->getParameterControl(static_cast<VstInt32>(port))->getValue(),
                    std::min(value, 1.0f));
    ui->idle(at(50));
    EXPECT_TRUE(host.events().empty());
}

INSTANTIATE_TEST_SUITE_P(Ports, Lv2UiReported,
                         ::testing::Values(Reported{kPortPreGain, 0.83f}, Reported{kPortPrePan, 0.0f},
                                           Reported{kPortShaper, 0.0f}, Reported{kPortWetDry, 0.37f},
                                           Reported{kPortPreFilter, 2.0f / 3.0f}, Reported{kPortPreCutoff, 0.91f},
                                           Reported{kPortPostFilter, 1.0f}, Reported{kPortPostCutoff, 0.12f}));

TEST_F(Lv2Ui, ValuesOfOtherPortsProtocolsAndSizesAreIgnored)
{
    create();
    const float before = ui->effect().getParameter(kPortPreGain);
    const float nan = std::nanf("");
    const double wide = 0.9;
    ui->portEvent(kPortPreGain, sizeof nan, 0, &nan);
    ui->portEvent(kPortPreGain, sizeof wide, 0, &wide);
    ui->portEvent(kPortPreGain, sizeof(float), host.urids().atomEventTransfer, &wide);
    ui->portEvent(kPortPreGain, sizeof(float), 0, nullptr);
    EXPECT_EQ(ui->effect().getParameter(kPortPreGain), before);
    const float v = 0.25f;
    ui->portEvent(kPortInL, sizeof v, 0, &v);
    ui->portEvent(kPortControl, sizeof v, 0, &v);
    ui->portEvent(9999, sizeof v, 0, &v);
    EXPECT_EQ(ui->effect().getParameter(kPortPreGain), before);
}

TEST_F(Lv2Ui, SliderDragWritesItsPortInsideOneTouchAndIgnoresEchoesMeanwhile)
{
    create();
    host.clear();
    press(60, 25);
    move(120, 25);
    control(kPortPreGain, 0.05f); // an old echo arriving mid-drag
    move(200, 25);
    const float held = ui->effect().getEditorWindow()->getParameterControl(0)->getValue();
    release(200, 25);
    EXPECT_EQ(ui->effect().getParameter(kPortPreGain), held);

    const auto& log = host.events();
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log.front().kind, UiEvent::Kind::touch);
    EXPECT_TRUE(log.front().grabbed);
    EXPECT_EQ(log.back().kind, UiEvent::Kind::touch);
    EXPECT_FALSE(log.back().grabbed);
    float previous = -1.0f;
    for (size_t i = 1; i + 1 < log.size(); ++i)
    {
        ASSERT_EQ(log[i].kind, UiEvent::Kind::write) << i;
        EXPECT_EQ(log[i].port, kPortPreGain);
        EXPECT_GT(log[i].value(), previous) << "the drag runs to the right";
        previous = log[i].value();
    }
    EXPECT_EQ(previous, held);

    control(kPortPreGain, 0.05f); // after release the host is heard again
    EXPECT_EQ(ui->effect().getParameter(kPortPreGain), 0.05f);
}

TEST_F(Lv2Ui, WithoutTouchTheValuesStillGoOut)
{
    create(false);
    host.clear();
    press(60, 25);
    release(60, 25);
    EXPECT_EQ(host.count(UiEvent::Kind::touch), 0u);
    EXPECT_EQ(host.count(UiEvent::Kind::write), 1u);
}

TEST_F(Lv2Ui, DrawingSendsTheCurveThrottledWhileThePenMovesAndAtOnceAtRelease)
{
    create();
    host.clear();
    press(80, 140);    // column 10, row 37
    ui->idle(at(0));   // sent: the first edit of the gesture
    move(90, 150);     // column 20, row 47
    ui->idle(at(10));  // too soon
    move(100, 160);    // column 30, row 57
    ui->idle(at(40));  // sent
    move(110, 170);
    release(110, 170); // sent at once
    ui->idle(at(45));  // nothing new

    const auto sets = host.messages(Kind::setCurve);
    ASSERT_EQ(sets.size(), 3u);
    EXPECT_EQ(sets[0].points[10], 37);
    EXPECT_EQ(sets[0].points[20], 128 - 20);
    EXPECT_EQ(sets[1].points[30], 57);
    EXPECT_EQ(sets[2].points[40], 67);
    EXPECT_EQ(sets[2].points[15], 128 - 15) << "a skipped column stays";
    for (const auto& e : host.events())
        EXPECT_EQ(e.port, kPortControl) << "no control port, no touch: the curve is no parameter";

    // The plug-in's echoes, the earlier ones last: the drawing stays.
    auto echo = [&](const CurveMessage& m) { notify(host.curveSet(m.points)); };
    echo(sets[2]);
    echo(sets[0]);
    echo(sets[1]);
    EXPECT_EQ(shownPoint(40), 67);
    EXPECT_EQ(shownPoint(30), 57);
    // Long after, the same curve is news.
    ui->idle(DitherCrunchUi::Clock::now() + DitherCrunchUi::kEchoTime);
    echo(sets[0]);
    EXPECT_EQ(shownPoint(40), 128 - 40);
}

TEST_F(Lv2Ui, ReportedCurveIsShownNotSentBackAndWaitsForAGestureToEnd)
{
    create();
    int32_t stairs[kCurvePoints];
    for (int i = 0; i < kCurvePoints; ++i)
        stairs[i] = (i / 16) * 16;
    notify(host.curveSet(stairs));
    EXPECT_EQ(shownPoint(40), 32);
    host.clear();
    ui->idle(at(100));
    EXPECT_TRUE(host.events().empty());

    // Reported while drawing: the drawn curve wins.
    int32_t flat[kCurvePoints] = {};
    press(80, 140);
    notify(host.curveSet(flat));
    EXPECT_EQ(shownPoint(40), 32) << "not under the pen";
    release(80, 140);
    EXPECT_EQ(shownPoint(10), 37);
    EXPECT_EQ(shownPoint(40), 32);
    ASSERT_FALSE(host.messages(Kind::setCurve).empty());
    EXPECT_EQ(host.messages(Kind::setCurve).back().points[40], 32);

    // Reported during a gesture that drew nothing (a Control-click, the
    // default-value gesture): shown at its end.
    press(80, 140, kLButton | kControl);
    notify(host.curveSet(flat));
    release(80, 140);
    EXPECT_EQ(shownPoint(10), 0);
}

TEST_F(Lv2Ui, LastIndicesMoveTheHighlightAndDamagedMessagesChangeNothing)
{
    create();
    notify(host.lastIndexSet(5, 99));
    ui->idle(at(50));
    MyCKickShaper* curve = ui->effect().getEditorWindow()->getCurveControl();
    EXPECT_EQ(curve->getLeftHighlight(), 5);
    EXPECT_EQ(curve->getRightHighlight(), 99);

    int32_t flat[kCurvePoints] = {};
    auto message = host.curveSet(flat);
    ui->portEvent(kPortNotify, static_cast<uint32_t>(message.size() - 4), host.urids().atomEventTransfer,
                  message.data());
    ui->portEvent(kPortNotify, static_cast<uint32_t>(message.size()), 0, message.data());
    ui->portEvent(kPortControl, static_cast<uint32_t>(message.size()), host.urids().atomEventTransfer,
                  message.data());
    EXPECT_EQ(shownPoint(3), 128 - 3);
}
}
