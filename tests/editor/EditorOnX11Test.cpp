// The editor in process on a real X server (a private Xvfb): what it sends
// the server when nothing changes and when the curve's highlight moves.
#include "tests/editor/EditorTestSupport.h"

#include "editor/MyCKickShaper.h"
#include "gui/platform/linux/X11Frame.h"

#include <cstdlib>

namespace
{
class EditorOnX11 : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (std::getenv("DC_XVFB_UNAVAILABLE"))
            GTEST_SKIP() << "Xvfb is not installed";
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr) << "no X display; run through run-under-xvfb.sh";
        parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 300, 320, 0, 0, 0);
        XMapWindow(display, parent);
        XSync(display, False);
        effect = std::make_unique<EditedEffect>();
        editor = effect->guiEditor();
        ASSERT_TRUE(editor->open(reinterpret_cast<void*>(parent)));
        x11 = dynamic_cast<X11Frame*>(editor->getFrame()->getPlatformFrame());
        ASSERT_NE(x11, nullptr);
    }
    void TearDown() override
    {
        effect.reset();
        if (display)
        {
            XDestroyWindow(display, parent);
            XCloseDisplay(display);
        }
    }
    // Requests the editor's own connection has sent so far.
    unsigned long sent() const { return XNextRequest(x11->getDisplay()); }

    Display* display = nullptr;
    Window parent = 0;
    std::unique_ptr<EditedEffect> effect;
    ADEditor* editor = nullptr;
    X11Frame* x11 = nullptr;
};

TEST_F(EditorOnX11, IdleTicksWithNothingChangedSendNoRequestAndDrawNothing)
{
    for (int i = 0; i < 3; ++i)
        editor->idle();
    const unsigned long before = sent();
    const uint64_t draws = editor->getFrame()->getDrawCount();
    const uint64_t shown = editor->getFrame()->getPresentCount();
    for (int i = 0; i < 100; ++i)
        editor->idle();
    EXPECT_EQ(sent(), before);
    EXPECT_EQ(editor->getFrame()->getDrawCount(), draws);

    // A moving highlight costs one small image per column concerned.
    effect->setLastCurveIndices(30, 31);
    editor->notify(editor->getTimer(), CVSTGUITimer::kMsgTimer);
    EXPECT_EQ(editor->getFrame()->getPresentCount() - shown, 2u) << "columns 0, and 30 and 31 merged";
    EXPECT_EQ(sent() - before, 2u);
}
}
