#include "tests/editor/EditorTestSupport.h"

#include <memory>

namespace
{
class StandInWindow : public IPlatformFrame
{
public:
    void processEvents() override {}
    void present(cairo_surface_t*, const CRect& area) override { EditorFixture::presented.push_back(area); }
};

std::unique_ptr<IPlatformFrame> standInFactory(void*, const CRect&, IPlatformFrameCallback*)
{
    return std::make_unique<StandInWindow>();
}
}

EditedEffect::EditedEffect() : Vivuzudid(&EditedEffect::host)
{
    cEffect.user = this;
    new ADEditor(this);
}

void EditedEffect::setParameter(VstInt32 index, float value)
{
    Vivuzudid::setParameter(index, value);
    if (editor)
        guiEditor()->setParameter(index, value);
}

void EditedEffect::setLastCurveIndices(VstInt32 left, VstInt32 right)
{
    Vivuzudid::setLastCurveIndices(left, right);
}

VstIntPtr EditedEffect::host(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float opt)
{
    if (!e || !e->user)
        return opcode == audioMasterVersion ? 2400 : 0;
    auto* self = static_cast<EditedEffect*>(e->user);
    std::lock_guard<std::mutex> lock(self->mutex);
    self->log.push_back({opcode, index, opt});
    return 0;
}

std::vector<HostCall> EditedEffect::calls(VstInt32 opcode) const
{
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<HostCall> out;
    for (const auto& c : log)
        if (c.opcode == opcode)
            out.push_back(c);
    return out;
}

std::vector<HostCall> EditedEffect::calls() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return log;
}

void EditedEffect::clearCalls()
{
    std::lock_guard<std::mutex> lock(mutex);
    log.clear();
}

std::vector<CRect> EditorFixture::presented;
double EditorFixture::screenScale = 1.0;

void EditorFixture::SetUp()
{
    presented.clear();
    screenScale = 1.0;
    CFrame::setPlatformFactory(&standInFactory);
    CFrame::setScaleQuery([] { return screenScale; });
    effect = new EditedEffect;
    editor = effect->guiEditor();
}

void EditorFixture::TearDown()
{
    delete effect; // deletes the editor too
    CFrame::setPlatformFactory(nullptr);
    CFrame::setScaleQuery(nullptr);
}

CMouseEventResult EditorFixture::press(double x, double y, int32_t state)
{
    CPoint p(x, y);
    return frame()->onMouseDown(p, CButtonState(state));
}

CMouseEventResult EditorFixture::move(double x, double y, int32_t state)
{
    CPoint p(x, y);
    return frame()->onMouseMoved(p, CButtonState(state));
}

CMouseEventResult EditorFixture::release(double x, double y, int32_t state)
{
    CPoint p(x, y);
    return frame()->onMouseUp(p, CButtonState(state));
}

int32_t EditorFixture::effectPoint(int32_t i)
{
    effect->Vivuzudid::setParameter(ADEditor::kCurvePointSelect, static_cast<float>(i));
    return static_cast<int32_t>(effect->getParameter(ADEditor::kCurvePointValue));
}

void EditorFixture::setEffectPoint(int32_t i, int32_t v)
{
    effect->Vivuzudid::setParameter(ADEditor::kCurvePointSelect, static_cast<float>(i));
    effect->Vivuzudid::setParameter(ADEditor::kCurvePointValue, static_cast<float>(v));
}

int EditorFixture::count(VstInt32 opcode, VstInt32 index) const
{
    int n = 0;
    for (const auto& c : effect->calls(opcode))
        n += c.index == index;
    return n;
}

uint32_t EditorFixture::pixel(int x, int y) const
{
    cairo_surface_t* s = frame()->getBackBuffer();
    cairo_surface_flush(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    return reinterpret_cast<const uint32_t*>(data + y * stride)[x] & 0xffffff;
}
