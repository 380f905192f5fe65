#include "lv2/DitherCrunchPlugin.h"

#include "engine/ShaperIndex.h"
#include "engine/Vivuzudid.h"

#include <lv2/atom/util.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

namespace DitherCrunchLv2 {

namespace {

// What a VST host answers the effect while it is built, so that it is built
// exactly as in the VST form.
VstIntPtr embeddedHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? kVstVersion : 0;
}

template <typename T>
const T* feature(const LV2_Feature* const* features, const char* uri)
{
    for (const LV2_Feature* const* f = features; f && *f; ++f)
        if ((*f)->URI && std::strcmp((*f)->URI, uri) == 0)
            return static_cast<const T*>((*f)->data);
    return nullptr;
}

// The curve as state stores it: the body of an atom:Vector of atom:Int.
struct CurveVector
{
    LV2_Atom_Vector_Body body;
    int32_t points[kCurvePoints];
};

constexpr uint64_t kNeverFrames = uint64_t{1} << 62;

} // namespace

DitherCrunchPlugin* DitherCrunchPlugin::create(double sampleRate, const LV2_Feature* const* features)
{
    const auto* map = feature<LV2_URID_Map>(features, LV2_URID__map);
    Urids urids;
    if (!urids.map(map))
        return nullptr;
    const LV2_URID stateChanged = map->map(map->handle, LV2_STATE__StateChanged);
    const auto* display = feature<LV2_Inline_Display>(features, LV2_INLINEDISPLAY__queue_draw);
    if (display && !display->queue_draw)
        display = nullptr;
    try
    {
        return new DitherCrunchPlugin(sampleRate, urids, stateChanged, map, display);
    }
    catch (...)
    {
        return nullptr;
    }
}

DitherCrunchPlugin::DitherCrunchPlugin(double sampleRate, const Urids& urids, LV2_URID stateChanged,
                                       const LV2_URID_Map* map, const LV2_Inline_Display* display)
    : dsp(new Vivuzudid(embeddedHost)), urids(urids), stateChangedUrid(stateChanged), display(display),
      throttleFrames(static_cast<uint64_t>(std::max(1.0, sampleRate * 0.030)))
{
    // The host's rate reaches the frame as effSetSampleRate would; the
    // filters keep the rate fixed when the effect was built.
    dsp->setSampleRate(static_cast<float>(sampleRate));
    lv2_atom_forge_init(&forge, const_cast<LV2_URID_Map*>(map));
    // The shaper's index table is built on first use: not in run.
    ShaperIndex::table();
    framesSinceIndices = kNeverFrames;
    framesSinceDraw = kNeverFrames;
}

DitherCrunchPlugin::~DitherCrunchPlugin() = default;

void DitherCrunchPlugin::connectPort(uint32_t port, void* data)
{
    if (port < kNumParameterPorts)
        controls[port] = static_cast<const float*>(data);
    else if (port == kPortInL || port == kPortInR)
        inputs[port - kPortInL] = static_cast<const float*>(data);
    else if (port == kPortOutL || port == kPortOutR)
        outputs[port - kPortOutL] = static_cast<float*>(data);
    else if (port == kPortControl)
        controlPort = static_cast<const LV2_Atom_Sequence*>(data);
    else if (port == kPortNotify)
        notifyPort = static_cast<LV2_Atom_Sequence*>(data);
}

void DitherCrunchPlugin::activate()
{
    applyAll = true;
}

void DitherCrunchPlugin::run(uint32_t frames)
{
    applyControlPorts();
    // Notify holds the capacity in its size until the sequence is begun.
    notifyOpen = false;
    if (notifyPort && notifyPort->atom.size >= sizeof(LV2_Atom_Sequence))
    {
        lv2_atom_forge_set_buffer(&forge, reinterpret_cast<uint8_t*>(notifyPort), notifyPort->atom.size);
        notifyOpen = lv2_atom_forge_sequence_head(&forge, &notifyFrame, 0) != 0;
    }
    readControlEvents();
    processAudio(frames);
    writeNotifications(frames);
    if (notifyOpen)
        lv2_atom_forge_pop(&forge, &notifyFrame);
}

void DitherCrunchPlugin::applyControlPorts()
{
    for (uint32_t i = 0; i < kNumParameterPorts; ++i)
    {
        if (!controls[i])
            continue;
        const float value = *controls[i];
        const auto bits = std::bit_cast<uint32_t>(value);
        if (applyAll || bits != appliedBits[i])
        {
            dsp->setParameter(static_cast<VstInt32>(i), value);
            appliedBits[i] = bits;
        }
    }
    applyAll = false;
}

void DitherCrunchPlugin::readControlEvents()
{
    if (!controlPort || controlPort->atom.type != urids.atomSequence ||
        controlPort->atom.size < sizeof(LV2_Atom_Sequence_Body))
        return;
    // Every event is checked to lie whole within the sequence before it is read.
    const auto* body = reinterpret_cast<const uint8_t*>(&controlPort->body);
    const uint8_t* const end = body + controlPort->atom.size;
    const uint8_t* p = body + sizeof(LV2_Atom_Sequence_Body);
    while (static_cast<size_t>(end - p) >= sizeof(LV2_Atom_Event))
    {
        const auto* event = reinterpret_cast<const LV2_Atom_Event*>(p);
        const size_t room = static_cast<size_t>(end - p) - sizeof(LV2_Atom_Event);
        if (event->body.size > room)
            return;
        handleEvent(&event->body, static_cast<uint32_t>(sizeof(LV2_Atom) + event->body.size));
        p += lv2_atom_pad_size(static_cast<uint32_t>(sizeof(LV2_Atom_Event) + event->body.size));
    }
}

void DitherCrunchPlugin::handleEvent(const LV2_Atom* atom, uint32_t available)
{
    if (atom->type == urids.midiEvent)
    {
        // Control changes need three bytes; the effect picks what it uses.
        if (atom->size < 3)
            return;
        const auto* bytes = reinterpret_cast<const char*>(atom + 1);
        VstMidiEvent midi{};
        midi.type = kVstMidiType;
        midi.byteSize = sizeof midi;
        std::memcpy(midi.midiData, bytes, 3);
        VstEvents events{};
        events.numEvents = 1;
        events.events[0] = reinterpret_cast<VstEvent*>(&midi);
        dsp->processEvents(&events);
        return;
    }
    if (atom->type != urids.atomObject && atom->type != urids.atomBlank)
        return;
    const CurveMessage message = readCurveMessage(urids, atom, available);
    if (message.kind == CurveMessage::Kind::setCurve)
    {
        dsp->setCurve(message.points);
        curveSetByMessage = true;
    }
    else if (message.kind == CurveMessage::Kind::getCurve)
        curveRequested = true;
}

void DitherCrunchPlugin::processAudio(uint32_t frames)
{
    if (!inputs[0] || !inputs[1] || !outputs[0] || !outputs[1])
        return;
    // The effect counts frames in an int32.
    constexpr uint32_t kMaxSlice = 1u << 30;
    for (uint32_t done = 0; done < frames;)
    {
        const uint32_t n = std::min(frames - done, kMaxSlice);
        float* in[2] = {const_cast<float*>(inputs[0]) + done, const_cast<float*>(inputs[1]) + done};
        float* out[2] = {outputs[0] + done, outputs[1] + done};
        dsp->processReplacing(in, out, static_cast<VstInt32>(n));
        done += n;
    }
}

template <typename Write>
bool DitherCrunchPlugin::emit(Write&& write)
{
    if (!notifyOpen)
        return false;
    const uint32_t offset = forge.offset;
    const uint32_t size = notifyPort->atom.size;
    if (lv2_atom_forge_frame_time(&forge, 0) && write())
        return true;
    forge.offset = offset;
    notifyPort->atom.size = size;
    return false;
}

void DitherCrunchPlugin::writeNotifications(uint32_t frames)
{
    const uint32_t count = dsp->getCurveChangeCount();
    if (firstRun || curveRequested || count != curveCountSent)
    {
        int32_t points[kCurvePoints];
        dsp->getCurve(points);
        if (emit([&] { return forgeCurveSet(forge, urids, points); }))
        {
            curveCountSent = count;
            curveRequested = false;
            firstRun = false;
        }
    }
    // A curve from a message is news to the host: its session changed.
    if (curveSetByMessage && emit([&] {
            LV2_Atom_Forge_Frame frame;
            if (!lv2_atom_forge_object(&forge, &frame, 0, stateChangedUrid))
                return false;
            lv2_atom_forge_pop(&forge, &frame);
            return true;
        }))
        curveSetByMessage = false;

    const int32_t indices[2] = {dsp->getLastCurveIndex(0), dsp->getLastCurveIndex(1)};
    framesSinceIndices = std::min(framesSinceIndices + frames, kNeverFrames);
    if (framesSinceIndices >= throttleFrames && (indices[0] != indicesSent[0] || indices[1] != indicesSent[1]) &&
        emit([&] { return forgeLastIndexSet(forge, urids, indices[0], indices[1]); }))
    {
        indicesSent[0] = indices[0];
        indicesSent[1] = indices[1];
        framesSinceIndices = 0;
    }

    framesSinceDraw = std::min(framesSinceDraw + frames, kNeverFrames);
    if (display && framesSinceDraw >= throttleFrames &&
        (count != curveCountDrawn || indices[0] != indicesDrawn[0] || indices[1] != indicesDrawn[1]))
    {
        display->queue_draw(display->handle);
        curveCountDrawn = count;
        indicesDrawn[0] = indices[0];
        indicesDrawn[1] = indices[1];
        framesSinceDraw = 0;
    }
}

LV2_State_Status DitherCrunchPlugin::save(LV2_State_Store_Function store, LV2_State_Handle handle)
{
    if (!store)
        return LV2_STATE_ERR_UNKNOWN;
    CurveVector vector{{sizeof(int32_t), urids.atomInt}, {}};
    dsp->getCurve(vector.points);
    return store(handle, urids.curve, &vector, sizeof vector, urids.atomVector,
                 LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status DitherCrunchPlugin::restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle)
{
    if (!retrieve)
        return LV2_STATE_ERR_UNKNOWN;
    size_t size = 0;
    uint32_t type = 0;
    uint32_t flags = 0;
    const void* value = retrieve(handle, urids.curve, &size, &type, &flags);
    if (!value)
        return LV2_STATE_SUCCESS;
    if (type != urids.atomVector || size != sizeof(CurveVector))
        return LV2_STATE_ERR_BAD_TYPE;
    CurveVector vector;
    std::memcpy(&vector, value, sizeof vector);
    if (vector.body.child_type != urids.atomInt || vector.body.child_size != sizeof(int32_t))
        return LV2_STATE_ERR_BAD_TYPE;
    dsp->setCurve(vector.points);
    return LV2_STATE_SUCCESS;
}

const LV2_Inline_Display_Image_Surface* DitherCrunchPlugin::render(uint32_t width, uint32_t maxHeight)
{
    int32_t points[kCurvePoints];
    dsp->getCurve(points);
    return image.render(points, dsp->getLastCurveIndex(0), dsp->getLastCurveIndex(1), width, maxHeight);
}

} // namespace DitherCrunchLv2
