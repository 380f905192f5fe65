// A VST 2.4 effect loaded from a code bundle and driven only through its
// effect record, the way a host drives it. Requests the effect makes of its
// host are answered here or handed to a VSTHost.
//
// Every call into the effect is guarded: an exception escaping the effect is
// swallowed and the call counts as having answered 0.
#pragma once

#include "auadapter/VSTHost.h"
#include "frame/VstRecords.h"

#include <cstddef>
#include <cstdint>
#include <memory>

class CodeBundle;

class VSTPlugIn
{
public:
    // Keeps its own reference to `bundle`; loads nothing yet.
    VSTPlugIn(VSTHost& host, CodeBundle* bundle, float sampleRate, int32_t blockSize); // [UI thread]
    // Closes the editor and the effect, then releases the bundle (unloading
    // its code when this was the last reference).
    virtual ~VSTPlugIn(); // [UI thread]

    VSTPlugIn(const VSTPlugIn&) = delete;
    VSTPlugIn& operator=(const VSTPlugIn&) = delete;

    // Loads the code, calls its entry point and opens the effect. Throws
    // TwinfoldException when the code cannot be loaded, has no entry point or
    // returns no effect record. Must not run concurrently with another open().
    void open(); // [UI thread]

    bool isOpen() const { return openFlag; }
    bool isResumed() const { return resumedFlag; }
    bool wantsMidi() const { return wantsMidiFlag; }
    bool isEditorOpen() const { return editorOpenFlag; }

    int32_t getProgramCount() const { return effect ? effect->numPrograms : 0; }
    int32_t getParameterCount() const { return effect ? effect->numParams : 0; }
    int32_t getInputCount() const { return effect ? effect->numInputs : 0; }
    int32_t getOutputCount() const { return effect ? effect->numOutputs : 0; }
    int32_t getInitialDelay() const { return effect ? effect->initialDelay : 0; }
    bool hasEditor() const { return hasFlag(effFlagsHasEditor); }
    bool canProcessReplacing() const { return hasFlag(effFlagsCanReplacing); }
    bool hasProgramChunks() const { return hasFlag(effFlagsProgramChunks); }
    bool dontProcessSilence() const { return hasFlag(effFlagsNoSoundInStop); }

    // The effect record itself (null before open()), for callers that need
    // its identity fields.
    AEffect* getEffect() const { return effect; }
    CodeBundle* getBundle() const { return bundle; }
    float getSampleRate() const { return sampleRate; }
    int32_t getBlockSize() const { return blockSize; }

    void processReplacing(float** inputs, float** outputs, int32_t frames); // [audio thread]
    void processAccumulating(float** inputs, float** outputs, int32_t frames); // [audio thread]
    void setParameter(int32_t index, float value); // [any thread]
    float getParameter(int32_t index); // [any thread]
    VstIntPtr dispatch(int32_t opcode, int32_t index, VstIntPtr value, void* ptr, float opt); // [any thread]
    VstIntPtr getVersion(); // [UI thread]
    // Width and height of the editor; 0 and 0 when the effect gives none.
    void getEditorDimensions(int32_t& width, int32_t& height); // [UI thread]
    void idle(); // [UI thread]
    void connectInputPin(int32_t pin, bool connected); // [UI thread]
    void connectOutputPin(int32_t pin, bool connected); // [UI thread]
    bool getInputProperties(int32_t pin, VstPinProperties& properties); // [UI thread]
    bool getOutputProperties(int32_t pin, VstPinProperties& properties); // [UI thread]
    bool setBypass(bool bypass); // [any thread]
    VstIntPtr vendorSpecific(int32_t index, VstIntPtr value, void* ptr, float opt); // [any thread]
    void processEvents(VstEvents* events); // [audio thread]
    void suspend(); // [UI thread]
    void resume(); // [UI thread]
    bool setParameterFromString(int32_t index, const char* text); // [UI thread]
    void setCurrentProgramName(const char* text); // [UI thread]
    // The effect's current program, kept within 0 .. program count - 1.
    int32_t getCurrentProgram(); // [UI thread]
    void setCurrentProgram(int32_t program); // [UI thread]
    void setSampleRate(float rate); // [UI thread]
    void setBlockSize(int32_t frames); // [UI thread]
    // Opens the effect's editor in `parentWindow`; throws TwinfoldException
    // "VST could not open editor" when the effect refuses.
    void openEditor(void* parentWindow); // [UI thread]
    void closeEditor(); // [UI thread]
    VstIntPtr getTailSize(); // [UI thread]

    // Texts: `text` must hold 25 bytes; at most 24 characters and a NUL are
    // written.
    void getParameterName(int32_t index, char* text); // [UI thread]
    void getParameterLabel(int32_t index, char* text); // [UI thread]
    void getParameterDisplay(int32_t index, char* text); // [UI thread]
    // False (text untouched) when the effect has no such program.
    bool getProgramName(int32_t index, char* text); // [UI thread]
    void getCurrentProgramName(char* text); // [UI thread]

    // Program and bank records (big-endian; see FxPreset.h).
    // Writes the "FxCk" record of the current program at `out`, which holds
    // 56 + 4 x parameter count bytes; returns the position after it.
    uint8_t* writeFxCk(uint8_t* out); // [UI thread]
    // A new program record of the current program ("FPCh" for effects
    // whose programs are chunks, else "FxCk"); `length` receives its size.
    std::unique_ptr<uint8_t[]> createFXP(size_t& length); // [UI thread]
    // A new bank record ("FBCh" or "FxBk"); `length` receives its size.
    std::unique_ptr<uint8_t[]> createFXB(size_t& length); // [UI thread]
    // Reads one "FxCk" record at `position` into the current program;
    // clears `ok` when it did not fit the effect exactly. Returns the
    // position after the last value read.
    const uint8_t* readFxCk(const uint8_t* position, const uint8_t* end, bool& ok); // [UI thread]
    // Loads a record of any of the four forms. True when applied exactly,
    // false when applied with adjustments or the effect refused its chunk.
    // Throws FormatException or EOFException for malformed data.
    bool loadFXPOrFXB(size_t length, const uint8_t* data); // [UI thread]

    // The host callback handed to the effect's entry point.
    static VstIntPtr staticAudioMasterCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                               void* ptr, float opt); // [any thread]
    // Answers one host request of this plug-in's effect.
    VstIntPtr myAudioMasterCallback(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                    float opt); // [any thread]

private:
    bool hasFlag(int32_t flag) const { return effect && (effect->flags & flag) != 0; }
    // Dispatcher call that swallows exceptions (answering 0).
    VstIntPtr guardedDispatch(int32_t opcode, int32_t index, VstIntPtr value, void* ptr, float opt) noexcept;
    void getText(int32_t opcode, int32_t index, char* text);
    // Writes the 28-byte name field of the current program at `out`.
    void writeProgramName(uint8_t* out);
    // writeFxCk with the parameter count the record was sized for.
    uint8_t* writeFxCkSized(uint8_t* out, int32_t parameterCount);
    // A program ("FPCh") or bank ("FBCh") record around the effect's chunk.
    std::unique_ptr<uint8_t[]> createChunkRecord(bool program, int32_t count, size_t& length);
    // The current program to come back to after walking the programs.
    int32_t rememberProgram();
    void setProgramNameFromField(const uint8_t* field, const uint8_t* end);

    // The plug-in running its effect's entry point right now, else null.
    static VSTPlugIn* tempPlugInPointer;

    VSTHost& host;
    CodeBundle* bundle;
    AEffect* effect = nullptr;
    bool openFlag = false;
    bool resumedFlag = false;
    bool wantsMidiFlag = false;
    bool editorOpenFlag = false;
    float sampleRate;
    int32_t blockSize;
};
