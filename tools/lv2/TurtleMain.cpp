// Writes the bundle's Turtle description from the control table, so that every port's
// name, range and start value are the panel's own: quorvel-lv2-turtle BUNDLE_FOLDER.

#include "PluginPorts.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

namespace {

std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + '"';
}

const char* groupNote(ExclusiveGroup group) {
    switch (group) {
    case ExclusiveGroup::Shift: return "One of the shift buttons: pressing it releases the others.";
    case ExclusiveGroup::Input: return "One of the input modes: pressing it releases the others.";
    case ExclusiveGroup::Width: return "One of the filter widths: pressing it releases the others.";
    case ExclusiveGroup::Carrier: return "One of the carriers: pressing it releases the others.";
    case ExclusiveGroup::SliderMode:
        return "One of the banks the channel sliders show: pressing it releases the others.";
    case ExclusiveGroup::None: break;
    }
    return "";
}

void controlPort(std::ostream& out, std::uint32_t index, ControlId id) {
    const ControlInfo& info = controlInfo(id);
    out << "  [\n    a lv2:InputPort , lv2:ControlPort ;\n"
        << "    lv2:index " << index << " ;\n"
        << "    lv2:symbol " << quoted(plugin_ports::symbolOf(info.name)) << " ;\n"
        << "    lv2:name " << quoted(info.name) << " ;\n"
        << "    lv2:default " << info.start << " ;\n"
        << "    lv2:minimum " << info.minimum << " ;\n"
        << "    lv2:maximum " << info.maximum << " ;\n";
    switch (info.kind) {
    case ControlKind::ParameterSlider:
    case ControlKind::ChannelSlider:
        out << "    lv2:portProperty lv2:integer ;\n";
        if (info.kind == ControlKind::ChannelSlider)
            out << "    rdfs:comment \"The channel's slider in the bank the bank buttons show.\" ;\n";
        break;
    case ControlKind::Toggle:
        out << "    lv2:portProperty lv2:toggled ;\n";
        break;
    case ControlKind::Exclusive:
        out << "    lv2:portProperty lv2:toggled ;\n"
            << "    rdfs:comment " << quoted(groupNote(info.group)) << " ;\n";
        break;
    case ControlKind::Push:
        out << "    lv2:portProperty lv2:toggled , pprops:trigger ;\n"
            << "    rdfs:comment \"Acts once each time it goes to 1.\" ;\n";
        break;
    case ControlKind::None:
        break;
    }
    out << "  ]";
}

void audioPort(std::ostream& out, std::uint32_t index, bool input, const char* symbol, const char* name,
               const char* more = "") {
    out << "  [\n    a lv2:AudioPort , " << (input ? "lv2:InputPort" : "lv2:OutputPort") << " ;\n"
        << "    lv2:index " << index << " ;\n    lv2:symbol \"" << symbol << "\" ;\n    lv2:name \"" << name
        << "\" ;\n"
        << more << "  ]";
}

bool writePlugin(const std::string& path) {
    namespace p = plugin_ports;
    std::ofstream out(path);
    out << "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
           "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
           "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
           "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
           "@prefix midi: <http://lv2plug.in/ns/ext/midi#> .\n"
           "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
           "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
           "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
           "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
           "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n\n"
        << "<" << p::kUri << ">\n"
        << "  a lv2:Plugin , lv2:SpectralPlugin , doap:Project ;\n"
           "  doap:name \"QUORVEL\" ;\n"
           "  doap:shortdesc \"18-channel vocoder\" ;\n"
           "  doap:maintainer [ foaf:name \"QUORVEL\" ] ;\n"
           "  rdfs:comment \"An 18-channel vocoder: the left input is the voice (the modulator), the right "
           "input, or a side-chain, the external carrier; the internal pulse, chords and noise need no "
           "carrier input. Notes set the internal carrier's pitch; control changes reach the controls "
           "through the 20 MIDI assignments kept in the plugin's state.\" ;\n"
           "  lv2:minorVersion 0 ;\n  lv2:microVersion 0 ;\n"
           "  lv2:optionalFeature lv2:hardRTCapable , urid:map ;\n"
           "  lv2:extensionData state:interface ;\n"
           "  lv2:port\n";
    audioPort(out, p::InLeft, true, "in_left", "Left In",
              "    rdfs:comment \"The modulator in the L/R input mode (the voice).\" ;\n");
    out << " ,\n";
    audioPort(out, p::InRight, true, "in_right", "Right In",
              "    lv2:portProperty lv2:isSideChain ;\n"
              "    rdfs:comment \"The external carrier in the L/R input mode (Extrn).\" ;\n");
    out << " ,\n";
    audioPort(out, p::OutLeft, false, "out_left", "Left Out");
    out << " ,\n";
    audioPort(out, p::OutRight, false, "out_right", "Right Out");
    out << " ,\n  [\n    a lv2:InputPort , atom:AtomPort ;\n"
        << "    atom:bufferType atom:Sequence ;\n    atom:supports midi:MidiEvent ;\n"
        << "    lv2:designation lv2:control ;\n    lv2:portProperty lv2:connectionOptional ;\n"
        << "    lv2:index " << p::MidiIn << " ;\n    lv2:symbol \"midi_in\" ;\n    lv2:name \"MIDI In\" ;\n  ] ,\n"
        << "  [\n    a lv2:OutputPort , lv2:ControlPort ;\n"
        << "    lv2:designation lv2:latency ;\n    lv2:portProperty lv2:reportsLatency , lv2:integer ;\n"
        << "    units:unit units:frame ;\n"
        << "    lv2:index " << p::Latency << " ;\n    lv2:symbol \"latency\" ;\n    lv2:name \"Latency\" ;\n"
        << "    lv2:minimum 0 ;\n    lv2:maximum 4096 ;\n  ]";
    for (std::size_t i = 0; i < p::kControlPorts; ++i) {
        out << " ,\n";
        controlPort(out, p::kFirstControl + static_cast<std::uint32_t>(i), p::kControls[i]);
    }
    out << " ,\n  [\n    a lv2:InputPort , lv2:ControlPort ;\n"
        << "    lv2:index " << p::kAir << " ;\n    lv2:symbol \"air\" ;\n    lv2:name \"Air\" ;\n"
        << "    lv2:default 0 ;\n    lv2:minimum 0 ;\n    lv2:maximum 1 ;\n"
        << "    lv2:portProperty lv2:toggled ;\n"
        << "    rdfs:comment \"Adds the voice's own band above 5.6 kHz, the top of its hiss, with the "
           "sibilance band's gain. Off, the sound is the panel's exactly.\" ;\n  ]";
    out << " .\n";
    return bool(out.flush());
}

bool writeManifest(const std::string& path) {
    std::ofstream out(path);
    out << "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
           "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n\n"
        << "<" << plugin_ports::kUri << ">\n  a lv2:Plugin ;\n"
        << "  lv2:binary <" << plugin_ports::kBinary << "> ;\n"
        << "  rdfs:seeAlso <quorvel.ttl> .\n";
    return bool(out.flush());
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: quorvel-lv2-turtle BUNDLE_FOLDER\n";
        return 2;
    }
    const std::string folder = argv[1];
    if (!writeManifest(folder + "/manifest.ttl") || !writePlugin(folder + "/quorvel.ttl")) {
        std::cerr << "quorvel-lv2-turtle: cannot write into " << folder << '\n';
        return 1;
    }
    return 0;
}
