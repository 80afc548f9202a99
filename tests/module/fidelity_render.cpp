// Renders fixed test signals through a built module's VST entry point, the way a host does,
// and writes everything that came out (audio, state chunks, parameter values and display
// texts) to a file. Every build of the module (Linux, 32-bit and 64-bit Windows) must
// compute the same single-precision results: the test suite compares every render with the
// digest and size committed beside this file, and the render of each Windows DLL byte for
// byte with the render of the Linux module where that exists.
//
//   fidelity_render <module> <output file> [--compare <reference file, if it exists>]
//
// Each signal is rendered a second time with the host's thread left in other rounding
// modes (x87 rounding up, SSE rounding down); that render must equal the first, and the
// host's modes must be as it left them after every call into the module.
// Exit status 0 when every check passes, 1 otherwise.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#if defined(__i386__) || defined(__x86_64__)
#include <xmmintrin.h>
#else
#include <cfenv>
#endif

#include "module_loader.h"
#include "support/test_host.h"
#include "vst/base/vst_abi.h"

namespace {

using bytes = std::vector<uint8_t>;
using section_list = std::vector<std::pair<std::string, bytes>>;

int failures = 0;

void fail(const std::string& what) {
    std::fprintf(stderr, "FAILED: %s\n", what.c_str());
    ++failures;
}

template <typename T>
void append(bytes& out, const T* data, size_t count) {
    const auto* p = reinterpret_cast<const uint8_t*>(data);
    out.insert(out.end(), p, p + count * sizeof(T));
}

// ---- The thread's floating-point rounding modes, as a host may leave them ----

struct fp_modes {
    uint32_t x87 = 0;
    uint32_t sse = 0;
    bool operator==(const fp_modes& o) const { return x87 == o.x87 && sse == o.sse; }
};

#if defined(__i386__) || defined(__x86_64__)
fp_modes read_modes() {
    uint16_t control;
    __asm__ __volatile__("fnstcw %0" : "=m"(control));
    // The low six bits of the SSE register are sticky exception flags, not modes.
    return {control, _mm_getcsr() & ~0x3Fu};
}
// Rounding differs on the two units, so a module that restores or selects only one of
// them is caught.
void set_modes(bool hostile) {
    uint16_t control;
    __asm__ __volatile__("fnstcw %0" : "=m"(control));
    control = static_cast<uint16_t>((control & ~0x0C00) | (hostile ? 0x0800 : 0));  // up
    __asm__ __volatile__("fldcw %0" : : "m"(control));
    _mm_setcsr((_mm_getcsr() & ~0x6000u) | (hostile ? 0x2000u : 0));  // down
}
#else
fp_modes read_modes() {
    return {static_cast<uint32_t>(std::fegetround()), 0};
}
void set_modes(bool hostile) {
    std::fesetround(hostile ? FE_UPWARD : FE_TONEAREST);
}
#endif

// Every call into the module runs inside one of these: it puts the host's modes in place
// and checks afterwards that the module left them as they were.
class module_call {
public:
    module_call(bool hostile, const char* what) : hostile_(hostile), what_(what) {
        set_modes(hostile_);
        before_ = read_modes();
    }
    ~module_call() {
        if (!(read_modes() == before_)) fail(std::string("rounding mode changed by ") + what_);
        set_modes(false);
    }

private:
    bool hostile_;
    const char* what_;
    fp_modes before_;
};

// A test signal made with exact IEEE arithmetic only, no library functions (whose last bit
// may differ between runtimes): two sine recurrences, a level that steps through quiet,
// loud, silent, subnormal and far-over-full-scale passages, single-frame spikes and noise.
class test_signal {
public:
    void next(float& left, float& right) {
        static const double levels[] = {0.05, 0.5, 1.0, 3.0, 0.0, 8.0, 1e-38, 0.2, 31.0};
        const double level = levels[(frame_ / 2750) % (sizeof(levels) / sizeof(levels[0]))];
        const double a = 1.99 * a1_ - a2_;
        a2_ = a1_;
        a1_ = a;
        const double b = 1.9999 * b1_ - b2_;
        b2_ = b1_;
        b1_ = b;
        noise_ = noise_ * 1664525u + 1013904223u;
        const double n = static_cast<int32_t>(noise_) * (1.0 / 2147483648.0);
        double l = level * (0.7 * a + 0.2 * n);
        double r = level * (0.6 * b - 0.3 * a + 0.1 * n);
        if (frame_ % 5003 == 1000) l = 20.0;
        if (frame_ % 7001 == 3000) r = -45.0;
        left = static_cast<float>(l);
        right = static_cast<float>(r);
        ++frame_;
    }

private:
    uint64_t frame_ = 0;
    double a1_ = 0.9, a2_ = 0.0, b1_ = 0.7, b2_ = 0.0;
    uint32_t noise_ = 12345u;
};

struct automation {
    int block;
    VstInt32 index;  // 0 Threshold, 1 Ceiling, 2 Release
    float value;     // normalised
};

struct scenario {
    const char* name;
    float sample_rate;
    VstInt32 max_block;
    std::vector<VstInt32> blocks;  // block lengths, used in turn
    int frames;
    bool in_place;
    bool load_previous_chunk;  // start from the state the previous scenario saved
    std::vector<automation> moves;
};

const std::vector<scenario>& scenarios() {
    static const std::vector<scenario> all = {
        {"44100-stereo",
         44100.0f,
         512,
         {512, 1, 17, 64, 65, 333, 511},
         44100,
         false,
         false,
         {{0, 0, 0.55f},
          {0, 1, 0.9f},
          {0, 2, 0.35f},
          {20, 0, 0.2f},
          {40, 2, 0.0f},
          {60, 1, 1.0f},
          {80, 2, 1.0f},
          {100, 0, 0.0f}}},
        {"96000-in-place",
         96000.0f,
         4096,
         {4096, 3, 999, 2048},
         96000,
         true,
         true,
         {{0, 1, 0.3f}, {5, 2, 0.02f}, {12, 0, 0.75f}}},
        {"8000-short-blocks",
         8000.0f,
         64,
         {64, 7, 63},
         16000,
         false,
         false,
         {{0, 0, 1.0f}, {0, 1, 0.75f}, {0, 2, 0.8f}, {100, 2, 0.1f}}},
    };
    return all;
}

VstIntPtr dispatch(AEffect* effect, bool hostile, VstInt32 opcode, VstInt32 index = 0,
                   VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f) {
    module_call call(hostile, "the dispatcher");
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

// Renders one scenario on a fresh effect and adds its sections: the output audio (frames
// interleaved, channel 0 first), the final state chunk, and per parameter its normalised
// value and its display text.
bool render(VstPluginEntryProc entry, const scenario& s, bool hostile, bytes& chunk,
            section_list& out) {
    // An offline host with a transport.
    test_host::reset();
    test_host& host = test_host::get();
    host.has_time = true;
    host.level = kVstProcessLevelOffline;
    host.time.sampleRate = s.sample_rate;
    host.time.tempo = 120.0;
    host.time.flags = kVstTransportPlaying | kVstTempoValid;
    AEffect* effect;
    {
        module_call call(hostile, "the entry point");
        effect = entry(test_host::callback);
    }
    if (!effect || effect->magic != kEffectMagic || effect->numOutputs != 2) {
        fail(std::string(s.name) + ": the entry point made no stereo effect");
        return false;
    }
    dispatch(effect, hostile, effOpen);
    dispatch(effect, hostile, effSetSampleRate, 0, 0, nullptr, s.sample_rate);
    dispatch(effect, hostile, effSetBlockSize, 0, s.max_block);
    if (s.load_previous_chunk) {
        dispatch(effect, hostile, effSetChunk, 0, static_cast<VstIntPtr>(chunk.size()),
                 chunk.data());
    }
    dispatch(effect, hostile, effMainsChanged, 0, 1);

    std::vector<float> in[2], result[2];
    in[0].resize(s.max_block);
    in[1].resize(s.max_block);
    result[0].resize(s.max_block);
    result[1].resize(s.max_block);
    test_signal signal;
    bytes audio;
    int done = 0;
    for (int block = 0; done < s.frames; ++block) {
        for (const automation& m : s.moves) {
            if (m.block != block) continue;
            module_call call(hostile, "setParameter");
            effect->setParameter(effect, m.index, m.value);
        }
        VstInt32 frames = s.blocks[block % s.blocks.size()];
        if (frames > s.frames - done) frames = s.frames - done;
        for (VstInt32 i = 0; i < frames; ++i) signal.next(in[0][i], in[1][i]);
        float* inputs[2] = {in[0].data(), in[1].data()};
        float* outputs[2] = {result[0].data(), result[1].data()};
        if (s.in_place) {
            outputs[0] = inputs[0];
            outputs[1] = inputs[1];
        }
        {
            module_call call(hostile, "processReplacing");
            effect->processReplacing(effect, inputs, outputs, frames);
        }
        for (VstInt32 i = 0; i < frames; ++i) {
            append(audio, &outputs[0][i], 1);
            append(audio, &outputs[1][i], 1);
        }
        done += frames;
        host.time.samplePos += frames;
    }

    bytes params;
    for (VstInt32 index = 0; index < effect->numParams; ++index) {
        float value;
        {
            module_call call(hostile, "getParameter");
            value = effect->getParameter(effect, index);
        }
        char display[64] = {};
        dispatch(effect, hostile, effGetParamDisplay, index, 0, display);
        append(params, &value, 1);
        append(params, display, std::strlen(display) + 1);
    }

    void* data = nullptr;
    const VstIntPtr size = dispatch(effect, hostile, effGetChunk, 0, 0, &data);
    chunk.assign(static_cast<const uint8_t*>(data),
                 static_cast<const uint8_t*>(data) + (data && size > 0 ? size : 0));

    dispatch(effect, hostile, effMainsChanged, 0, 0);
    dispatch(effect, hostile, effClose);

    out.emplace_back(std::string(s.name) + " audio", std::move(audio));
    out.emplace_back(std::string(s.name) + " chunk", chunk);
    out.emplace_back(std::string(s.name) + " parameters", std::move(params));
    return true;
}

// ---- The render file: per section a zero-terminated name, a 32-bit byte count, the bytes ----

bool write_sections(const std::string& path, const section_list& sections) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    for (const auto& [name, data] : sections) {
        const uint32_t size = static_cast<uint32_t>(data.size());
        std::fwrite(name.c_str(), 1, name.size() + 1, f);
        std::fwrite(&size, sizeof size, 1, f);
        std::fwrite(data.data(), 1, data.size(), f);
    }
    return std::fclose(f) == 0;
}

bool file_exists(const char* path) {
    FILE* f = std::fopen(path, "rb");
    if (f) std::fclose(f);
    return f != nullptr;
}

bool read_sections(const std::string& path, section_list& sections) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    bytes all;
    uint8_t buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        all.insert(all.end(), buffer, buffer + got);
    std::fclose(f);
    size_t pos = 0;
    while (pos < all.size()) {
        const void* end = std::memchr(all.data() + pos, 0, all.size() - pos);
        if (!end) return false;
        const size_t name_end = static_cast<const uint8_t*>(end) - all.data();
        uint32_t size;
        if (all.size() - name_end - 1 < sizeof size) return false;
        std::memcpy(&size, all.data() + name_end + 1, sizeof size);
        const size_t data_start = name_end + 1 + sizeof size;
        if (all.size() - data_start < size) return false;
        sections.emplace_back(std::string(reinterpret_cast<const char*>(all.data() + pos)),
                              bytes(all.begin() + data_start, all.begin() + data_start + size));
        pos = data_start + size;
    }
    return true;
}

// Reports where two renders of one section part: the first differing sample for audio.
void compare_section(const std::string& what, const std::string& name, const bytes& got,
                     const bytes& want) {
    if (got == want) return;
    std::string detail = name + " differs from " + what;
    if (got.size() != want.size()) {
        detail +=
            ": " + std::to_string(got.size()) + " bytes instead of " + std::to_string(want.size());
    } else if (name.size() > 6 && name.compare(name.size() - 6, 6, " audio") == 0) {
        size_t i = 0;
        while (std::memcmp(&got[i * 4], &want[i * 4], 4) == 0) ++i;
        float g, w;
        std::memcpy(&g, &got[i * 4], 4);
        std::memcpy(&w, &want[i * 4], 4);
        char text[160];
        std::snprintf(text, sizeof text,
                      ": first at frame %zu, channel %zu: %.9g (%a) instead of %.9g (%a)", i / 2,
                      i % 2, g, g, w, w);
        detail += text;
    }
    fail(detail);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && !(argc == 5 && std::strcmp(argv[3], "--compare") == 0)) {
        std::fprintf(stderr, "usage: %s <module> <output file> [--compare <reference file>]\n",
                     argv[0]);
        return 2;
    }
    set_modes(false);

    module_loader module(argv[1]);
    if (!module.is_open()) {
        fail(std::string("cannot load ") + argv[1] + ": " + module.error());
        return 1;
    }
    const auto entry = module.function<VstPluginEntryProc>("VSTPluginMain");
    for (const char* alias : {"main", "MAIN", "_VSTPluginMain"}) {
        if (!entry || module.function<VstPluginEntryProc>(alias) != entry) {
            fail(std::string("the export ") + alias + " is not the entry point VSTPluginMain");
        }
    }
    if (!entry || !module.symbol("get_axoi")) {
        fail("the module lacks VSTPluginMain or get_axoi");
        return 1;
    }

    section_list sections;
    bytes chunk;
    for (const scenario& s : scenarios()) {
        section_list hostile;
        bytes hostile_chunk = chunk;
        if (!render(entry, s, false, chunk, sections) ||
            !render(entry, s, true, hostile_chunk, hostile)) {
            return 1;
        }
        // The hostile render must equal the one just made, section by section.
        for (size_t i = 0; i < hostile.size(); ++i) {
            const auto& mine = sections[sections.size() - hostile.size() + i];
            compare_section("the render in round-to-nearest mode", hostile[i].first,
                            hostile[i].second, mine.second);
        }
    }

    // A render that is all silence would make every comparison pass: refuse it.
    bool audible = false;
    for (const auto& [name, data] : sections) {
        if (name.find(" audio") == std::string::npos) continue;
        for (size_t i = 0; i + 4 <= data.size() && !audible; i += 4) {
            float v;
            std::memcpy(&v, &data[i], 4);
            audible = v > 0.01f || v < -0.01f;
        }
    }
    if (!audible) fail("the module rendered only silence");

    if (!write_sections(argv[2], sections)) fail(std::string("cannot write ") + argv[2]);

    if (argc == 5 && !file_exists(argv[4])) {
        std::printf("no render at %s to compare with\n", argv[4]);
    } else if (argc == 5) {
        section_list reference;
        if (!read_sections(argv[4], reference)) {
            fail(std::string("the reference render ") + argv[4] + " is damaged");
        } else if (reference.size() != sections.size()) {
            fail("the reference render holds another set of signals");
        } else {
            for (size_t i = 0; i < sections.size(); ++i) {
                if (sections[i].first != reference[i].first) {
                    fail("the reference render holds " + reference[i].first + " where " +
                         sections[i].first + " belongs");
                    continue;
                }
                compare_section(std::string("the reference render ") + argv[4], sections[i].first,
                                sections[i].second, reference[i].second);
            }
        }
    }

    std::printf("%zu sections rendered, %d failures\n", sections.size(), failures);
    return failures == 0 ? 0 : 1;
}
