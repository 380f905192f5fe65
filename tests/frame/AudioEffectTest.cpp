#include "FrameTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{

class AudioEffectRecord : public ::testing::TestWithParam<bool>
{
};

TEST_P(AudioEffectRecord, ConstructionFillsRecordAndAsksHostNothing)
{
    RecordingHost::reset(1);
    TestEffect fx(GetParam() ? RecordingHost::callback : nullptr);
    AEffect* e = fx.getAeffect();
    EXPECT_EQ(e->magic, 0x56737450);
    EXPECT_EQ(e->dispatcher, &AudioEffect::dispatchEffectClass);
    EXPECT_EQ(e->process, &AudioEffect::processClass);
    EXPECT_EQ(e->setParameter, &AudioEffect::setParameterClass);
    EXPECT_EQ(e->getParameter, &AudioEffect::getParameterClass);
    EXPECT_EQ(e->processReplacing, &AudioEffect::processClassReplacing);
    EXPECT_EQ(e->processDoubleReplacing, &AudioEffect::processClassDoubleReplacing);
    EXPECT_EQ(e->numPrograms, 2);
    EXPECT_EQ(e->numParams, 3);
    EXPECT_EQ(e->numInputs, 1);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->flags, 16);
    EXPECT_EQ(e->ioRatio, 1.0f);
    EXPECT_EQ(e->object, &fx);
    EXPECT_EQ(e->user, nullptr);
    EXPECT_EQ(e->uniqueID, 0x4E6F4566);
    EXPECT_EQ(e->version, 1);
    EXPECT_EQ(e->resvd1 | e->resvd2 | e->initialDelay | e->realQualities | e->offQualities, 0);
    for (char c : e->future)
        EXPECT_EQ(c, 0);
    EXPECT_EQ(fx.getSampleRate(), 44100.0f);
    EXPECT_EQ(fx.getBlockSize(), 1024);
    EXPECT_EQ(fx.getAudioMaster() != nullptr, GetParam());
    EXPECT_TRUE(RecordingHost::calls.empty());
}
INSTANTIATE_TEST_SUITE_P(NullAndRecordingHost, AudioEffectRecord, ::testing::Bool());

TEST(AudioEffectThunks, RouteRecordEntriesToTheObject)
{
    TestEffect fx;
    AEffect* e = fx.getAeffect();
    e->setParameter(e, 2, 0.25f);
    EXPECT_EQ(e->getParameter(e, 3), 1.5f);
    e->process(e, nullptr, nullptr, 11);
    e->processReplacing(e, nullptr, nullptr, 12);
    e->processDoubleReplacing(e, nullptr, nullptr, 13);
    EXPECT_EQ(e->dispatcher(e, effGetVstVersion, 0, 0, nullptr, 0), 2400);
    EXPECT_EQ(fx.log, "setParameter(2,0.250000);process(11);processReplacing(12);processDoubleReplacing(13);");
}

TEST(AudioEffectThunks, ExceptionsAndMissingObjectsStopAtTheBoundary)
{
    TestEffect fx;
    AEffect* e = fx.getAeffect();
    EXPECT_EQ(e->dispatcher(e, effVendorSpecific, 666, 0, nullptr, 0), 0);
    AEffect orphan{};
    EXPECT_EQ(AudioEffect::dispatchEffectClass(&orphan, effGetVstVersion, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(AudioEffect::getParameterClass(nullptr, 0), 0.0f);
    AudioEffect::processClassReplacing(&orphan, nullptr, nullptr, 1);
}

TEST(AudioEffectThunks, CloseDeletesEffectAndEditorAndAnswersOne)
{
    bool effectGone = false, editorGone = false;
    auto* fx = new TestEffect(nullptr, &effectGone);
    fx->setEditor(new FakeEditor(fx, &editorGone));
    AEffect* e = fx->getAeffect();
    EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0), 1);
    EXPECT_TRUE(effectGone);
    EXPECT_TRUE(editorGone);
}

struct BaseRoute
{
    VstInt32 opcode, index;
    VstIntPtr value;
    float opt;
    const char* log;
    VstIntPtr result;
};

void PrintTo(const BaseRoute& r, std::ostream* os) { *os << "opcode " << r.opcode << " value " << r.value; }

class AudioEffectDispatcher : public ::testing::TestWithParam<BaseRoute>
{
protected:
    TestEffect fx;
    char buffer[64] = {};
    void SetUp() override { fx.mark = buffer; }
};

TEST_P(AudioEffectDispatcher, RoutesOpcodeWithUnpackedArguments)
{
    const BaseRoute& r = GetParam();
    EXPECT_EQ(fx.dispatcher(r.opcode, r.index, r.value, buffer, r.opt), r.result);
    EXPECT_EQ(fx.log, r.log);
}
INSTANTIATE_TEST_SUITE_P(BaseOpcodes, AudioEffectDispatcher, ::testing::Values(
    BaseRoute{effOpen, 0, 0, 0, "open;", 0}, BaseRoute{effClose, 0, 0, 0, "close;", 0},
    BaseRoute{effSetProgram, 0, 1, 0, "setProgram(1);", 0}, BaseRoute{effSetProgram, 0, 2, 0, "", 0},
    BaseRoute{effSetProgram, 0, -1, 0, "", 0}, BaseRoute{effSetProgram, 0, VstIntPtr(1) << 40, 0, "", 0},
    BaseRoute{effGetProgram, 0, 0, 0, "", 0}, BaseRoute{effSetProgramName, 0, 0, 0, "setProgramName(P);", 0},
    BaseRoute{effGetProgramName, 0, 0, 0, "getProgramName(P);", 0}, BaseRoute{effGetParamLabel, 4, 0, 0, "getParameterLabel(4,P);", 0},
    BaseRoute{effGetParamDisplay, 5, 0, 0, "getParameterDisplay(5,P);", 0}, BaseRoute{effGetParamName, 6, 0, 0, "getParameterName(6,P);", 0},
    BaseRoute{effGetVu, 0, 0, 0, "", 0}, BaseRoute{effSetSampleRate, 0, 0, 48000.0f, "setSampleRate(48000);", 0},
    BaseRoute{effSetBlockSize, 0, 256, 0, "setBlockSize(256);", 0}, BaseRoute{effMainsChanged, 0, 0, 0, "suspend;", 0},
    BaseRoute{effMainsChanged, 0, 1, 0, "canDo(receiveVstMidiEvent);", 0}, BaseRoute{effIdentify, 9, 9, 9, "", 0x4E764566},
    BaseRoute{effGetChunk, 1, 0, 0, "getChunk(1);", 564}, BaseRoute{effSetChunk, 0, 12, 0, "setChunk(P,12,0);", 7},
    BaseRoute{effSetChunk, 0, -5, 0, "", 0}, BaseRoute{effEditIdle, 0, 0, 0, "", 0},
    BaseRoute{-1, 0, 0, 0, "", 0}, BaseRoute{80, 0, 0, 0, "", 0}, BaseRoute{100000, 0, 0, 0, "", 0}));

TEST(AudioEffectDispatcherNullText, NullPointersNeverReachTheEffect)
{
    TestEffect fx;
    for (VstInt32 op : {effSetProgramName, effGetProgramName, effGetParamLabel, effGetParamDisplay, effGetParamName,
                        effGetChunk, effSetChunk, effProcessEvents, effString2Parameter, effGetProgramNameIndexed,
                        effGetOutputProperties, effGetEffectName, effCanDo})
        EXPECT_EQ(fx.dispatcher(op, 0, 4, nullptr, 0), 0) << op;
    EXPECT_EQ(fx.log, "");
}

struct VuCase
{
    float vu;
    VstIntPtr expected;
};
class AudioEffectVu : public ::testing::TestWithParam<VuCase>
{
};
TEST_P(AudioEffectVu, ScalesTruncatesAndClampsTheLevel)
{
    TestEffect fx;
    fx.vu = GetParam().vu;
    EXPECT_EQ(fx.dispatcher(effGetVu, 0, 0, nullptr, 0), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(Levels, AudioEffectVu, ::testing::Values(
    VuCase{0.0f, 0}, VuCase{1.0f, 32767}, VuCase{0.5f, 16383}, VuCase{-0.5f, -16383},
    VuCase{std::nanf(""), 0}, VuCase{1e30f, 2147483647}, VuCase{-INFINITY, -2147483647 - 1}));

TEST(AudioEffectProgram, SetProgramThenGetProgramReadsIt)
{
    PlainEffect fx(nullptr, 3, 1);
    fx.dispatcher(effSetProgram, 0, 2, nullptr, 0);
    EXPECT_EQ(fx.dispatcher(effGetProgram, 0, 0, nullptr, 0), 2);
    fx.dispatcher(effSetProgram, 0, 3, nullptr, 0);
    EXPECT_EQ(fx.dispatcher(effGetProgram, 0, 0, nullptr, 0), 2);
}

struct EditorRoute
{
    VstInt32 opcode, index;
    VstIntPtr value;
    const char* log;
    VstIntPtr result;
};
void PrintTo(const EditorRoute& r, std::ostream* os) { *os << "opcode " << r.opcode; }
class AudioEffectEditorOpcodes : public ::testing::TestWithParam<EditorRoute>
{
};

TEST_P(AudioEffectEditorOpcodes, ReachTheEditorOrAnswerZeroWithoutOne)
{
    const EditorRoute& r = GetParam();
    ERect* rect = nullptr;
    TestEffect fx;
    EXPECT_EQ(fx.dispatcher(r.opcode, r.index, r.value, &rect, 2.0f), 0);
    auto* editor = new FakeEditor(&fx);
    fx.setEditor(editor);
    EXPECT_EQ(fx.getAeffect()->flags & effFlagsHasEditor, effFlagsHasEditor);
    EXPECT_EQ(fx.dispatcher(r.opcode, r.index, r.value, &rect, 2.0f), r.result);
    EXPECT_EQ(editor->log, r.log);
}
INSTANTIATE_TEST_SUITE_P(EditorOpcodes, AudioEffectEditorOpcodes, ::testing::Values(
    EditorRoute{effEditGetRect, 0, 0, "getRect;", 1}, EditorRoute{effEditOpen, 0, 0, "open;", 1},
    EditorRoute{effEditClose, 0, 0, "close;", 0}, EditorRoute{effEditDraw, 0, 0, "draw;", 0},
    EditorRoute{effEditMouse, 3, 4, "mouse;", 7}, EditorRoute{effEditKey, 0, 65, "key;", 65},
    EditorRoute{effEditIdle, 0, 0, "idle;", 0}, EditorRoute{effEditTop, 0, 0, "top;", 0},
    EditorRoute{effEditSleep, 0, 0, "sleep;", 0}, EditorRoute{effEditKeyDown, 97, 1, "onKeyDown;", 1},
    EditorRoute{effEditKeyUp, 97, 1, "onKeyUp;", 1}, EditorRoute{effSetEditKnobMode, 0, 2, "setKnobMode;", 1}));

TEST(AudioEffectEditor, NullRectPointerIsNotHandedOnAndDetachClearsFlag)
{
    TestEffect fx;
    FakeEditor editor(&fx);
    fx.setEditor(&editor);
    EXPECT_EQ(fx.dispatcher(effEditGetRect, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(editor.log, "");
    fx.setEditor(nullptr);
    EXPECT_EQ(fx.getAeffect()->flags, effFlagsCanReplacing);
}

} // namespace
