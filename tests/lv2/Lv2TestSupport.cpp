#include "tests/lv2/Lv2TestSupport.h"

#include <gtest/gtest.h>

#include <lv2/atom/util.h>
#include <lv2/midi/midi.h>
#include <lv2/state/state.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace dc::lv2test {

using namespace DitherCrunchLv2;

UridTable::UridTable()
{
    mapFeature = {this, [](LV2_URID_Map_Handle h, const char* uri) { return static_cast<UridTable*>(h)->map(uri); }};
    unmapFeature = {this,
                    [](LV2_URID_Unmap_Handle h, LV2_URID urid) { return static_cast<UridTable*>(h)->unmap(urid); }};
}

LV2_URID UridTable::map(const char* uri)
{
    const auto [it, added] = ids.emplace(uri, static_cast<LV2_URID>(uris.size() + 1));
    if (added)
        uris.emplace_back(uri);
    return it->second;
}

const char* UridTable::unmap(LV2_URID urid) const
{
    return urid >= 1 && urid <= uris.size() ? uris[urid - 1].c_str() : nullptr;
}

std::string Bundle::path()
{
    const char* installed = std::getenv("DC_LV2_BUNDLE");
    return installed && *installed ? installed : DC_LV2_BUNDLE_DIR;
}

Bundle& Bundle::get()
{
    static Bundle bundle;
    return bundle;
}

Bundle::Bundle()
{
    world = lilv_world_new();
    std::string folder = path();
    if (folder.back() != '/')
        folder += '/';
    LilvNode* bundleUri = lilv_new_file_uri(world, nullptr, folder.c_str());
    lilv_world_load_bundle(world, bundleUri);
    lilv_node_free(bundleUri);
    LilvNode* uri = lilv_new_uri(world, kPluginUri);
    plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
    lilv_node_free(uri);
    if (!plugin)
        throw std::runtime_error("no plug-in " + std::string(kPluginUri) + " in " + folder);
    names.map(&urids.mapFeature);
}

Instance::Instance(double rate, bool withInlineDisplay) : bundle(Bundle::get()), silence(8192), scratch(8192)
{
    displayFeature = {this, [](LV2_Inline_Display_Handle h) { ++static_cast<Instance*>(h)->draws; }};
    const LV2_Feature map{LV2_URID__map, &bundle.urids.mapFeature};
    const LV2_Feature unmap{LV2_URID__unmap, &bundle.urids.unmapFeature};
    const LV2_Feature display{LV2_INLINEDISPLAY__queue_draw, &displayFeature};
    const LV2_Feature* features[] = {&map, &unmap, withInlineDisplay ? &display : nullptr, nullptr};
    instance = lilv_plugin_instantiate(bundle.plugin, rate, features);
    if (!instance)
        throw std::runtime_error("the plug-in did not instantiate");
    std::array<float, kNumPorts> defaults{};
    lilv_plugin_get_port_ranges_float(bundle.plugin, nullptr, nullptr, defaults.data());
    for (uint32_t i = 0; i < kNumParameterPorts; ++i)
    {
        controls[i] = defaults[i];
        lilv_instance_connect_port(instance, i, &controls[i]);
    }
    lilv_instance_connect_port(instance, kPortControl, controlBuffer.data());
    lilv_instance_connect_port(instance, kPortNotify, notifyBuffer.data());
    lv2_atom_forge_init(&forge, &bundle.urids.mapFeature);
    resetControl();
    activate();
}

Instance::~Instance()
{
    deactivate();
    lilv_instance_free(instance);
}

void Instance::activate()
{
    if (!active)
        lilv_instance_activate(instance);
    active = true;
}

void Instance::deactivate()
{
    if (active)
        lilv_instance_deactivate(instance);
    active = false;
}

void Instance::resetControl()
{
    lv2_atom_forge_set_buffer(&forge, controlBuffer.data(), controlBuffer.size());
    lv2_atom_forge_sequence_head(&forge, &sequenceFrame, 0);
}

LV2_Atom_Forge& Instance::eventForge(uint32_t frame)
{
    lv2_atom_forge_frame_time(&forge, frame);
    return forge;
}

void Instance::midi(uint32_t frame, uint8_t status, uint8_t data1, uint8_t data2)
{
    const uint8_t bytes[3] = {status, data1, data2};
    rawEvent(frame, bundle.names.midiEvent, 3, bytes, 3);
}

void Instance::curve(const Curve& points, uint32_t frame)
{
    ASSERT_TRUE(forgeCurveSet(eventForge(frame), bundle.names, points.data()));
}

void Instance::getCurve(uint32_t frame)
{
    ASSERT_TRUE(forgeGet(eventForge(frame), bundle.names, bundle.names.curve));
}

void Instance::rawEvent(uint32_t frame, LV2_URID type, uint32_t size, const void* body, uint32_t bytes)
{
    lv2_atom_forge_frame_time(&forge, frame);
    lv2_atom_forge_atom(&forge, size, type);
    lv2_atom_forge_write(&forge, body, bytes);
}

void Instance::run(const float* inL, const float* inR, float* outL, float* outR, uint32_t frames)
{
    lilv_instance_connect_port(instance, kPortInL, const_cast<float*>(inL ? inL : silence.data()));
    lilv_instance_connect_port(instance, kPortInR, const_cast<float*>(inR ? inR : silence.data()));
    lilv_instance_connect_port(instance, kPortOutL, outL ? outL : scratch.data());
    lilv_instance_connect_port(instance, kPortOutR, outR ? outR : scratch.data());
    auto* notify = reinterpret_cast<LV2_Atom_Sequence*>(notifyBuffer.data());
    notify->atom.size = notifyCapacity;
    notify->atom.type = 0;
    if (enterRun)
        enterRun();
    lilv_instance_run(instance, frames);
    if (leaveRun)
        leaveRun();
    readNotify();
    resetControl();
}

void Instance::run(uint32_t frames)
{
    run(nullptr, nullptr, nullptr, nullptr, frames);
}

void Instance::readNotify()
{
    notified.clear();
    const auto* sequence = reinterpret_cast<const LV2_Atom_Sequence*>(notifyBuffer.data());
    ASSERT_EQ(sequence->atom.type, bundle.names.atomSequence);
    ASSERT_LE(sequence->atom.size, notifyCapacity);
    const LV2_URID stateChanged = bundle.urids.map(LV2_STATE__StateChanged);
    LV2_ATOM_SEQUENCE_FOREACH(sequence, event)
    {
        const uint32_t available = static_cast<uint32_t>(sizeof(LV2_Atom) + event->body.size);
        CurveMessage message = readCurveMessage(bundle.names, &event->body, available);
        Notification n{message.kind};
        std::memcpy(n.points.data(), message.points, sizeof message.points);
        n.stateChanged = event->body.type == bundle.names.atomObject &&
                         reinterpret_cast<const LV2_Atom_Object*>(&event->body)->body.otype == stateChanged;
        EXPECT_TRUE(n.stateChanged || n.kind != CurveMessage::Kind::none) << "an unknown message on notify";
        notified.push_back(n);
    }
}

const LV2_Inline_Display_Interface* Instance::display() const
{
    return static_cast<const LV2_Inline_Display_Interface*>(
        lilv_instance_get_extension_data(instance, LV2_INLINEDISPLAY__interface));
}

namespace {

uint32_t portIndex(const char* symbol)
{
    Bundle& b = Bundle::get();
    LilvNode* s = lilv_new_string(b.world, symbol);
    const LilvPort* port = lilv_plugin_get_port_by_symbol(b.plugin, s);
    lilv_node_free(s);
    return port ? lilv_port_get_index(b.plugin, port) : UINT32_MAX;
}

const void* portValue(const char* symbol, void* user, uint32_t* size, uint32_t* type)
{
    auto* self = static_cast<Instance*>(user);
    const uint32_t index = portIndex(symbol);
    if (index >= kNumParameterPorts)
        return nullptr;
    *size = sizeof(float);
    *type = Bundle::get().urids.map(LV2_ATOM__Float);
    return &self->control(index);
}

void setPortValue(const char* symbol, void* user, const void* value, uint32_t size, uint32_t type)
{
    const uint32_t index = portIndex(symbol);
    if (index < kNumParameterPorts && size == sizeof(float) && type == Bundle::get().urids.map(LV2_ATOM__Float))
        std::memcpy(&static_cast<Instance*>(user)->control(index), value, sizeof(float));
    else
        ADD_FAILURE() << "unexpected port value for " << symbol;
}

} // namespace

LilvState* Instance::save()
{
    return lilv_state_new_from_instance(bundle.plugin, instance, &bundle.urids.mapFeature, nullptr, nullptr, nullptr,
                                        nullptr, portValue, this, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, nullptr);
}

void Instance::restore(const LilvState* state)
{
    lilv_state_restore(state, instance, setPortValue, this, 0, nullptr);
}

VstTwin::VstTwin(double rate, int32_t maxBlock) : host(TestHost::pluginPath())
{
    host.dispatch(effOpen);
    host.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
    host.dispatch(effSetBlockSize, 0, maxBlock);
    host.dispatch(effMainsChanged, 0, 1);
}

void VstTwin::setCurve(const Curve& points)
{
    for (int i = 0; i < kCurvePoints; ++i)
    {
        host.setParameter(10, static_cast<float>(i));
        host.setParameter(11, static_cast<float>(points[static_cast<size_t>(i)]));
    }
}

Curve VstTwin::curve()
{
    Curve points{};
    for (int i = 0; i < kCurvePoints; ++i)
    {
        host.setParameter(10, static_cast<float>(i));
        points[static_cast<size_t>(i)] = static_cast<int32_t>(host.getParameter(11));
    }
    return points;
}

void VstTwin::controlChange(uint8_t status, uint8_t controller, uint8_t value)
{
    VstMidiEvent midi{};
    midi.type = kVstMidiType;
    midi.byteSize = sizeof midi;
    midi.midiData[0] = static_cast<char>(status);
    midi.midiData[1] = static_cast<char>(controller);
    midi.midiData[2] = static_cast<char>(value);
    VstEvents events{};
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<VstEvent*>(&midi);
    host.dispatch(effProcessEvents, 0, 0, &events);
}

void VstTwin::process(const float* inL, const float* inR, float* outL, float* outR, uint32_t frames)
{
    float* in[2] = {const_cast<float*>(inL), const_cast<float*>(inR)};
    float* out[2] = {outL, outR};
    host.processReplacing(in, out, static_cast<VstInt32>(frames));
}

Curve curveOf(Instance& instance)
{
    instance.getCurve();
    instance.run(0);
    for (const Notification& n : instance.notifications())
        if (n.kind == CurveMessage::Kind::setCurve)
            return n.points;
    ADD_FAILURE() << "no curve on notify after a patch:Get";
    return {};
}

Curve initialCurve()
{
    Curve c{};
    for (int i = 0; i < kCurvePoints; ++i)
        c[static_cast<size_t>(i)] = 128 - i;
    return c;
}

std::vector<float> renderSines(Instance& instance)
{
    std::vector<float> l(2048), r(2048), out(4096);
    for (size_t i = 0; i < l.size(); ++i)
    {
        l[i] = std::sin(0.01f * static_cast<float>(i));
        r[i] = 0.8f * std::sin(0.013f * static_cast<float>(i));
    }
    instance.run(l.data(), r.data(), out.data(), out.data() + 2048, 2048);
    return out;
}

} // namespace dc::lv2test
