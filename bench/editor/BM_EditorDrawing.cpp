// Speed of the editor's drawing: one whole-window redraw, one idle tick with
// nothing changed (what the 40 ms timer and the host's idle calls cost while
// nobody touches the editor), and one with the curve highlight moving.
// Drawing goes into the back buffer; showing it is the X server's job. The
// counters give view draws and, on X11, X requests per tick.
#include "editor/ADEditor.h"
#include "engine/Vivuzudid.h"
#include "gui/CFrame.h"
#include "gui/CVSTGUITimer.h"
#include "gui/platform/linux/X11Frame.h"

#include <benchmark/benchmark.h>
// After the others: Xlib's macros clash with their names.
#include <X11/Xlib.h>

#include <memory>

namespace
{
class NoWindow : public IPlatformFrame
{
public:
    void processEvents() override {}
    void present(cairo_surface_t*, const CRect&) override {}
};

std::unique_ptr<IPlatformFrame> noWindow(void*, const CRect&, IPlatformFrameCallback*)
{
    return std::make_unique<NoWindow>();
}

VstIntPtr host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

class Effect : public Vivuzudid
{
public:
    Effect() : Vivuzudid(&host) { new ADEditor(this); }
    void setParameter(VstInt32 index, float value) override
    {
        Vivuzudid::setParameter(index, value);
        if (editor)
            static_cast<ADEditor*>(editor)->setParameter(index, value);
    }
    void moveHighlight(int32_t i)
    {
        setLastCurveIndices(i & 127, (i * 7) & 127);
    }
    ADEditor* gui() const { return static_cast<ADEditor*>(editor); }
    // One firing of the editor's timer, which also moves the highlight.
    void timerTick() { gui()->notify(gui()->getTimer(), CVSTGUITimer::kMsgTimer); }
};

void BM_FullWindowRedraw(benchmark::State& state)
{
    CFrame::setPlatformFactory(&noWindow);
    Effect effect;
    effect.gui()->open(reinterpret_cast<void*>(1));
    for (auto _ : state)
    {
        effect.gui()->getFrame()->redrawAll();
        benchmark::ClobberMemory();
    }
    effect.gui()->close();
    CFrame::setPlatformFactory(nullptr);
}
BENCHMARK(BM_FullWindowRedraw)->Unit(benchmark::kMicrosecond);

// Per-tick counters of what the frame did since `draws` and `requests` were taken.
void countPerTick(benchmark::State& state, const CFrame* frame, uint64_t draws, unsigned long requests = 0,
                  Display* display = nullptr)
{
    state.counters["draws"] =
        benchmark::Counter(static_cast<double>(frame->getDrawCount() - draws), benchmark::Counter::kAvgIterations);
    if (display)
        state.counters["x_requests"] = benchmark::Counter(static_cast<double>(XNextRequest(display) - requests),
                                                          benchmark::Counter::kAvgIterations);
}

void BM_IdleTickNothingChanged(benchmark::State& state)
{
    CFrame::setPlatformFactory(&noWindow);
    Effect effect;
    effect.gui()->open(reinterpret_cast<void*>(1));
    effect.gui()->idle();
    const uint64_t draws = effect.gui()->getFrame()->getDrawCount();
    for (auto _ : state)
    {
        effect.gui()->idle();
        benchmark::ClobberMemory();
    }
    countPerTick(state, effect.gui()->getFrame(), draws);
    effect.gui()->close();
    CFrame::setPlatformFactory(nullptr);
}
BENCHMARK(BM_IdleTickNothingChanged)->Unit(benchmark::kMicrosecond);

void BM_IdleTickWithMovingHighlight(benchmark::State& state)
{
    CFrame::setPlatformFactory(&noWindow);
    Effect effect;
    effect.gui()->open(reinterpret_cast<void*>(1));
    effect.gui()->idle();
    const uint64_t draws = effect.gui()->getFrame()->getDrawCount();
    int32_t i = 0;
    for (auto _ : state)
    {
        effect.moveHighlight(++i);
        effect.timerTick();
        benchmark::ClobberMemory();
    }
    countPerTick(state, effect.gui()->getFrame(), draws);
    effect.gui()->close();
    CFrame::setPlatformFactory(nullptr);
}
BENCHMARK(BM_IdleTickWithMovingHighlight)->Unit(benchmark::kMicrosecond);

// The same tick while a host automates a slider: two controls redraw.
void BM_IdleTickWithAutomation(benchmark::State& state)
{
    CFrame::setPlatformFactory(&noWindow);
    Effect effect;
    effect.gui()->open(reinterpret_cast<void*>(1));
    effect.gui()->idle();
    const uint64_t draws = effect.gui()->getFrame()->getDrawCount();
    int32_t i = 0;
    for (auto _ : state)
    {
        ++i;
        effect.moveHighlight(i);
        effect.setParameter(0, static_cast<float>(i % 100) / 100.0f);
        effect.timerTick();
        benchmark::ClobberMemory();
    }
    countPerTick(state, effect.gui()->getFrame(), draws);
    effect.gui()->close();
    CFrame::setPlatformFactory(nullptr);
}
BENCHMARK(BM_IdleTickWithAutomation)->Unit(benchmark::kMicrosecond);

// The same ticks in a real window of the X server named by DISPLAY (run it
// under Xvfb): drawing plus copying the changed areas to the server; with
// the argument 0 nothing changes, with 1 the highlight moves.
void BM_IdleTickOnX11(benchmark::State& state)
{
    const bool moving = state.range(0) != 0;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
    {
        state.SkipWithError("no X display");
        return;
    }
    const Window parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 300, 320, 0, 0, 0);
    XMapWindow(display, parent);
    XSync(display, False);
    {
        Effect effect;
        if (!effect.gui()->open(reinterpret_cast<void*>(parent)))
            state.SkipWithError("no editor window");
        effect.gui()->idle();
        CFrame* frame = effect.gui()->getFrame();
        auto* x11 = frame ? dynamic_cast<X11Frame*>(frame->getPlatformFrame()) : nullptr;
        Display* own = x11 ? x11->getDisplay() : nullptr;
        const uint64_t draws = frame ? frame->getDrawCount() : 0;
        const unsigned long requests = own ? XNextRequest(own) : 0;
        int32_t i = 0;
        for (auto _ : state)
        {
            if (moving)
                effect.moveHighlight(++i);
            effect.timerTick();
        }
        if (frame)
            countPerTick(state, frame, draws, requests, own);
        effect.gui()->close();
    }
    XDestroyWindow(display, parent);
    XCloseDisplay(display);
}
BENCHMARK(BM_IdleTickOnX11)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
}
