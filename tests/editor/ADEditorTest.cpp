// The editor window's wiring: controls, parameter echo, gating, timer, refresh.
#include "tests/editor/EditorTestSupport.h"

#include "editor/CMuteableHorizontalSwitch.h"
#include "editor/EditorImages.h"
#include "editor/MyCKickShaper.h"
#include "gui/CAnimKnob.h"
#include "gui/CBitmap.h"
#include "gui/CHorizontalSlider.h"
#include "gui/COnOffButton.h"
#include "gui/CVSTGUITimer.h"

#include <atomic>
#include <cmath>
#include <memory>
#include <string>
#include <thread>

namespace
{
using Editor = EditorFixture;

TEST_F(Editor, WindowRectangleIsTheBackgroundImageSizeFromConstructionOn)
{
    ERect* rect = nullptr;
    ASSERT_TRUE(editor->getRect(&rect));
    CBitmap background(128);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->right, background.getWidth());
    EXPECT_EQ(rect->bottom, background.getHeight());
    EXPECT_EQ(rect->right, 300);
    EXPECT_EQ(rect->bottom, 320);
}

TEST_F(Editor, OpenAddsTheTenControlsInOrderAtTheirPositionsThenTheReadout)
{
    openEditor();
    struct Row
    {
        const char* type;
        int32_t tag;
        CRect rect;
        float defaultValue;
    };
    // Images: track 250 x 14, knob 44 x 44 per frame, switch 60 x 16 per state, button 60 x 20 per state.
    const Row rows[] = {
        {"CHorizontalSlider", 0, {25, 18, 275, 32}, 0.5f},   {"CHorizontalSlider", 1, {25, 48, 275, 62}, 0.5f},
        {"CHorizontalSlider", 2, {25, 78, 275, 92}, 0.5f},   {"CHorizontalSlider", 4, {25, 280, 275, 294}, 1.0f},
        {"CAnimKnob", 6, {16, 173, 60, 217}, 0.5f},          {"CAnimKnob", 8, {230, 173, 274, 217}, 0.5f},
        {"CMuteable", 5, {6, 153, 66, 169}, 0.0f},           {"CMuteable", 7, {222, 153, 282, 169}, 0.0f},
        {"COnOffButton", 3, {88, 242, 148, 262}, 1.0f},      {"MyCKickShaper", 10, {70, 103, 198, 231}, -1.0f},
    };
    ASSERT_EQ(frame()->getNbViews(), std::size(rows) + 1);
    // Last, on top: the readout, clear of every control, empty until used.
    CView* readout = frame()->getView(std::size(rows));
    ASSERT_TRUE(readout->isTypeOf("CTextLabel"));
    EXPECT_EQ(readout->getViewSize(), CRect(154, 243, 282, 262));
    for (size_t i = 0; i < std::size(rows); ++i)
        EXPECT_FALSE(readout->getViewSize().rectOverlap(frame()->getView(i)->getViewSize())) << i;
    EXPECT_STREQ(editor->getReadoutText(), "");
    for (size_t i = 0; i < std::size(rows); ++i)
    {
        SCOPED_TRACE(i);
        auto* control = dynamic_cast<CControl*>(frame()->getView(i));
        ASSERT_NE(control, nullptr);
        const std::string type = rows[i].type;
        if (type == "CHorizontalSlider")
        {
            auto* slider = dynamic_cast<CHorizontalSlider*>(control);
            ASSERT_NE(slider, nullptr);
            EXPECT_TRUE(slider->getFreeClick());
            EXPECT_EQ(slider->getStyle(), kLeft);
        }
        else if (type == "CAnimKnob")
            EXPECT_EQ(dynamic_cast<CAnimKnob*>(control)->getNumSubPixmaps(), 120);
        else if (type == "CMuteable")
            EXPECT_NE(dynamic_cast<CMuteableHorizontalSwitch*>(control), nullptr);
        else if (type == "COnOffButton")
            EXPECT_NE(dynamic_cast<COnOffButton*>(control), nullptr);
        else
            EXPECT_TRUE(control->isTypeOf("MyCKickShaper"));
        EXPECT_EQ(control->getTag(), rows[i].tag);
        EXPECT_EQ(control->getViewSize(), rows[i].rect);
        EXPECT_EQ(control->getListener(), editor);
        if (rows[i].defaultValue >= 0.0f)
        {
            EXPECT_FLOAT_EQ(control->getDefaultValue(), rows[i].defaultValue);
        }
    }
}

TEST_F(Editor, OpenShowsTheEffectsCurrentValuesAndCurve)
{
    const float values[9] = {0.1f, 0.2f, 0.3f, 0.0f, 0.4f, 1.0f, 0.6f, 1.0f / 3.0f, 0.8f};
    for (VstInt32 i = 0; i < 9; ++i)
        effect->setParameter(i, values[i]);
    setEffectPoint(7, 3);
    openEditor();
    for (VstInt32 i = 0; i < 9; ++i)
        EXPECT_FLOAT_EQ(editor->getParameterControl(i)->getValue(), effect->getParameter(i)) << i;
    EXPECT_EQ(editor->getCurveControl()->getfexi(7), 3);
    EXPECT_EQ(editor->getCurveControl()->getfexi(8), 120);
}

TEST_F(Editor, ParameterChangesReachControlsOnlyWhileOpen)
{
    effect->setParameter(0, 0.9f); // before the first open: no controls yet
    openEditor();
    EXPECT_FLOAT_EQ(editor->getParameterControl(0)->getValue(), 0.9f);
    effect->setParameter(0, 0.25f);
    EXPECT_FLOAT_EQ(editor->getParameterControl(0)->getValue(), 0.25f);
    editor->close();
    EXPECT_EQ(editor->getParameterControl(0), nullptr);
    effect->setParameter(0, 0.75f);
    openEditor();
    EXPECT_FLOAT_EQ(editor->getParameterControl(0)->getValue(), 0.75f);
}

TEST_F(Editor, UnusedIndicesChangeNothingAndValuesAreLimited)
{
    openEditor();
    const int32_t before = editor->getCurveControl()->getfexi(0);
    for (VstInt32 index : {-1, 9, 10, 11, 12, 14, 1000})
        editor->setParameter(index, 0.0f);
    for (VstInt32 i = 0; i < 9; ++i)
        EXPECT_FLOAT_EQ(editor->getParameterControl(i)->getValue(), effect->getParameter(i)) << i;
    EXPECT_EQ(editor->getCurveControl()->getfexi(0), before);

    editor->setParameter(0, 1.7f);
    EXPECT_FLOAT_EQ(editor->getParameterControl(0)->getValue(), 1.0f);
    editor->setParameter(0, -0.3f);
    EXPECT_FLOAT_EQ(editor->getParameterControl(0)->getValue(), 0.0f);
    editor->setParameter(0, NAN);
    EXPECT_FLOAT_EQ(editor->getParameterControl(0)->getValue(), 0.0f);
}

TEST_F(Editor, ChunkLoadRefreshesEveryControlAndTheCurve)
{
    openEditor();
    void* data = nullptr;
    const VstInt32 size = effect->getChunk(&data);
    std::vector<unsigned char> chunk(static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + size);
    StateChunk::write<float>(chunk.data(), StateChunk::kPreGain, 0.05f);
    for (int i = 0; i < 128; ++i)
        StateChunk::write<int32_t>(chunk.data(), StateChunk::kCurve + 4 * i, i % 2 ? 10 : 100);
    // The controls read from the effect, not from the changes as they arrive.
    editor->getCurveControl()->setfexi(3, 0);
    effect->setChunk(chunk.data(), size);
    EXPECT_FLOAT_EQ(editor->getParameterControl(0)->getValue(), 0.05f);
    for (int i = 0; i < 128; ++i)
        ASSERT_EQ(editor->getCurveControl()->getfexi(i), i % 2 ? 10 : 100) << i;

    editor->close();
    effect->setChunk(chunk.data(), size); // closed: nothing to refresh, nothing breaks
}

TEST_F(Editor, ControlChangesAreAutomatedButOtherTagsAreIgnored)
{
    openEditor();
    effect->clearCalls();
    CControl* wetDry = editor->getParameterControl(4);
    wetDry->setValue(0.3f);
    editor->valueChanged(wetDry);
    const auto automated = effect->calls(audioMasterAutomate);
    ASSERT_EQ(automated.size(), 1u);
    EXPECT_EQ(automated[0].index, 4);
    EXPECT_FLOAT_EQ(automated[0].opt, 0.3f);
    EXPECT_FLOAT_EQ(effect->getParameter(4), 0.3f);
    EXPECT_TRUE(wetDry->isDirty());

    effect->clearCalls();
    for (int32_t tag : {9, 11, 12, -1})
    {
        wetDry->setTag(tag);
        editor->valueChanged(wetDry);
    }
    wetDry->setTag(4);
    EXPECT_TRUE(effect->calls(audioMasterAutomate).empty());
    EXPECT_FLOAT_EQ(effect->getParameter(4), 0.3f);
}

TEST_F(Editor, TimerRunsEvery240MsThen40WhileOpenThen950)
{
    CVSTGUITimer* timer = editor->getTimer();
    EXPECT_TRUE(timer->isRunning());
    EXPECT_EQ(timer->getFireTime(), 240u);
    openEditor();
    EXPECT_EQ(timer->getFireTime(), 40u);
    editor->close();
    EXPECT_EQ(timer->getFireTime(), 950u);
    EXPECT_TRUE(timer->isRunning());
    openEditor();
    EXPECT_EQ(timer->getFireTime(), 40u);
}

TEST_F(Editor, OnlyTheTimersOwnMessagePointerRunsIdle)
{
    openEditor();
    effect->setLastCurveIndices(5, 6);
    const std::string sameText = CVSTGUITimer::kMsgTimer;
    EXPECT_EQ(editor->notify(nullptr, sameText.c_str()), kMessageUnknown);
    EXPECT_EQ(editor->getCurveControl()->getLeftHighlight(), 0);
    EXPECT_EQ(editor->notify(nullptr, CVSTGUITimer::kMsgTimer), kMessageNotified);
    EXPECT_EQ(editor->getCurveControl()->getLeftHighlight(), 5);
    EXPECT_EQ(editor->getCurveControl()->getRightHighlight(), 6);
    EXPECT_STREQ(CVSTGUITimer::kMsgTimer, "timer fired");
}

TEST_F(Editor, DueTimerMovesTheHighlightWithoutHostIdle)
{
    openEditor();
    effect->setLastCurveIndices(40, 41);
    CVSTGUITimer::fireDueTimers(CVSTGUITimer::Clock::now() + std::chrono::milliseconds(41));
    EXPECT_EQ(editor->getCurveControl()->getLeftHighlight(), 40);
    EXPECT_EQ(editor->getCurveControl()->getRightHighlight(), 41);
    EXPECT_EQ(pixel(70 + 40, 103 + 88), 0x0000ffu) << "drawn by the same timer tick";
    EXPECT_EQ(pixel(70 + 41, 103 + 87), 0x00ff00u);
}

TEST_F(Editor, ReopeningLoadsNoImageAgain)
{
    openEditor();
    editor->close();
    const int64_t decoded = CBitmap::getDecodeCount();
    for (int i = 0; i < 5; ++i)
    {
        openEditor();
        editor->idle();
        editor->close();
    }
    EXPECT_EQ(CBitmap::getDecodeCount(), decoded);
}

TEST_F(Editor, ImagesAreDecodedOnceAtTheFirstOpenAndSharedByEveryEditor)
{
    const int64_t decoded = CBitmap::getDecodeCount();
    auto second = std::make_unique<EditedEffect>();
    EXPECT_FALSE(EditorImages::isDecoded()) << "instances without an open editor hold no image";
    EXPECT_EQ(CBitmap::getDecodeCount(), decoded);

    openEditor();
    EXPECT_EQ(CBitmap::getDecodeCount(), decoded + 6);
    ASSERT_TRUE(second->guiEditor()->open(reinterpret_cast<void*>(1)));
    EXPECT_EQ(CBitmap::getDecodeCount(), decoded + 6) << "the second window shares the images";
    EXPECT_EQ(second->guiEditor()->getFrame()->getBackground(), frame()->getBackground());
    second->guiEditor()->close();
    editor->close();
    EXPECT_TRUE(EditorImages::isDecoded()) << "kept for the next open while editors exist";

    second.reset();
    delete effect;
    effect = nullptr;
    EXPECT_FALSE(EditorImages::isDecoded()) << "the last editor frees them";
    effect = new EditedEffect; // for TearDown
    editor = effect->guiEditor();
}

TEST_F(Editor, DeletingTheEffectWithTheWindowOpenMidDragIsSafe)
{
    openEditor();
    press(100, 120, kLButton);
    delete effect;
    effect = new EditedEffect; // for TearDown
}

TEST_F(Editor, ParameterChangesFromAnotherThreadDuringOpenIdleAndClose)
{
    std::atomic<bool> stop{false};
    std::thread automation([&] {
        float v = 0.0f;
        while (!stop.load())
        {
            for (VstInt32 i = 0; i < 9; ++i)
                effect->setParameter(i, v);
            v = v >= 1.0f ? 0.0f : v + 0.001f;
        }
    });
    for (int round = 0; round < 50; ++round)
    {
        openEditor();
        for (int i = 0; i < 3; ++i)
            editor->idle();
        editor->close();
    }
    stop.store(true);
    automation.join();
}
}
