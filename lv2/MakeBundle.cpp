// Writes the bundle's Turtle from the code's own tables: manifest.ttl,
// DitherCrunch.ttl (ports with the effect's defaults, features, extension
// data, the curve property, the project) and presets/NAME.ttl for every
// factory preset.
//
//   dc_make_bundle FOLDER MINOR MICRO LICENSE_URI [--ui]
#include "engine/Vivuzudid.h"
#include "lv2/DitherCrunchLv2.h"
#include "lv2/PortTable.h"
#include "resources/presets/FactoryPresets.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

using namespace DitherCrunchLv2;

namespace {

const char* const kPrefixes = R"(@prefix atom:  <http://lv2plug.in/ns/ext/atom#> .
@prefix doap:  <http://usefulinc.com/ns/doap#> .
@prefix foaf:  <http://xmlns.com/foaf/0.1/> .
@prefix idpy:  <http://harrisonconsoles.com/lv2/inlinedisplay#> .
@prefix lv2:   <http://lv2plug.in/ns/lv2core#> .
@prefix midi:  <http://lv2plug.in/ns/ext/midi#> .
@prefix patch: <http://lv2plug.in/ns/ext/patch#> .
@prefix pset:  <http://lv2plug.in/ns/ext/presets#> .
@prefix rdf:   <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .
@prefix rdfs:  <http://www.w3.org/2000/01/rdf-schema#> .
@prefix rsz:   <http://lv2plug.in/ns/ext/resize-port#> .
@prefix state: <http://lv2plug.in/ns/ext/state#> .
@prefix ui:    <http://lv2plug.in/ns/extensions/ui#> .
@prefix urid:  <http://lv2plug.in/ns/ext/urid#> .
@prefix xsd:   <http://www.w3.org/2001/XMLSchema#> .

)";

// A float as a Turtle decimal that reads back as the same float.
std::string decimal(float v)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, v).ptr;
    std::string s(text, end);
    if (s.find_first_of(".e") == std::string::npos)
        s += ".0";
    return s;
}

std::string uri(const char* u)
{
    return std::string("<") + u + ">";
}

std::string presetUri(const std::string& name)
{
    return uri((kPresetUriPrefix + FactoryPresets::slug(name)).c_str());
}

// The curve as state stores it: a vector of 128 atom:Int.
std::string curveVector(const int32_t* points, const char* indent)
{
    std::ostringstream out;
    out << "[\n" << indent << "\ta atom:Vector ;\n" << indent << "\tatom:childType atom:Int ;\n" << indent
        << "\trdf:value (";
    for (int i = 0; i < kCurvePoints; ++i)
    {
        if (i % 8 == 0)
            out << "\n\t\t" << indent;
        else
            out << ' ';
        out << '"' << points[i] << "\"^^xsd:int";
    }
    out << "\n" << indent << "\t)\n" << indent << "]";
    return out.str();
}

std::string portText(uint32_t index, float defaultValue)
{
    const PortInfo& port = kPorts[index];
    std::ostringstream out;
    out << "[\n";
    switch (port.kind)
    {
    case PortInfo::Kind::control:
    case PortInfo::Kind::toggle:
    case PortInfo::Kind::choice:
        out << "\t\ta lv2:InputPort , lv2:ControlPort ;\n";
        break;
    case PortInfo::Kind::audioIn:
        out << "\t\ta lv2:InputPort , lv2:AudioPort ;\n";
        break;
    case PortInfo::Kind::audioOut:
        out << "\t\ta lv2:OutputPort , lv2:AudioPort ;\n";
        break;
    case PortInfo::Kind::atomIn:
    case PortInfo::Kind::atomOut:
        out << "\t\ta " << (port.kind == PortInfo::Kind::atomIn ? "lv2:InputPort" : "lv2:OutputPort")
            << " , atom:AtomPort ;\n\t\tatom:bufferType atom:Sequence ;\n\t\tatom:supports "
            << (port.kind == PortInfo::Kind::atomIn ? "midi:MidiEvent , patch:Message" : "patch:Message")
            << " ;\n\t\tlv2:designation lv2:control ;\n\t\trsz:minimumSize " << kAtomBufferBytes << " ;\n";
        break;
    }
    out << "\t\tlv2:index " << index << " ;\n\t\tlv2:symbol \"" << port.symbol << "\" ;\n\t\tlv2:name \"" << port.name
        << "\"";
    if (index < kNumParameterPorts)
    {
        out << " ;\n\t\tlv2:default " << decimal(defaultValue) << " ;\n\t\tlv2:minimum 0.0 ;\n\t\tlv2:maximum 1.0";
        if (port.kind == PortInfo::Kind::toggle)
            out << " ;\n\t\tlv2:portProperty lv2:toggled";
        if (port.kind == PortInfo::Kind::choice)
        {
            out << " ;\n\t\tlv2:portProperty lv2:enumeration ;\n\t\tlv2:scalePoint";
            for (int i = 0; i < 4; ++i)
                out << (i ? " ," : "") << " [\n\t\t\trdfs:label \"" << kFilterTypes[i].label
                    << "\" ;\n\t\t\trdf:value " << kFilterTypes[i].value << "\n\t\t]";
        }
    }
    out << "\n\t]";
    return out.str();
}

const char* const kPortComments[kNumPorts] = {
    "Gain before the shaper; 0.5 is unity, 1 is four times.",
    "Equal-power balance of the two inputs before the shaper.",
    "Output level after the shaper and the post filter.",
    "The drawn curve on or bypassed.",
    "Share of the processed signal in the output.",
    "Filter before the shaper: off, low-pass, band-pass or high-pass.",
    "Cutoff of the pre filter, 21.5 Hz to 14.7 kHz on an exponential scale.",
    "Filter after the shaper: off, low-pass, band-pass or high-pass.",
    "Cutoff of the post filter, 21.5 Hz to 14.7 kHz on an exponential scale.",
    "Left audio input.",
    "Right audio input.",
    "Left audio output.",
    "Right audio output.",
    "MIDI control changes 70 to 72 (pre gain, pre pan, post gain) and the curve's patch messages.",
    "The curve and the shaper's last curve indices, as patch messages.",
};

std::string pluginTurtle(int minor, int micro, const char* license, bool withUi)
{
    Vivuzudid effect(nullptr);
    int32_t curve[kCurvePoints];
    effect.getCurve(curve);

    std::ostringstream out;
    out << kPrefixes;
    out << "idpy:interface a lv2:ExtensionData .\nidpy:queue_draw a lv2:Feature .\n\n";
    out << uri(kCurveUri) << "\n\ta lv2:Parameter ;\n\trdfs:label \"Curve\" ;\n"
        << "\trdfs:comment \"The 128 points of the drawn curve: point i sets the output level (128 - value) / 128 for "
           "the inputs that map to i.\" ;\n\trdfs:range atom:Vector .\n\n";
    out << uri(kLastIndexUri) << "\n\ta lv2:Parameter ;\n\trdfs:label \"Last curve indices\" ;\n"
        << "\trdfs:comment \"The curve points the shaper used last on the left and right channel.\" ;\n"
        << "\trdfs:range atom:Vector .\n\n";
    const std::string project = std::string("<") + kPluginUri + "#project>";
    out << project << "\n\ta doap:Project ;\n\tdoap:name \"DitherCrunch\" ;\n\tdoap:license <" << license
        << "> ;\n\tdoap:maintainer [\n\t\ta foaf:Organization ;\n\t\tfoaf:name \"Tarnby Audio\"\n\t] .\n\n";

    out << uri(kPluginUri) << "\n\ta lv2:Plugin , lv2:WaveshaperPlugin , doap:Project ;\n"
        << "\tdoap:name \"DitherCrunch\" ;\n\tdoap:license <" << license << "> ;\n"
        << "\tdoap:maintainer [\n\t\ta foaf:Organization ;\n\t\tfoaf:name \"Tarnby Audio\"\n\t] ;\n"
        << "\tdoap:shortdesc \"Waveshaper with a hand-drawn curve\" ;\n"
        << "\trdfs:comment \"A stereo waveshaper whose transfer curve you draw: 128 points on a logarithmic input "
           "scale, each setting the output level in steps of 1/128. Around it a pre-gain with equal-power pan, pre "
           "and post state-variable filters, a post-gain and a wet/dry mix.\" ;\n"
        << "\tlv2:project " << project << " ;\n"
        << "\tlv2:minorVersion " << minor << " ;\n\tlv2:microVersion " << micro << " ;\n"
        << "\tlv2:requiredFeature urid:map ;\n"
        << "\tlv2:optionalFeature lv2:hardRTCapable , idpy:queue_draw , state:loadDefaultState , "
           "state:threadSafeRestore ;\n"
        << "\tlv2:extensionData state:interface , idpy:interface ;\n"
        // The curve is set with patch:Set all the same; listed as writable,
        // Ardour 7 reports its vector type as an error at every load.
        << "\tpatch:readable " << uri(kCurveUri) << " , " << uri(kLastIndexUri) << " ;\n";
    if (withUi)
        out << "\tui:ui " << uri(kUiUri) << " ;\n";
    out << "\tstate:state [\n\t\t" << uri(kCurveUri) << " " << curveVector(curve, "\t\t") << "\n\t] ;\n";
    out << "\tlv2:port ";
    for (uint32_t i = 0; i < kNumPorts; ++i)
    {
        std::string port = portText(i, i < kNumParameterPorts ? effect.getParameter(static_cast<VstInt32>(i)) : 0.0f);
        // Every port has its comment after its name.
        const std::string nameLine = std::string("lv2:name \"") + kPorts[i].name + "\"";
        port.replace(port.find(nameLine), nameLine.size(),
                     nameLine + " ;\n\t\trdfs:comment \"" + kPortComments[i] + "\"");
        out << (i ? " , " : "") << port;
    }
    out << " .\n";
    return out.str();
}

std::string manifestTurtle(bool withUi)
{
    std::ostringstream out;
    out << kPrefixes;
    out << uri(kPluginUri) << "\n\ta lv2:Plugin ;\n\tlv2:binary <DitherCrunch.so> ;\n"
        << "\trdfs:seeAlso <DitherCrunch.ttl> .\n\n";
    if (withUi)
        out << uri(kUiUri) << "\n\ta ui:X11UI ;\n\tui:binary <DitherCrunch_ui.so> ;\n"
            << "\trdfs:seeAlso <DitherCrunch_ui.ttl> .\n\n";
    for (const auto& preset : FactoryPresets::all())
        out << presetUri(preset.name) << "\n\ta pset:Preset ;\n\tlv2:appliesTo " << uri(kPluginUri)
            << " ;\n\trdfs:label \"" << preset.name << "\" ;\n\trdfs:seeAlso <presets/"
            << FactoryPresets::slug(preset.name) << ".ttl> .\n\n";
    return out.str();
}

std::string presetTurtle(const FactoryPresets::Preset& preset)
{
    std::ostringstream out;
    out << kPrefixes;
    out << presetUri(preset.name) << "\n\ta pset:Preset ;\n\tlv2:appliesTo " << uri(kPluginUri) << " ;\n"
        << "\trdfs:label \"" << preset.name << "\" ;\n\trdfs:comment \"" << preset.description << "\" ;\n"
        << "\tlv2:port ";
    for (uint32_t i = 0; i < kNumParameterPorts; ++i)
        out << (i ? " , " : "") << "[\n\t\tlv2:symbol \"" << kPorts[i].symbol << "\" ;\n\t\tpset:value "
            << decimal(preset.parameters[i]) << "\n\t]";
    out << " ;\n\tstate:state [\n\t\t" << uri(kCurveUri) << " " << curveVector(preset.curve.data(), "\t\t")
        << "\n\t] .\n";
    return out.str();
}

bool write(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream file(path, std::ios::trunc);
    file << text;
    file.close();
    if (!file)
        std::fprintf(stderr, "dc_make_bundle: cannot write %s\n", path.c_str());
    return static_cast<bool>(file);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 5 || argc > 6 || (argc == 6 && std::strcmp(argv[5], "--ui") != 0))
    {
        std::fprintf(stderr, "usage: %s FOLDER MINOR MICRO LICENSE_URI [--ui]\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const bool withUi = argc == 6;
    std::error_code error;
    std::filesystem::create_directories(folder / "presets", error);
    bool ok = write(folder / "manifest.ttl", manifestTurtle(withUi)) &&
              write(folder / "DitherCrunch.ttl", pluginTurtle(std::atoi(argv[2]), std::atoi(argv[3]), argv[4], withUi));
    for (const auto& preset : FactoryPresets::all())
        ok = ok && write(folder / "presets" / (FactoryPresets::slug(preset.name) + ".ttl"), presetTurtle(preset));
    return ok ? 0 : 1;
}
