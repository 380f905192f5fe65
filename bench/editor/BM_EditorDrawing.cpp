// Speed of the editor's drawing: one whole-window redraw, and one idle tick
// with the curve highlight moving (what the 40 ms timer costs 25 times a
// second). Drawing goes into the back buffer; showing it is the X server's job.
#include "editor/ADEditor.h"
#include "engine/Vivuzudid.h"
#include "gui/CFrame.h"

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

void BM_IdleTickWithMovingHighlight(benchmark::State& state)
{
    CFrame::setPlatformFactory(&noWindow);
    Effect effect;
    effect.gui()->open(reinterpret_cast<void*>(1));
    effect.gui()->idle();
    int32_t i = 0;
    for (auto _ : state)
    {
        effect.moveHighlight(++i);
        effect.gui()->idle();
        benchmark::ClobberMemory();
    }
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
    int32_t i = 0;
    for (auto _ : state)
    {
        ++i;
        effect.moveHighlight(i);
        effect.setParameter(0, static_cast<float>(i % 100) / 100.0f);
        effect.gui()->idle();
        benchmark::ClobberMemory();
    }
    effect.gui()->close();
    CFrame::setPlatformFactory(nullptr);
}
BENCHMARK(BM_IdleTickWithAutomation)->Unit(benchmark::kMicrosecond);

// The same tick in a real window of the X server named by DISPLAY (run it
// under Xvfb): drawing plus copying the curve area to the server.
void BM_IdleTickOnX11(benchmark::State& state)
{
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
        int32_t i = 0;
        for (auto _ : state)
        {
            effect.moveHighlight(++i);
            effect.gui()->idle();
        }
        effect.gui()->close();
    }
    XDestroyWindow(display, parent);
    XCloseDisplay(display);
}
BENCHMARK(BM_IdleTickOnX11)->Unit(benchmark::kMicrosecond);
}
