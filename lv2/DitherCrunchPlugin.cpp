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
    const auto* display = feature<LV2_Inline_Display>(features, LV2_INLINEDISPLAY__queue_draw);
    if (display && !display->queue_draw)
        display = nullptr;
    try
    {
        std::unique_ptr<DitherCrunchPlugin> plugin(new DitherCrunchPlugin(sampleRate, urids, display));
        if (!plugin->notify.prepare(map, urids, map->map(map->handle, LV2_STATE__StateChanged)))
            return nullptr;
        return plugin.release();
    }
    catch (...)
    {
        return nullptr;
    }
}

DitherCrunchPlugin::DitherCrunchPlugin(double sampleRate, const Urids& urids, const LV2_Inline_Display* display)
    : dsp(new Vivuzudid(embeddedHost)), urids(urids), display(display),
      throttleFrames(static_cast<uint64_t>(std::max(1.0, sampleRate * 0.030)))
{
    // The host's rate reaches the frame as effSetSampleRate would; the
    // filters keep the rate fixed when the effect was built.
    dsp->setSampleRate(static_cast<float>(sampleRate));
    // Whatever the shaper's index table needs to be ready happens here, not in run.
    ShaperIndex::table();
    framesSinceIndices = kNeverFrames;
    framesSinceDraw = kNeverFrames;
}

DitherCrunchPlugin::~DitherCrunchPlugin() = default;

void DitherCrunchPlugin::connectPort(uint32_t port, void* data)
{
    if (port < kNumPorts)
        ports[port] = data;
}

void DitherCrunchPlugin::activate()
{
    applyAll = true;
}

void DitherCrunchPlugin::run(uint32_t frames)
{
    applyControlPorts();
    notify.begin(static_cast<LV2_Atom_Sequence*>(ports[kPortNotify]));
    if (curvePending)
        curvePending = !dsp->trySetCurve(pendingCurve);
    readControlEvents();
    processAudio(frames);
    writeNotifications(frames);
}

void DitherCrunchPlugin::applyControlPorts()
{
    const bool all = applyAll;
    applyAll = false;
    for (uint32_t i = 0; i < kNumParameterPorts; ++i)
    {
        const float* value = buffer(i);
        if (!value)
            continue;
        const auto bits = std::bit_cast<uint32_t>(*value);
        if (all || bits != appliedBits[i])
        {
            appliedBits[i] = bits;
            dsp->setParameter(static_cast<VstInt32>(i), std::bit_cast<float>(bits));
        }
    }
}

void DitherCrunchPlugin::readControlEvents()
{
    const auto* controlPort = static_cast<const LV2_Atom_Sequence*>(ports[kPortControl]);
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
        curvePending = !dsp->trySetCurve(message.points);
        if (curvePending)
            std::memcpy(pendingCurve, message.points, sizeof pendingCurve);
        curveSetByMessage = true;
    }
    else if (message.kind == CurveMessage::Kind::getCurve)
        curveRequested = true;
}

void DitherCrunchPlugin::processAudio(uint32_t frames)
{
    float* const inL = buffer(kPortInL);
    float* const inR = buffer(kPortInR);
    float* const outL = buffer(kPortOutL);
    float* const outR = buffer(kPortOutR);
    if (!inL || !inR || !outL || !outR)
        return;
    // The effect counts frames in an int32.
    constexpr uint32_t kMaxSlice = 1u << 30;
    for (uint32_t done = 0; done < frames;)
    {
        const uint32_t n = std::min(frames - done, kMaxSlice);
        float* in[2] = {inL + done, inR + done};
        float* out[2] = {outL + done, outR + done};
        dsp->processReplacing(in, out, static_cast<VstInt32>(n));
        done += n;
    }
}

void DitherCrunchPlugin::writeNotifications(uint32_t frames)
{
    const uint32_t count = dsp->getCurveChangeCount();
    if (firstRun || curveRequested || count != curveCountSent)
    {
        int32_t points[kCurvePoints];
        dsp->getCurve(points);
        if (notify.curve(points))
        {
            curveCountSent = count;
            curveRequested = false;
            firstRun = false;
        }
    }
    // A curve from a message is news to the host: its session changed.
    if (curveSetByMessage && notify.stateChanged())
        curveSetByMessage = false;

    // The indices are looked at only when they may be told or drawn.
    framesSinceIndices = std::min(framesSinceIndices + frames, kNeverFrames);
    framesSinceDraw = std::min(framesSinceDraw + frames, kNeverFrames);
    const bool tellDue = framesSinceIndices >= throttleFrames;
    const bool drawDue = display && framesSinceDraw >= throttleFrames;
    if (!tellDue && !drawDue)
        return;
    const int32_t indices[2] = {dsp->Vivuzudid::getLastCurveIndex(0), dsp->Vivuzudid::getLastCurveIndex(1)};
    if (tellDue && (indices[0] != indicesSent[0] || indices[1] != indicesSent[1]) &&
        notify.lastIndices(indices[0], indices[1]))
    {
        indicesSent[0] = indices[0];
        indicesSent[1] = indices[1];
        framesSinceIndices = 0;
    }
    if (drawDue && (count != curveCountDrawn || indices[0] != indicesDrawn[0] || indices[1] != indicesDrawn[1]))
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
