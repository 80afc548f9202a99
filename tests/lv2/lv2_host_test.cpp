// The LV2 bundle as a host finds and runs it: lilv loads it from the build tree through
// LV2_PATH. Its description is checked against the plug-in's own AXOI answers (reached
// through the VST module's get_axoi), and its audio against the VST module's.
#include <gtest/gtest.h>
#include <lilv/lilv.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "framework/axo_codes.h"
#include "framework/axo_curve.h"
#include "framework/axo_factory_i.h"
#include "framework/axo_plugin_i.h"
#include "glue/exposed_params.h"
#include "glue/param_kind.h"
#include "module_loader.h"
#include "support/vst_effect.h"
#include "vst/base/vst_abi.h"

namespace {

constexpr const char* stereo_uri = "https://tarnwick.example/zandor-limiter#stereo";
constexpr const char* mono_uri = "https://tarnwick.example/zandor-limiter#mono";
constexpr double rate = 44100.0;
constexpr int latency = 64;

using axoi_main = axo_factory_i* (*)(int);

// The world every test shares: loading it scans LV2_PATH once.
LilvWorld* world() {
    static LilvWorld* w = [] {
        LilvWorld* made = lilv_world_new();
        lilv_world_load_all(made);
        return made;
    }();
    return w;
}

struct node {
    LilvNode* n;
    explicit node(const char* uri) : n(lilv_new_uri(world(), uri)) {}
    ~node() { lilv_node_free(n); }
    node(const node&) = delete;
    node& operator=(const node&) = delete;
};

const LilvPlugin* find_plugin(const char* uri) {
    node u(uri);
    return lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world()), u.n);
}

const LilvPort* port(const LilvPlugin* plugin, const char* symbol) {
    LilvNode* s = lilv_new_string(world(), symbol);
    const LilvPort* p = lilv_plugin_get_port_by_symbol(plugin, s);
    lilv_node_free(s);
    return p;
}

// One running LV2 instance with its ports connected to buffers of this object.
struct lv2_run {
    const LilvPlugin* plugin;
    LilvInstance* instance = nullptr;
    int channels;
    std::vector<float> controls;
    std::vector<std::vector<float>> in, out;

    lv2_run(const char* uri, int channel_count, int frames)
        : plugin(find_plugin(uri)), channels(channel_count) {
        if (plugin == nullptr) return;
        const uint32_t ports = lilv_plugin_get_num_ports(plugin);
        controls.assign(ports, 0.0f);
        std::vector<float> defaults(ports);
        lilv_plugin_get_port_ranges_float(plugin, nullptr, nullptr, defaults.data());
        in.assign(static_cast<size_t>(channels), std::vector<float>(static_cast<size_t>(frames)));
        out = in;
        instance = lilv_plugin_instantiate(plugin, rate, nullptr);
        if (instance == nullptr) return;
        for (uint32_t i = 0; i < ports; ++i) {
            if (!std::isnan(defaults[i])) controls[i] = defaults[i];
            lilv_instance_connect_port(instance, i, &controls[i]);
        }
        for (int c = 0; c < channels; ++c) {
            lilv_instance_connect_port(instance, static_cast<uint32_t>(c), in[c].data());
            lilv_instance_connect_port(instance, static_cast<uint32_t>(channels + c),
                                       out[c].data());
        }
        lilv_instance_activate(instance);
    }
    ~lv2_run() {
        if (instance == nullptr) return;
        lilv_instance_deactivate(instance);
        lilv_instance_free(instance);
    }
    float& control(const std::string& symbol) {
        return controls[lilv_port_get_index(plugin, port(plugin, symbol.c_str()))];
    }
    void run(int frames) { lilv_instance_run(instance, static_cast<uint32_t>(frames)); }
};

float test_signal(int channel, int t, float amplitude) {
    return amplitude * static_cast<float>(std::sin(0.0731 * t + 1.3 * channel));
}

void fill(lv2_run& r, float amplitude, int offset = 0) {
    for (int c = 0; c < r.channels; ++c) {
        for (size_t t = 0; t < r.in[c].size(); ++t) {
            r.in[c][t] = test_signal(c, offset + static_cast<int>(t), amplitude);
        }
    }
}

// The plug-in's own answers, from a fresh instance made by the VST module's get_axoi.
struct axoi_plugin {
    module_loader module{ZANDOR_MODULE_PATH};
    std::unique_ptr<axo_factory_i> factory;
    std::unique_ptr<axo_plugin_i> plugin;
    axoi_plugin() {
        auto get_axoi = reinterpret_cast<axoi_main>(module.symbol("get_axoi"));
        if (get_axoi != nullptr) factory.reset(get_axoi(0));
        if (factory) plugin.reset(factory->create_plugin());
    }
    ~axoi_plugin() {
        plugin.reset();
        factory.reset();
    }
};

// The port symbol of a parameter: its name in lower case.
std::string symbol_of(axo_plugin_i* p, int param) {
    std::string symbol = p->get_param_name(param);
    for (char& c : symbol) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return symbol;
}

float in_unit(const param_kind* kind, float value) {
    return static_cast<float>(kind->to_unit(value));
}

}  // namespace

TEST(Lv2Bundle, DescribesEachExposedParameterInItsUnitWithTheLimiterPorts) {
    axoi_plugin axoi;
    ASSERT_TRUE(axoi.plugin) << axoi.module.error();
    axo_plugin_i* p = axoi.plugin.get();
    node logarithmic("http://lv2plug.in/ns/ext/port-props#logarithmic");
    node reports_latency(LILV_NS_LV2 "reportsLatency");
    node enabled(LILV_NS_LV2 "enabled");
    node limiter_class(LILV_NS_LV2 "LimiterPlugin");
    node rdf_type(LILV_NS_RDF "type");
    for (const auto& [uri, channels] : {std::pair{stereo_uri, 2}, std::pair{mono_uri, 1}}) {
        SCOPED_TRACE(uri);
        const LilvPlugin* plugin = find_plugin(uri);
        ASSERT_NE(plugin, nullptr);
        LilvNodes* types = lilv_plugin_get_value(plugin, rdf_type.n);
        EXPECT_TRUE(lilv_nodes_contains(types, limiter_class.n));
        lilv_nodes_free(types);
        // Audio in and out, the parameters, then enable, latency and gain_reduction.
        EXPECT_EQ(lilv_plugin_get_num_ports(plugin),
                  static_cast<uint32_t>(2 * channels + count_exposed_params(p) + 3));

        for (int i = 0; i < p->get_param_count(); ++i) {
            if (!is_exposed_param(p, i)) continue;
            const std::string symbol = symbol_of(p, i);
            SCOPED_TRACE(symbol);
            const LilvPort* lp = port(plugin, symbol.c_str());
            ASSERT_NE(lp, nullptr);
            const param_kind* kind = find_param_kind(p->get_param_kind(i));
            LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
            lilv_port_get_range(plugin, lp, &def, &min, &max);
            const float tolerance = 1e-4f;
            EXPECT_NEAR(lilv_node_as_float(min),
                        in_unit(kind, p->get_param_range(i, AXO_RANGE_MIN)), tolerance);
            EXPECT_NEAR(lilv_node_as_float(max),
                        in_unit(kind, p->get_param_range(i, AXO_RANGE_MAX)), tolerance);
            EXPECT_NEAR(lilv_node_as_float(def), in_unit(kind, p->get_param_value(i)), tolerance);
            lilv_node_free(def);
            lilv_node_free(min);
            lilv_node_free(max);
            EXPECT_EQ(lilv_port_has_property(plugin, lp, logarithmic.n),
                      p->get_param_curve(i) == AXO_CURVE_EXP);
        }
        EXPECT_TRUE(lilv_port_has_property(plugin, port(plugin, "latency"), reports_latency.n));
        LilvNode* designation = lilv_new_uri(world(), LILV_NS_LV2 "designation");
        LilvNode* enable = lilv_port_get(plugin, port(plugin, "enable"), designation);
        EXPECT_TRUE(lilv_node_equals(enable, enabled.n));
        lilv_node_free(enable);
        lilv_node_free(designation);
        EXPECT_NE(port(plugin, "gain_reduction"), nullptr);
    }
}

// The plug-in decides, as for every host: within 1 Hz of an edge counts as the edge.
TEST(Lv2Bundle, RefusesSampleRatesOutsideFourToOneHundredNinetyTwoKilohertz) {
    const LilvPlugin* plugin = find_plugin(stereo_uri);
    ASSERT_NE(plugin, nullptr);
    for (double r : {3998.0, 192002.0, 0.0, -44100.0, 1e300, std::nan("")}) {
        LilvInstance* instance = lilv_plugin_instantiate(plugin, r, nullptr);
        EXPECT_EQ(instance, nullptr) << r;
        if (instance != nullptr) lilv_instance_free(instance);
    }
    for (double r : {4000.0, 192000.0}) {
        LilvInstance* instance = lilv_plugin_instantiate(plugin, r, nullptr);
        EXPECT_NE(instance, nullptr) << r;
        if (instance != nullptr) lilv_instance_free(instance);
    }
}

TEST(Lv2Bundle, ReportsLatencyAndMetersNoReductionOnQuietInputAndTheLimitedAmountOtherwise) {
    for (const auto& [uri, channels] : {std::pair{stereo_uri, 2}, std::pair{mono_uri, 1}}) {
        SCOPED_TRACE(uri);
        lv2_run r(uri, channels, 4096);
        ASSERT_NE(r.instance, nullptr);
        fill(r, 0.5f);
        r.run(4096);
        EXPECT_EQ(r.control("latency"), static_cast<float>(latency));
        EXPECT_EQ(r.control("gain_reduction"), 0.0f);
        // A block of no frames changes nothing and meters nothing.
        r.run(0);
        EXPECT_EQ(r.control("gain_reduction"), 0.0f);

        // Peaks at full scale, driven 6 dB over it by the threshold: the gain falls by 6 dB.
        r.control("threshold") = -6.0f;
        fill(r, 1.0f);
        r.run(4096);
        EXPECT_NEAR(r.control("gain_reduction"), 6.0f, 0.05f);
        // A bypassed limiter reduces nothing that is heard.
        r.control("enable") = 0.0f;
        r.run(4096);
        EXPECT_EQ(r.control("gain_reduction"), 0.0f);
    }
}

TEST(Lv2Bundle, BypassDelaysTheInputByTheLatencyAndSwitchesWithoutAJumpInTime) {
    constexpr int block = 1000;
    lv2_run r(stereo_uri, 2, block);
    ASSERT_NE(r.instance, nullptr);
    for (int b = 0; b < 4; ++b) {
        // Limited, then bypassed, then limited again; in place half of the time.
        r.control("enable") = b == 1 || b == 3 ? 0.0f : 1.0f;
        fill(r, 0.5f, b * block);
        if (b >= 2) lilv_instance_connect_port(r.instance, 2, r.in[0].data());
        r.run(block);
        const float* out = b >= 2 ? r.in[0].data() : r.out[0].data();
        for (int t = 0; t < block; ++t) {
            // Below the threshold the limiter passes the delayed input unchanged, bypassed too.
            const float expected = test_signal(0, b * block + t - latency, 0.5f);
            const float got = out[t];
            if (b * block + t < latency) {
                EXPECT_EQ(got, 0.0f);
            } else {
                ASSERT_NEAR(got, expected, 1e-6f) << "block " << b << " frame " << t;
            }
            if (r.control("enable") == 0.0f && b * block + t >= latency) {
                ASSERT_EQ(got, expected) << "bypassed, block " << b << " frame " << t;
            }
        }
    }
}

namespace {

// A port value and a VST position that give the parameter exactly the same value: the
// VST side maps a position through the parameter's curve, the LV2 side converts the port's
// unit, and the two roundings must meet. Searched near the wanted port value.
bool common_setting(axo_plugin_i* p, int param, float wanted, float& port_value, float& x) {
    const param_kind* kind = find_param_kind(p->get_param_kind(param));
    const int curve = p->get_param_curve(param);
    const double low = p->get_param_range(param, AXO_RANGE_MAP_LOW);
    const double high = p->get_param_range(param, AXO_RANGE_MAP_HIGH);
    port_value = wanted;
    for (int tries = 0; tries < 1000; ++tries) {
        const auto value = static_cast<float>(kind->from_unit(port_value));
        x = static_cast<float>(axo_curve_unmap(curve, low, high, value));
        for (int i = 0; i < 16; ++i) x = std::nextafter(x, -1.0f);
        for (int i = 0; i < 32; ++i, x = std::nextafter(x, 2.0f)) {
            if (static_cast<float>(axo_curve_map(curve, low, high, x)) == value) return true;
        }
        port_value = std::nextafter(port_value, HUGE_VALF);
    }
    return false;
}

}  // namespace

TEST(Lv2Bundle, RendersTheVstModulesBitsAtDefaultsAndAtTheSameParameterValues) {
    constexpr int block = 1000;
    constexpr int blocks = 4;
    axoi_plugin axoi;
    ASSERT_TRUE(axoi.plugin) << axoi.module.error();
    // Threshold, ceiling and release, in the ports' units.
    const float adjusted[] = {-6.0f, -1.5f, 50.0f};
    for (bool at_defaults : {true, false}) {
        SCOPED_TRACE(at_defaults ? "defaults" : "adjusted");
        lv2_run lv2(stereo_uri, 2, block);
        test_host::reset();
        vst_effect vst;
        ASSERT_NE(lv2.instance, nullptr);
        ASSERT_NE(vst.get(), nullptr);
        vst.start(static_cast<float>(rate), block);
        if (!at_defaults) {
            int k = 0;
            for (int i = 0; i < axoi.plugin->get_param_count(); ++i) {
                if (!is_exposed_param(axoi.plugin.get(), i)) continue;
                float port_value = 0.0f, x = 0.0f;
                ASSERT_TRUE(common_setting(axoi.plugin.get(), i, adjusted[k], port_value, x));
                lv2.control(symbol_of(axoi.plugin.get(), i)) = port_value;
                vst.set(k, x);
                ++k;
            }
        }
        std::vector<float> left(block), right(block);
        for (int b = 0; b < blocks; ++b) {
            fill(lv2, 1.5f, b * block);
            lv2.run(block);
            float* ins[2] = {lv2.in[0].data(), lv2.in[1].data()};
            float* outs[2] = {left.data(), right.data()};
            vst.get()->processReplacing(vst.get(), ins, outs, block);
            ASSERT_EQ(std::memcmp(lv2.out[0].data(), left.data(), block * sizeof(float)), 0) << b;
            ASSERT_EQ(std::memcmp(lv2.out[1].data(), right.data(), block * sizeof(float)), 0) << b;
        }
    }
}
