// Writes the LV2 bundle's Turtle files (manifest, plug-in, presets) from the effect's own
// description in KorWayfarerDsp and the names in Lv2Names.h, at build time. Nothing in them is
// typed twice, so the bundle cannot come to disagree with the VST about a range or a program.
//
//   wayfarer-lv2-turtle BUNDLE_DIR [--ui]      --ui: the bundle has the X11 user interface
#include "Lv2Names.h"
#include "effect/KorWayfarerDsp.h"

#include <cctype>
#include <cstdio>
#include <string>

namespace {

const char* const kPrefixes = "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
                              "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
                              "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                              "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                              "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
                              "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
                              "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
                              "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
                              "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n\n";

// 15 significant digits: what a reader sees of the bound, and a text whose float is the float of
// the value (the tests check this for every value written).
std::string Number(double value)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.15g", value);
    std::string s = text;
    // A Turtle integer literal would make an integer port value of a decimal setting.
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return s;
}

std::string Quoted(const char* text)
{
    std::string s = "\"";
    for (const char* c = text; *c; ++c) {
        if (*c == '"' || *c == '\\') s += '\\';
        s += *c;
    }
    return s + "\"";
}

// "Pan hard left" -> "pan-hard-left": a preset's URI is made from its name once and then kept.
std::string Slug(const char* name)
{
    std::string s;
    for (const char* c = name; *c; ++c) {
        const auto ch = static_cast<unsigned char>(*c);
        if (std::isalnum(ch))
            s += static_cast<char>(std::tolower(ch));
        else if (!s.empty() && s.back() != '-')
            s += '-';
    }
    while (!s.empty() && s.back() == '-') s.pop_back();
    return s;
}

std::string PresetUri(int idx)
{
    return std::string("<") + lv2names::kPresetUriPrefix + Slug(KorWayfarerDsp::GetProgram(idx)->name) + ">";
}

std::string PluginUri() { return std::string("<") + lv2names::kPluginUri + ">"; }

std::string UiUri() { return std::string("<") + lv2names::kUiUri + ">"; }

std::string Manifest(bool withUi)
{
    std::string t = kPrefixes;
    t += PluginUri() + "\n    a lv2:Plugin ;\n    lv2:binary <" + lv2names::kBinaryName + "> ;\n    rdfs:seeAlso <" +
         lv2names::kPluginTurtle + "> .\n";
    if (withUi)
        t += "\n" + UiUri() + "\n    a ui:X11UI ;\n    ui:binary <" + lv2names::kUiBinaryName +
             "> ;\n    rdfs:seeAlso <" + lv2names::kPluginTurtle + "> .\n";
    for (int i = 0; i < KorWayfarerDsp::kNumPrograms; ++i)
        t += "\n" + PresetUri(i) + "\n    a pset:Preset ;\n    lv2:appliesTo " + PluginUri() +
             " ;\n    rdfs:seeAlso <" + lv2names::kPresetsTurtle + "> .\n";
    return t;
}

std::string ControlPort(int idx)
{
    const lv2names::Port& port = lv2names::kPorts[idx];
    std::string t = "        a lv2:InputPort , lv2:ControlPort ;\n        lv2:index " + std::to_string(idx) +
                    " ;\n        lv2:symbol \"" + port.symbol + "\" ;\n";
    if (port.param == KorWayfarerDsp::kPan) {
        t += "        lv2:name " + Quoted(KorWayfarerDsp::kPanName) + " ;\n";
        t += "        lv2:default 0 ;\n        lv2:minimum 0 ;\n        lv2:maximum " +
             std::to_string(KorWayfarerDsp::kNumPanValues - 1) + " ;\n";
        t += "        lv2:portProperty lv2:integer , lv2:enumeration ;\n        lv2:scalePoint ";
        for (int v = 0; v < KorWayfarerDsp::kNumPanValues; ++v) {
            t += std::string(v ? " , " : "") + "[\n            rdfs:label " + Quoted(KorWayfarerDsp::PanValueName(v)) +
                 " ;\n            rdf:value " + std::to_string(v) + "\n        ]";
        }
        t += "\n";
    } else {
        const double bound = KorWayfarerDsp::WetMixBound();
        t += "        lv2:name " + Quoted(KorWayfarerDsp::kWetMixName) + " ;\n";
        t += "        lv2:default 0.0 ;\n        lv2:minimum " + Number(-bound) + " ;\n        lv2:maximum " +
             Number(bound) + "\n";
    }
    return t;
}

std::string AudioPort(int idx)
{
    const lv2names::Port& port = lv2names::kPorts[idx];
    return std::string("        a ") + (port.input ? "lv2:InputPort" : "lv2:OutputPort") +
           " , lv2:AudioPort ;\n        lv2:index " + std::to_string(idx) + " ;\n        lv2:symbol \"" + port.symbol +
           "\" ;\n        lv2:name " + Quoted(port.name) + "\n";
}

// The editor in the host's X11 window, told of both control ports' values.
std::string Ui()
{
    std::string t = "\n" + UiUri() + "\n    a ui:X11UI ;\n";
    t += "    lv2:requiredFeature ui:idleInterface , ui:parent ;\n";
    t += "    lv2:optionalFeature ui:resize , ui:touch ;\n";
    t += "    lv2:extensionData ui:idleInterface ;\n";
    t += "    ui:portNotification ";
    bool first = true;
    for (const lv2names::Port& port : lv2names::kPorts) {
        if (port.audio) continue;
        t += std::string(first ? "" : " , ") + "[\n        ui:plugin " + PluginUri() + " ;\n        lv2:symbol \"" +
             port.symbol + "\" ;\n        ui:protocol ui:floatProtocol\n    ]";
        first = false;
    }
    return t + " .\n";
}

std::string Plugin(bool withUi)
{
    const int version = KorWayfarerDsp::kVersion;
    std::string t = kPrefixes;
    t += PluginUri() + "\n    a lv2:Plugin , lv2:SpatialPlugin , doap:Project ;\n";
    t += "    doap:name " + Quoted(KorWayfarerDsp::kEffectName) + " ;\n";
    t += "    doap:maintainer [\n        foaf:name " + Quoted(KorWayfarerDsp::kMakerName) + "\n    ] ;\n";
    t += "    lv2:minorVersion " + std::to_string((version >> 8) & 0xff) + " ;\n";
    t += "    lv2:microVersion " + std::to_string(version & 0xff) + " ;\n";
    t += "    lv2:optionalFeature lv2:hardRTCapable , urid:map ;\n";
    t += "    lv2:extensionData state:interface ;\n";
    if (withUi) t += "    ui:ui " + UiUri() + " ;\n";
    t += "    lv2:port ";
    for (int i = 0; i < lv2names::kNumPorts; ++i) {
        t += std::string(i ? " , " : "") + "[\n";
        t += lv2names::kPorts[i].audio ? AudioPort(i) : ControlPort(i);
        t += "    ]";
    }
    t += " .\n";
    return withUi ? t + Ui() : t;
}

std::string Presets()
{
    std::string t = kPrefixes;
    for (int i = 0; i < KorWayfarerDsp::kNumPrograms; ++i) {
        const KorWayfarerDsp::Program& program = *KorWayfarerDsp::GetProgram(i);
        t += PresetUri(i) + "\n    a pset:Preset ;\n    lv2:appliesTo " + PluginUri() + " ;\n";
        t += "    rdfs:label " + Quoted(program.name) + " ;\n";
        t += "    lv2:port [\n        lv2:symbol \"" + std::string(lv2names::kPorts[lv2names::kPan].symbol) +
             "\" ;\n        pset:value " + Number(program.pan) + "\n    ] , [\n        lv2:symbol \"" +
             lv2names::kPorts[lv2names::kWetMix].symbol + "\" ;\n        pset:value " + Number(program.wetMix) +
             "\n    ] .\n\n";
    }
    return t;
}

bool Write(const std::string& dir, const char* name, const std::string& text)
{
    const std::string path = dir + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "wayfarer-lv2-turtle: cannot write %s\n", path.c_str());
        return false;
    }
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char** argv)
{
    const bool withUi = argc == 3 && std::string(argv[2]) == "--ui";
    if (argc != 2 && !withUi) {
        std::fprintf(stderr, "usage: wayfarer-lv2-turtle BUNDLE_DIR [--ui]\n");
        return 2;
    }
    const std::string dir = argv[1];
    const bool ok = Write(dir, "manifest.ttl", Manifest(withUi)) &&
                    Write(dir, lv2names::kPluginTurtle, Plugin(withUi)) &&
                    Write(dir, lv2names::kPresetsTurtle, Presets());
    return ok ? 0 : 1;
}
