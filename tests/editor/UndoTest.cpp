// Undo and redo of the user's gestures: what goes back to the effect and to
// the host, which gestures make steps, the depth, the keys, and what ends
// the history.
#include "tests/editor/EditorTestSupport.h"

#include "editor/EditHistory.h"
#include "editor/MyCKickShaper.h"
#include "engine/StateChunk.h"

#include <string>
#include <vector>

namespace
{
class Undo : public EditorFixture
{
protected:
    void SetUp() override
    {
        EditorFixture::SetUp();
        openEditor();
        effect->clearCalls();
    }
    bool key(VstInt32 character, unsigned char modifier)
    {
        VstKeyCode code{character, 0, modifier};
        return editor->onKeyDown(code);
    }
    bool undoKey() { return key('z', MODIFIER_CONTROL); }
    bool redoKey() { return key('z', MODIFIER_CONTROL | MODIFIER_SHIFT); }
    void dragPreGain(double fromX, double toX)
    {
        press(fromX, 25, kLButton);
        move(toX, 25, kLButton);
        release(toX, 25);
    }
    // The edit requests to the host in order: "begin 0", "automate 0 0.500000",
    // "end 0", "display".
    std::vector<std::string> hostLog() const
    {
        std::vector<std::string> out;
        for (const HostCall& c : effect->calls())
            switch (c.opcode)
            {
            case audioMasterBeginEdit: out.push_back("begin " + std::to_string(c.index)); break;
            case audioMasterEndEdit: out.push_back("end " + std::to_string(c.index)); break;
            case audioMasterAutomate:
                out.push_back("automate " + std::to_string(c.index) + " " + std::to_string(c.opt));
                break;
            case audioMasterUpdateDisplay: out.push_back("display"); break;
            default: break;
            }
        return out;
    }
};

TEST_F(Undo, SliderDragUndoneAndRedoneAsAutomatedEditsOfTheHost)
{
    dragPreGain(26, 290);
    ASSERT_FLOAT_EQ(effect->getParameter(0), 1.0f);
    effect->clearCalls();

    EXPECT_TRUE(undoKey());
    EXPECT_FLOAT_EQ(effect->getParameter(0), 0.5f);
    EXPECT_FLOAT_EQ(editor->getParameterControl(0)->getValue(), 0.5f);
    EXPECT_EQ(hostLog(), (std::vector<std::string>{"begin 0", "automate 0 0.500000", "end 0"}));

    effect->clearCalls();
    EXPECT_TRUE(redoKey());
    EXPECT_FLOAT_EQ(effect->getParameter(0), 1.0f);
    EXPECT_EQ(hostLog(), (std::vector<std::string>{"begin 0", "automate 0 1.000000", "end 0"}));
    EXPECT_TRUE(undoKey());
    EXPECT_TRUE(key('y', MODIFIER_CONTROL)) << "Ctrl+Y redoes as well";
    EXPECT_FLOAT_EQ(effect->getParameter(0), 1.0f);
    EXPECT_EQ(editor->getUndoSteps(), 1u) << "undo and redo make no steps of their own";
}

TEST_F(Undo, CurveGestureUndoneThroughTheCurveChannelWithUpdateDisplay)
{
    press(80, 140, kLButton);
    move(90, 150, kLButton);
    release(90, 150);
    ASSERT_EQ(effectPoint(10), 37);
    ASSERT_EQ(effectPoint(20), 47);
    effect->clearCalls();

    ASSERT_TRUE(editor->undo());
    for (int32_t i : {10, 20})
    {
        EXPECT_EQ(effectPoint(i), 128 - i);
        EXPECT_EQ(editor->getCurveControl()->getfexi(i), 128 - i);
    }
    EXPECT_EQ(hostLog(), (std::vector<std::string>{"begin 10", "end 10", "display"})) << "never automated";

    ASSERT_TRUE(editor->redo());
    EXPECT_EQ(effectPoint(10), 37);
    EXPECT_EQ(effectPoint(20), 47);
    EXPECT_EQ(editor->getCurveControl()->getfexi(20), 47);
}

TEST_F(Undo, EachGestureIsOneStepUndoneInReverseOrder)
{
    const float start[9] = {0.5f, 0.5f, 0.5f, 1.0f, 1.0f, 0.0f, 0.5f, 0.0f, 0.5f};
    dragPreGain(26, 100);                             // slider drag
    press(36, 160, kLButton);                         // switch press: band-pass
    press(110, 250, kLButton);                        // shaper off
    press(60, 25, kLButton | kControl);               // default-value click on PreGain
    press(38, 180, kLButton);                         // knob drag, from the top ...
    move(56, 195, kLButton);
    release(56, 195);                                 // ... to the right
    press(100, 120, kLButton | kAlt);                 // curve reset: nothing changes, no step
    release(100, 120);
    press(100, 120, kLButton);                        // curve point
    release(100, 120);
    press(100, 120, kLButton | kShift);               // diagonal point, the same column
    release(100, 120);
    EXPECT_EQ(editor->getUndoSteps(), 7u);

    EXPECT_TRUE(editor->undo());
    EXPECT_EQ(effectPoint(30), 17) << "the Shift point back to the drawn one";
    EXPECT_TRUE(editor->undo());
    EXPECT_EQ(effectPoint(30), 98);
    EXPECT_TRUE(editor->undo());
    EXPECT_FLOAT_EQ(effect->getParameter(6), 0.5f);
    EXPECT_TRUE(editor->undo());
    EXPECT_LT(effect->getParameter(0), 0.5f) << "before the default-value click";
    EXPECT_TRUE(editor->undo());
    EXPECT_FLOAT_EQ(effect->getParameter(3), 1.0f);
    EXPECT_TRUE(editor->undo());
    EXPECT_FLOAT_EQ(effect->getParameter(5), 0.0f);
    EXPECT_TRUE(editor->undo());
    EXPECT_FALSE(editor->undo());
    for (VstInt32 i = 0; i < 9; ++i)
        EXPECT_FLOAT_EQ(effect->getParameter(i), start[i]) << i;
}

TEST_F(Undo, KeepsAHundredStepsAndDropsTheOldest)
{
    // 101 presses on the switch, alternating band-pass and high-pass.
    for (int i = 0; i < 101; ++i)
        press(i % 2 ? 56 : 36, 160, kLButton);
    ASSERT_FLOAT_EQ(effect->getParameter(5), 2.0f / 3.0f);
    EXPECT_EQ(editor->getUndoSteps(), EditHistory::kDepth);
    for (size_t i = 0; i < EditHistory::kDepth; ++i)
        ASSERT_TRUE(undoKey()) << i;
    EXPECT_FLOAT_EQ(effect->getParameter(5), 2.0f / 3.0f) << "the state after the first press";
    effect->clearCalls();
    EXPECT_TRUE(undoKey()) << "the key is still the editor's";
    EXPECT_FLOAT_EQ(effect->getParameter(5), 2.0f / 3.0f) << "the 101st undo has nothing to take back";
    EXPECT_TRUE(hostLog().empty());
    EXPECT_EQ(editor->getRedoSteps(), EditHistory::kDepth);
}

TEST_F(Undo, HostChangesMakeNoStepsAndNewGesturesDropWhatWasUndone)
{
    effect->setParameter(0, 0.9f); // automation
    effect->setParameter(5, 1.0f);
    EXPECT_EQ(editor->getUndoSteps(), 0u);
    EXPECT_FALSE(editor->undo());

    dragPreGain(26, 100);
    dragPreGain(100, 200);
    ASSERT_TRUE(editor->undo());
    EXPECT_EQ(editor->getRedoSteps(), 1u);
    press(36, 160, kLButton);
    EXPECT_EQ(editor->getRedoSteps(), 0u);
    EXPECT_EQ(editor->getUndoSteps(), 2u);
}

TEST_F(Undo, ALoadedStateEndsTheHistoryEvenMidGesture)
{
    dragPreGain(26, 100);
    void* data = nullptr;
    const VstInt32 size = effect->getChunk(&data);
    std::vector<unsigned char> chunk(static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + size);
    effect->setChunk(chunk.data(), size);
    EXPECT_EQ(editor->getUndoSteps(), 0u);
    EXPECT_FALSE(editor->undo());

    // A gesture that spans a load makes no step either.
    press(26, 25, kLButton);
    move(80, 25, kLButton);
    effect->setChunk(chunk.data(), size);
    move(120, 25, kLButton);
    release(120, 25);
    EXPECT_EQ(editor->getUndoSteps(), 0u);

    // Loaded while the window is closed: the same.
    dragPreGain(26, 100);
    editor->close();
    effect->setChunk(chunk.data(), size);
    openEditor();
    EXPECT_EQ(editor->getUndoSteps(), 0u);
}

TEST_F(Undo, HistoryOutlivesClosingTheWindow)
{
    dragPreGain(26, 100);
    editor->close();
    EXPECT_FALSE(editor->undo()) << "no window, no undo";
    openEditor();
    EXPECT_TRUE(editor->undo());
    EXPECT_FLOAT_EQ(effect->getParameter(0), 0.5f);
}

struct KeyCase
{
    const char* name;
    VstInt32 character;
    unsigned char virt;
    unsigned char modifier;
    bool taken;
    float after; // PreGain after a key that is taken
};

class UndoKeys : public Undo, public ::testing::WithParamInterface<KeyCase>
{
};

// One step (PreGain 0.5 to 1.0) made, and undone first for the redo keys.
TEST_P(UndoKeys, TakeTheirOwnCombinationsOnly)
{
    const KeyCase& c = GetParam();
    dragPreGain(26, 290);
    if (c.taken && c.after == 1.0f)
    {
        ASSERT_TRUE(editor->undo());
    }
    VstKeyCode code{c.character, c.virt, c.modifier};
    EXPECT_EQ(editor->onKeyDown(code), c.taken);
    EXPECT_EQ(editor->onKeyUp(code), c.taken);
    EXPECT_FLOAT_EQ(effect->getParameter(0), c.taken ? c.after : 1.0f);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, UndoKeys,
    ::testing::Values(KeyCase{"CtrlZ", 'z', 0, MODIFIER_CONTROL, true, 0.5f},
                      KeyCase{"CtrlUpperZ", 'Z', 0, MODIFIER_CONTROL, true, 0.5f},
                      KeyCase{"CtrlZAsControlCharacter", 0x1a, 0, MODIFIER_CONTROL, true, 0.5f},
                      KeyCase{"CommandZ", 'z', 0, MODIFIER_COMMAND, true, 0.5f},
                      KeyCase{"CtrlShiftZ", 'Z', 0, MODIFIER_CONTROL | MODIFIER_SHIFT, true, 1.0f},
                      KeyCase{"CtrlY", 'y', 0, MODIFIER_CONTROL, true, 1.0f},
                      KeyCase{"PlainZ", 'z', 0, 0, false, 1.0f},
                      KeyCase{"ShiftZ", 'Z', 0, MODIFIER_SHIFT, false, 1.0f},
                      KeyCase{"CtrlAltZ", 'z', 0, MODIFIER_CONTROL | MODIFIER_ALTERNATE, false, 1.0f},
                      KeyCase{"CtrlShiftY", 'y', 0, MODIFIER_CONTROL | MODIFIER_SHIFT, false, 1.0f},
                      KeyCase{"CtrlX", 'x', 0, MODIFIER_CONTROL, false, 1.0f},
                      KeyCase{"VirtualKeyWithCtrl", 'z', 4, MODIFIER_CONTROL, false, 1.0f}),
    [](const auto& info) { return std::string(info.param.name); });
}
