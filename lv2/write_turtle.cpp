// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the bundle's manifest.ttl, quarvine.ttl and presets.ttl from the parameter and preset
// tables, at build time, so that the ports and presets cannot drift from the parameters.
// Usage: quarvine-lv2-turtle OUTPUT-FOLDER PLUGIN-LIBRARY UI-LIBRARY
#include "effect/factory_presets.h"
#include "effect/parameter_table.h"
#include "lv2/port_map.h"

#include <quarvine_version.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

using namespace quarvine;
using namespace quarvine::lv2;

const char* const kPrefixes = "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
                              "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
                              "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
                              "@prefix log: <http://lv2plug.in/ns/ext/log#> .\n"
                              "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                              "@prefix patch: <http://lv2plug.in/ns/ext/patch#> .\n"
                              "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                              "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
                              "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
                              "@prefix rsz: <http://lv2plug.in/ns/ext/resize-port#> .\n"
                              "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
                              "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
                              "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n"
                              "@prefix work: <http://lv2plug.in/ns/ext/worker#> .\n\n";

std::string presetUri(const FactoryPreset& preset)
{
    return std::string(kPluginUri) + "#" + std::string(preset.key);
}

// Shortest text that reads back as the same float.
std::string number(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    std::string result = text;
    if (result.find_first_of(".e") == std::string::npos)
        result += ".0";
    return result;
}

std::string manifest(const std::string& plugin, const std::string& ui)
{
    std::ostringstream out;
    out << kPrefixes;
    out << "<" << kPluginUri << ">\n    a lv2:Plugin ;\n    lv2:binary <" << plugin
        << "> ;\n    rdfs:seeAlso <quarvine.ttl> .\n\n";
    out << "<" << kUiUri << ">\n    a ui:X11UI ;\n    ui:binary <" << ui << "> ;\n    rdfs:seeAlso <quarvine.ttl> .\n";
    for (const FactoryPreset& preset : kFactoryPresets)
        out << "\n<" << presetUri(preset) << ">\n    a pset:Preset ;\n    lv2:appliesTo <" << kPluginUri
            << "> ;\n    rdfs:seeAlso <presets.ttl> .\n";
    return out.str();
}

// Each preset's values by port symbol, in the ports' units; Oversampling is left as it is.
std::string presets()
{
    std::ostringstream out;
    out << kPrefixes;
    for (const FactoryPreset& preset : kFactoryPresets) {
        out << "<" << presetUri(preset) << ">\n    a pset:Preset ;\n    lv2:appliesTo <" << kPluginUri
            << "> ;\n    rdfs:label \"" << preset.name << "\" ;\n    lv2:port ";
        const char* separator = "";
        for (int index = 0; index < kNumParameters; ++index) {
            if (!presetSets(index))
                continue;
            out << separator << "[\n        lv2:symbol \"" << kPortSymbols[index] << "\" ;\n        pset:value "
                << number(portFromParameter(index, presetValue(preset, index))) << "\n    ]";
            separator = " , ";
        }
        out << " .\n\n";
    }
    return out.str();
}

std::string controlPort(int index)
{
    std::ostringstream out;
    out << "[\n        a lv2:InputPort , lv2:ControlPort ;\n"
        << "        lv2:index " << portOfParameter(index) << " ;\n"
        << "        lv2:symbol \"" << kPortSymbols[index] << "\" ;\n"
        << "        lv2:name \"" << kParameterFullNames[index] << "\" ;\n"
        << "        lv2:default " << number(portDefault(index)) << " ;\n"
        << "        lv2:minimum " << number(portMinimum(index)) << " ;\n"
        << "        lv2:maximum " << number(portMaximum(index));
    if (const int positions = switchPositions(index)) {
        out << " ;\n        lv2:portProperty lv2:integer , lv2:enumeration";
        for (int position = 0; position < positions; ++position)
            out << " ;\n        lv2:scalePoint [ rdfs:label \""
                << (index == kCabinet ? kCabinetNames[position] : kOversamplingTexts[position]) << "\" ; rdf:value "
                << position << ".0 ]";
    }
    out << "\n    ]";
    return out.str();
}

std::string audioPort(uint32_t index, const char* direction, const char* symbol, const char* name)
{
    std::ostringstream out;
    out << "[\n        a lv2:" << direction << " , lv2:AudioPort ;\n"
        << "        lv2:index " << index << " ;\n"
        << "        lv2:symbol \"" << symbol << "\" ;\n"
        << "        lv2:name \"" << name << "\"\n    ]";
    return out.str();
}

// The patch messages for the impulse-response property, each way. A patch:Set of the longest path
// fits in the buffer a host is asked for.
std::string atomPort(uint32_t index, const char* direction, const char* symbol, const char* name)
{
    std::ostringstream out;
    out << "[\n        a lv2:" << direction << " , atom:AtomPort ;\n"
        << "        atom:bufferType atom:Sequence ;\n"
        << "        atom:supports patch:Message ;\n"
        << "        lv2:designation lv2:control ;\n"
        // Hosts that pass no messages (lv2apply) leave them unconnected: the file property is
        // then simply not offered.
        << "        lv2:portProperty lv2:connectionOptional ;\n"
        << "        rsz:minimumSize " << 2 * kMaxPathBytes << " ;\n"
        << "        lv2:index " << index << " ;\n"
        << "        lv2:symbol \"" << symbol << "\" ;\n"
        << "        lv2:name \"" << name << "\"\n    ]";
    return out.str();
}

std::string description()
{
    std::ostringstream out;
    out << kPrefixes;
    out << "<" << kPluginUri << ">\n"
        << "    a lv2:Plugin , lv2:SimulatorPlugin , doap:Project ;\n"
        << "    doap:name \"Quarvine\" ;\n"
        << "    doap:license <http://spdx.org/licenses/GPL-3.0-or-later> ;\n"
        << "    doap:maintainer [ a foaf:Person ; foaf:name \"Orn\" ] ;\n"
        // The release's minor and micro version; the major one is in the URI. An even minor
        // version is a stable release to LV2 hosts, 0 an experimental one they may hide.
        << "    lv2:minorVersion " << QUARVINE_VERSION_MINOR << " ;\n    lv2:microVersion " << QUARVINE_VERSION_PATCH
        << " ;\n"
        // run allocates nothing, takes no lock and makes no system call. Without urid:map there is
        // no impulse-response property, without a worker it cannot be set while playing.
        << "    lv2:optionalFeature lv2:hardRTCapable , urid:map , work:schedule , log:log , state:mapPath , "
           "state:freePath ;\n"
        << "    lv2:extensionData work:interface , state:interface ;\n"
        << "    patch:writable <" << kImpulseResponseUri << "> ;\n"
        << "    ui:ui <" << kUiUri << "> ;\n"
        << "    lv2:port ";
    for (int i = 0; i < kCabinet; ++i)
        out << controlPort(i) << " , ";
    out << audioPort(kAudioInPort, "InputPort", "in", "In") << " , "
        << audioPort(kAudioOutPort, "OutputPort", "out", "Out") << " , " << controlPort(kCabinet) << " , "
        << atomPort(kControlPort, "InputPort", "control", "Control") << " , "
        << atomPort(kNotifyPort, "OutputPort", "notify", "Notify") << " .\n\n";
    out << "<" << kImpulseResponseUri << ">\n    a lv2:Parameter ;\n    rdfs:label \"Impulse response\" ;\n"
        << "    rdfs:range atom:Path .\n\n";
    // The UI needs the host's parent window and idle calls (it reads its window's events there);
    // it asks for its size when the host offers resizing. It hears the notify port's patch
    // messages, for the loaded file's name, when the host maps URIDs.
    out << "<" << kUiUri << ">\n"
        << "    a ui:X11UI ;\n"
        << "    lv2:requiredFeature ui:parent , ui:idleInterface ;\n"
        << "    lv2:optionalFeature ui:resize , ui:touch , urid:map ;\n"
        << "    lv2:extensionData ui:idleInterface ;\n"
        << "    ui:portNotification [\n        ui:plugin <" << kPluginUri << "> ;\n        lv2:symbol \"notify\" ;\n"
        << "        ui:portIndex " << kNotifyPort << " ;\n        ui:protocol atom:eventTransfer\n    ] .\n";
    return out.str();
}

bool write(const std::string& path, const std::string& text)
{
    std::ofstream file(path, std::ios::binary);
    file << text;
    file.close();
    if (!file) {
        std::fprintf(stderr, "quarvine-lv2-turtle: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s OUTPUT-FOLDER PLUGIN-LIBRARY UI-LIBRARY\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    return write(folder + "/manifest.ttl", manifest(argv[2], argv[3])) &&
                   write(folder + "/quarvine.ttl", description()) && write(folder + "/presets.ttl", presets())
               ? 0
               : 1;
}
