// A recording host, a recording effect and a recording editor for the frame tests.
#pragma once

#include "frame/AEffEditor.h"
#include "frame/AudioEffectX.h"

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

struct HostCall
{
    AEffect* effect;
    VstInt32 opcode, index;
    VstIntPtr value;
    void* ptr;
    float opt;
};

// The host callback is a plain function: it records into static storage.
struct RecordingHost
{
    static inline std::vector<HostCall> calls;
    static inline VstIntPtr answer = 0;
    static VstIntPtr callback(AEffect* e, VstInt32 op, VstInt32 index, VstIntPtr value, void* ptr, float opt)
    {
        calls.push_back({e, op, index, value, ptr, opt});
        return answer;
    }
    static void reset(VstIntPtr newAnswer = 0)
    {
        calls.clear();
        answer = newAnswer;
    }
};

// An effect with no overrides: the frame's own defaults.
struct PlainEffect : AudioEffectX
{
    using AudioEffectX::AudioEffectX;
};

// Logs each overridden operation as "name(args)"; a pointer equal to `mark`
// is logged as P, any other as ?. Text getters write without checking ptr.
class TestEffect : public AudioEffectX
{
public:
    explicit TestEffect(audioMasterCallback host = nullptr, bool* destroyed = nullptr)
        : AudioEffectX(host, 2, 3), destroyed(destroyed) {}
    ~TestEffect() override
    {
        if (destroyed)
            *destroyed = true;
    }

    std::string log;
    void* mark = nullptr;
    float vu = 0.0f;
    VstInt32 canDoAnswer = -1;

    std::string p(const void* ptr) const { return ptr == mark ? "P" : "?"; }
    void rec(const std::string& s) { log += s + ";"; }

    void open() override { rec("open"); }
    void close() override { rec("close"); }
    void suspend() override { rec("suspend"); }
    void setSampleRate(float r) override { rec("setSampleRate(" + std::to_string(int(r)) + ")"); }
    void setBlockSize(VstInt32 n) override { rec("setBlockSize(" + std::to_string(n) + ")"); }
    void setProgram(VstInt32 n) override { rec("setProgram(" + std::to_string(n) + ")"); AudioEffectX::setProgram(n); }
    void setProgramName(char* t) override { rec("setProgramName(" + p(t) + ")"); }
    void getProgramName(char* t) override { std::strcpy(t, "n"); rec("getProgramName(" + p(t) + ")"); }
    void getParameterLabel(VstInt32 i, char* t) override { std::strcpy(t, "l"); rec("getParameterLabel(" + std::to_string(i) + "," + p(t) + ")"); }
    void getParameterDisplay(VstInt32 i, char* t) override { std::strcpy(t, "d"); rec("getParameterDisplay(" + std::to_string(i) + "," + p(t) + ")"); }
    void getParameterName(VstInt32 i, char* t) override { std::strcpy(t, "n"); rec("getParameterName(" + std::to_string(i) + "," + p(t) + ")"); }
    VstInt32 getChunk(void** d, bool preset) override { *d = mark; rec("getChunk(" + std::to_string(preset) + ")"); return 564; }
    VstInt32 setChunk(void* d, VstInt32 n, bool preset) override { rec("setChunk(" + p(d) + "," + std::to_string(n) + "," + std::to_string(preset) + ")"); return 7; }
    float getVu() override { return vu; }
    void setParameter(VstInt32 i, float v) override { rec("setParameter(" + std::to_string(i) + "," + std::to_string(v) + ")"); }
    float getParameter(VstInt32 i) override { return float(i) * 0.5f; }
    void process(float**, float**, VstInt32 n) override { rec("process(" + std::to_string(n) + ")"); }
    void processReplacing(float**, float**, VstInt32 n) override { rec("processReplacing(" + std::to_string(n) + ")"); }
    void processDoubleReplacing(double**, double**, VstInt32 n) override { rec("processDoubleReplacing(" + std::to_string(n) + ")"); }

    VstInt32 processEvents(VstEvents* e) override { rec("processEvents(" + p(e) + ")"); return 1; }
    bool string2parameter(VstInt32 i, char* t) override { rec("string2parameter(" + std::to_string(i) + "," + p(t) + ")"); return true; }
    bool getProgramNameIndexed(VstInt32 c, VstInt32 i, char* t) override { rec("getProgramNameIndexed(" + std::to_string(c) + "," + std::to_string(i) + "," + p(t) + ")"); return true; }
    void inputConnected(VstInt32 i, bool s) override { rec("inputConnected(" + std::to_string(i) + "," + std::to_string(s) + ")"); }
    bool getOutputProperties(VstInt32 i, VstPinProperties* pp) override { rec("getOutputProperties(" + std::to_string(i) + "," + p(pp) + ")"); return true; }
    bool offlineNotify(VstAudioFile* f, VstInt32 n, bool s) override { rec("offlineNotify(" + p(f) + "," + std::to_string(n) + "," + std::to_string(s) + ")"); return true; }
    bool setSpeakerArrangement(VstSpeakerArrangement* in, VstSpeakerArrangement* out) override { rec("setSpeakerArrangement(" + p(in) + "," + p(out) + ")"); return true; }
    bool setBypass(bool b) override { rec("setBypass(" + std::to_string(b) + ")"); return true; }
    bool getEffectName(char* t) override { std::strcpy(t, "e"); rec("getEffectName(" + p(t) + ")"); return true; }
    VstIntPtr vendorSpecific(VstInt32 a, VstIntPtr b, void* c, float d) override
    {
        if (a == 666)
            throw std::runtime_error("escapes");
        rec("vendorSpecific(" + std::to_string(a) + "," + std::to_string(b) + "," + p(c) + "," + std::to_string(int(d)) + ")");
        return 99;
    }
    VstInt32 canDo(char* t) override { rec(std::string("canDo(") + t + ")"); return canDoAnswer; }
    bool setViewPosition(VstInt32 x, VstInt32 y) override { rec("setViewPosition(" + std::to_string(x) + "," + std::to_string(y) + ")"); return true; }
    bool setPanLaw(VstInt32 t, float g) override { rec("setPanLaw(" + std::to_string(t) + "," + std::to_string(int(g)) + ")"); return true; }
    bool setProcessPrecision(VstInt32 n) override { rec("setProcessPrecision(" + std::to_string(n) + ")"); return true; }

private:
    bool* destroyed;
};

// An editor that logs what reaches it and answers "yes".
class FakeEditor : public AEffEditor
{
public:
    explicit FakeEditor(AudioEffect* effect, bool* destroyed = nullptr) : AEffEditor(effect), destroyed(destroyed) {}
    ~FakeEditor() override
    {
        if (destroyed)
            *destroyed = true;
    }

    std::string log;
    VstKeyCode lastKey{};
    ERect rect{0, 0, 10, 20};

    bool getRect(ERect** r) override { *r = &rect; log += "getRect;"; return true; }
    bool open(void* w) override { AEffEditor::open(w); log += "open;"; return true; }
    void close() override { log += "close;"; }
    void idle() override { log += "idle;"; }
    void draw(ERect*) override { log += "draw;"; }
    VstInt32 mouse(VstInt32 x, VstInt32 y) override { log += "mouse;"; return x + y; }
    VstInt32 key(VstInt32 k) override { log += "key;"; return k; }
    void top() override { log += "top;"; }
    void sleep() override { log += "sleep;"; }
    bool onKeyDown(VstKeyCode& k) override { lastKey = k; log += "onKeyDown;"; return true; }
    bool onKeyUp(VstKeyCode& k) override { lastKey = k; log += "onKeyUp;"; return true; }
    bool setKnobMode(VstInt32) override { log += "setKnobMode;"; return true; }

private:
    bool* destroyed;
};
