#include "lv2/lv2_turtle.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "framework/axo_codes.h"
#include "framework/axo_factory_i.h"
#include "framework/axo_plugin_i.h"
#include "lv2/lv2_port_layout.h"

namespace {

// Factory information strings (see axo_plugin_info).
constexpr int info_full_name = 1;
constexpr int info_short_name = 3;
constexpr int info_vendor = 4;
constexpr int info_description = 6;
constexpr int info_copyright = 7;

// Highest reduction the meter's range shows, in dB; a host may show more.
constexpr float meter_range_db = 60.0f;

const char* const prefixes =
    "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
    "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n\n";

std::string info(axo_factory_i* factory, int index) {
    const char* text = factory->get_info(index);
    return text != nullptr ? text : "";
}

std::string literal(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out + "\"";
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

const char* unit_uri(param_unit unit) {
    switch (unit) {
        case param_unit::decibel: return "units:db";
        case param_unit::millisecond: return "units:ms";
        case param_unit::hertz: return "units:hz";
        case param_unit::percent: return "units:pc";
        case param_unit::none: break;
    }
    return nullptr;
}

struct port_text {
    std::string body;
    void add(const std::string& line) { body += "        " + line + " ;\n"; }
};

std::string port(const char* types, uint32_t index, const std::string& symbol,
                 const std::string& name, const std::string& rest) {
    port_text p;
    p.add(std::string("a ") + types);
    p.add("lv2:index " + std::to_string(index));
    p.add("lv2:symbol " + literal(symbol));
    p.add("lv2:name " + literal(name));
    return "[\n" + p.body + rest + "    ]";
}

std::string control_port(const lv2_port_layout& layout, int k) {
    const lv2_control& c = layout.controls()[static_cast<size_t>(k)];
    port_text p;
    p.add("lv2:default " + number(c.default_value));
    p.add("lv2:minimum " + number(c.minimum));
    p.add("lv2:maximum " + number(c.maximum));
    if (const char* unit = unit_uri(c.kind->unit)) p.add(std::string("units:unit ") + unit);
    if (c.logarithmic) p.add("lv2:portProperty pprops:logarithmic");
    if (c.kind->kind == AXO_KIND_SWITCH) p.add("lv2:portProperty lv2:toggled");
    if (c.kind->kind == AXO_KIND_INTEGER) p.add("lv2:portProperty lv2:integer");
    if (!c.options.empty()) {
        p.add("lv2:portProperty lv2:integer, lv2:enumeration");
        std::string points = "lv2:scalePoint ";
        for (size_t i = 0; i < c.options.size(); ++i) {
            if (i > 0) points += ", ";
            points += "[ rdfs:label " + literal(c.options[i]) + " ; rdf:value " +
                      std::to_string(i) + " ]";
        }
        p.add(points);
    }
    return port("lv2:InputPort, lv2:ControlPort", layout.control(k), c.symbol, c.name, p.body);
}

std::string plugin_description(axo_factory_i* factory, const lv2_variant& variant,
                               const lv2_port_layout& layout, int latency) {
    std::string out = "<" + lv2_plugin_uri(factory, variant) + ">\n";
    out += "    a lv2:Plugin, lv2:LimiterPlugin ;\n";
    out += "    doap:name " + literal(info(factory, info_short_name) + " (" + variant.name + ")") +
           " ;\n";
    out += "    lv2:project <" + info(factory, lv2_uri_info) + "> ;\n";
    out += "    doap:license " + literal(info(factory, info_copyright)) + " ;\n";
    out += "    rdfs:comment " + literal(info(factory, info_description)) + " ;\n";
    out += "    lv2:optionalFeature lv2:hardRTCapable ;\n";

    std::vector<std::string> ports;
    const bool stereo = layout.channels() == 2;
    for (int c = 0; c < layout.channels(); ++c) {
        const std::string side = stereo ? (c == 0 ? "_l" : "_r") : "";
        const std::string label = stereo ? (c == 0 ? " left" : " right") : "";
        ports.push_back(port("lv2:InputPort, lv2:AudioPort", layout.audio_in(c), "in" + side,
                             "Input" + label, ""));
    }
    for (int c = 0; c < layout.channels(); ++c) {
        const std::string side = stereo ? (c == 0 ? "_l" : "_r") : "";
        const std::string label = stereo ? (c == 0 ? " left" : " right") : "";
        ports.push_back(port("lv2:OutputPort, lv2:AudioPort", layout.audio_out(c), "out" + side,
                             "Output" + label, ""));
    }
    for (int k = 0; k < static_cast<int>(layout.controls().size()); ++k) {
        ports.push_back(control_port(layout, k));
    }
    port_text enable;
    enable.add("lv2:default 1");
    enable.add("lv2:minimum 0");
    enable.add("lv2:maximum 1");
    enable.add("lv2:designation lv2:enabled");
    enable.add("lv2:portProperty lv2:toggled");
    ports.push_back(
        port("lv2:InputPort, lv2:ControlPort", layout.enable(), "enable", "Enable", enable.body));
    port_text delay;
    delay.add("lv2:default " + std::to_string(latency));
    delay.add("lv2:minimum 0");
    delay.add("lv2:maximum " + std::to_string(latency));
    delay.add("lv2:portProperty lv2:reportsLatency, lv2:integer, pprops:notOnGUI");
    delay.add("units:unit units:frame");
    ports.push_back(port("lv2:OutputPort, lv2:ControlPort", layout.latency(), "latency", "Latency",
                         delay.body));
    port_text meter;
    meter.add("lv2:default 0");
    meter.add("lv2:minimum 0");
    meter.add("lv2:maximum " + number(meter_range_db));
    meter.add("units:unit units:db");
    ports.push_back(port("lv2:OutputPort, lv2:ControlPort", layout.gain_reduction(),
                         "gain_reduction", "Gain reduction", meter.body));

    out += "    lv2:port ";
    for (size_t i = 0; i < ports.size(); ++i) {
        if (i > 0) out += " , ";
        out += ports[i];
    }
    return out + " .\n\n";
}

}  // namespace

std::string lv2_manifest(axo_factory_i* factory, const std::string& binary,
                         const std::string& description) {
    std::string out =
        "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
        "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n\n";
    for (const lv2_variant& variant : lv2_variants) {
        out += "<" + lv2_plugin_uri(factory, variant) + ">\n    a lv2:Plugin ;\n" +
               "    lv2:binary <" + binary + "> ;\n    rdfs:seeAlso <" + description + "> .\n\n";
    }
    return out;
}

std::string lv2_description(axo_factory_i* factory) {
    std::string out = prefixes;
    for (const lv2_variant& variant : lv2_variants) {
        std::unique_ptr<axo_plugin_i> plugin(factory->create_plugin());
        if (!plugin || plugin->set_channel_count(AXO_DIR_AUDIO_IN, variant.channels) == 0 ||
            plugin->set_channel_count(AXO_DIR_AUDIO_OUT, variant.channels) == 0) {
            return "";
        }
        const lv2_port_layout layout(plugin.get(), variant.channels);
        out += plugin_description(factory, variant, layout, plugin->get_latency());
    }
    out += "<" + info(factory, lv2_uri_info) + ">\n    a doap:Project ;\n";
    out += "    doap:name " + literal(info(factory, info_full_name)) + " ;\n";
    out += "    doap:maintainer [ a foaf:Person ; foaf:name " +
           literal(info(factory, info_vendor)) + " ] .\n";
    return out;
}
