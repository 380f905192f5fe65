// Undo and redo in a real X window: the keys pressed with the pointer over
// the editor (the window's own keyboard input) and forwarded by the host
// (effEditKeyDown), and what the host hears and keeps.
#include "tests/editor/EditorWindowFixture.h"

#include "gui/AEffGUIEditor.h"

#include <string>
#include <vector>

namespace
{
class EditorUndo : public EditorWindow
{
protected:
    void SetUp() override
    {
        EditorWindow::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_TRUE(openEditor());
        pump(100);
    }
    // Keys typed with the pointer resting on an empty part of the window.
    void type(const std::string& keys)
    {
        xdotool("mousemove " + std::to_string(px(150)) + " " + std::to_string(px(5)) + " key " + keys);
        pump(150);
    }
    void hostKey(VstInt32 character, unsigned char modifier)
    {
        host->dispatch(effEditKeyDown, character, 0, nullptr, modifier);
        host->dispatch(effEditKeyUp, character, 0, nullptr, modifier);
        pump(30);
    }
    // The edit requests in order: "begin 0", "automate 0", "end 0", "display".
    std::vector<std::string> editRequests() const
    {
        std::vector<std::string> out;
        for (const auto& r : host->requests())
            switch (r.opcode)
            {
            case audioMasterBeginEdit: out.push_back("begin " + std::to_string(r.index)); break;
            case audioMasterEndEdit: out.push_back("end " + std::to_string(r.index)); break;
            case audioMasterAutomate: out.push_back("automate " + std::to_string(r.index)); break;
            case audioMasterUpdateDisplay: out.push_back("display"); break;
            default: break;
            }
        return out;
    }
};

TEST_F(EditorUndo, CtrlZLeavesThePreviousCurveAndTheHostHearsIt)
{
    drag(kCurveLeft + 10, kCurveTop + 40, {{kCurveLeft + 20, kCurveTop + 50}});
    drag(kCurveLeft + 20, kCurveTop + 90, {{kCurveLeft + 30, kCurveTop + 100}});
    ASSERT_EQ(chunkCurvePoint(host->chunk(), 20), 90);
    host->clearRequests();

    type("ctrl+z");
    auto chunk = host->chunk();
    EXPECT_EQ(chunkCurvePoint(chunk, 10), 40);
    EXPECT_EQ(chunkCurvePoint(chunk, 20), 50) << "the first drag's point";
    EXPECT_EQ(chunkCurvePoint(chunk, 30), 128 - 30);
    EXPECT_EQ(editRequests(), (std::vector<std::string>{"begin 10", "end 10", "display"}));

    type("ctrl+shift+z");
    chunk = host->chunk();
    EXPECT_EQ(chunkCurvePoint(chunk, 20), 90);
    EXPECT_EQ(chunkCurvePoint(chunk, 30), 100);
    type("ctrl+z ctrl+z");
    EXPECT_EQ(chunkCurvePoint(host->chunk(), 10), 128 - 10) << "both drags taken back";
    type("ctrl+y");
    EXPECT_EQ(chunkCurvePoint(host->chunk(), 10), 40);
}

TEST_F(EditorUndo, CtrlZRestoresASliderInsideAnEditBracket)
{
    drag(26, 25, {{150, 25}, {290, 25}});
    ASSERT_FLOAT_EQ(host->getParameter(0), 1.0f);
    host->clearRequests();
    type("ctrl+z");
    EXPECT_FLOAT_EQ(host->getParameter(0), 0.5f);
    EXPECT_EQ(editRequests(), (std::vector<std::string>{"begin 0", "automate 0", "end 0"}));
    const auto automated = host->requests(audioMasterAutomate);
    ASSERT_EQ(automated.size(), 1u);
    EXPECT_FLOAT_EQ(automated[0].opt, 0.5f);

    // The same keys forwarded by the host.
    hostKey('z', MODIFIER_CONTROL | MODIFIER_SHIFT);
    EXPECT_FLOAT_EQ(host->getParameter(0), 1.0f);
    hostKey('z', MODIFIER_CONTROL);
    EXPECT_FLOAT_EQ(host->getParameter(0), 0.5f);
    hostKey('y', MODIFIER_CONTROL);
    EXPECT_FLOAT_EQ(host->getParameter(0), 1.0f);
    EXPECT_EQ(host->dispatch(effEditKeyDown, 'q', 0, nullptr, 0), 0) << "other keys stay the host's";
}

TEST_F(EditorUndo, AHundredStepsComeBackAndTheHundredAndFirstDoesNot)
{
    // 101 clicks on the shaper button: 101 steps, the shaper ends off.
    xdotool("mousemove " + std::to_string(px(110)) + " " + std::to_string(px(250)) +
            " click --repeat 101 --delay 5 1");
    pump(300);
    ASSERT_FLOAT_EQ(host->getParameter(3), 0.0f);
    ASSERT_EQ(countRequests(audioMasterEndEdit, 3), 101);
    type("--repeat 100 --delay 5 ctrl+z");
    EXPECT_FLOAT_EQ(host->getParameter(3), 0.0f) << "back to the state after the first click";
    host->clearRequests();
    type("ctrl+z");
    EXPECT_FLOAT_EQ(host->getParameter(3), 0.0f) << "the first click is beyond the history";
    EXPECT_TRUE(editRequests().empty());
    type("ctrl+y");
    EXPECT_FLOAT_EQ(host->getParameter(3), 1.0f);
}
}
