#include "audio/demo_programme.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "audio/atomic_file.h"
#include "audio/audio_file.h"

namespace {

constexpr double pi = 3.14159265358979323846;

// A small deterministic noise source, so that every demo run renders the same file.
class noise {
public:
    double next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<double>(state_) / 2147483648.0 - 1.0;
    }

private:
    uint32_t state_ = 0x2545F491u;
};

// The programme's two channels as they are mixed, before they are scaled to their peak.
struct mix {
    explicit mix(int frames)
        : frames(frames),
          left(static_cast<size_t>(frames), 0.0),
          right(static_cast<size_t>(frames), 0.0) {}
    int frames;
    std::vector<double> left;
    std::vector<double> right;
};

constexpr double rate = demo_rate_hz;
constexpr double beat = 0.5;  // seconds: 120 beats a minute

// The chord: A minor, each voice a little detuned between the channels.
void add_chord(mix& m) {
    const double voices_hz[] = {110.0, 130.81, 164.81, 220.0};
    for (int i = 0; i < m.frames; ++i) {
        const double t = i / rate;
        const double swell = 0.8 + 0.2 * std::sin(2 * pi * 0.25 * t);
        for (double hz : voices_hz) {
            m.left[static_cast<size_t>(i)] += 0.03 * swell * std::sin(2 * pi * hz * t);
            m.right[static_cast<size_t>(i)] +=
                0.03 * swell * std::sin(2 * pi * hz * 1.003 * t + 0.5);
        }
    }
}

// Kick: a sine falling from 150 Hz to 45 Hz.
void add_kick(mix& m, int start) {
    double phase = 0.0;
    for (int i = 0; i < static_cast<int>(0.35 * rate) && start + i < m.frames; ++i) {
        const double t = i / rate;
        const double hz = 45.0 + 105.0 * std::exp(-t / 0.03);
        phase += 2 * pi * hz / rate;
        const double v = 0.8 * std::exp(-t / 0.12) * std::sin(phase);
        m.left[static_cast<size_t>(start + i)] += v;
        m.right[static_cast<size_t>(start + i)] += v;
    }
}

// Snare: a noise burst with a short tonal body.
void add_snare(mix& m, int start, noise& rng) {
    for (int i = 0; i < static_cast<int>(0.2 * rate) && start + i < m.frames; ++i) {
        const double t = i / rate;
        const double body = 0.3 * std::exp(-t / 0.04) * std::sin(2 * pi * 185.0 * t);
        const double hiss = 0.45 * std::exp(-t / 0.06) * rng.next();
        m.left[static_cast<size_t>(start + i)] += body + hiss;
        m.right[static_cast<size_t>(start + i)] += body + 0.9 * hiss;
    }
}

// Hi-hat: differentiated noise, a little to the right.
void add_hat(mix& m, int start, noise& rng) {
    double previous = 0.0;
    for (int i = 0; i < static_cast<int>(0.05 * rate) && start + i < m.frames; ++i) {
        const double t = i / rate;
        const double white = rng.next();
        const double v = 0.15 * std::exp(-t / 0.012) * (white - previous);
        previous = white;
        m.left[static_cast<size_t>(start + i)] += 0.7 * v;
        m.right[static_cast<size_t>(start + i)] += v;
    }
}

// Drums: a kick on every beat, a snare on beats two and four and a hi-hat on every eighth.
void add_drums(mix& m) {
    noise rng;
    for (int n = 0; n * beat < demo_seconds; ++n) {
        const int start = static_cast<int>(n * beat * rate);
        add_kick(m, start);
        if (n % 2 == 1) add_snare(m, start, rng);
        for (int half = 0; half < 2; ++half)
            add_hat(m, start + static_cast<int>(half * beat / 2 * rate), rng);
    }
}

// The mix as interleaved floats peaking at -1 dBFS.
std::vector<float> scaled_to_peak(const mix& m) {
    double peak = 0.0;
    for (int i = 0; i < m.frames; ++i)
        peak = std::max({peak, std::fabs(m.left[static_cast<size_t>(i)]),
                         std::fabs(m.right[static_cast<size_t>(i)])});
    const double scale = std::pow(10.0, -1.0 / 20.0) / peak;
    std::vector<float> interleaved(static_cast<size_t>(m.frames) * 2);
    for (int i = 0; i < m.frames; ++i) {
        interleaved[static_cast<size_t>(2 * i)] =
            static_cast<float>(m.left[static_cast<size_t>(i)] * scale);
        interleaved[static_cast<size_t>(2 * i + 1)] =
            static_cast<float>(m.right[static_cast<size_t>(i)] * scale);
    }
    return interleaved;
}

}  // namespace

std::vector<float> make_demo_programme() {
    mix m(static_cast<int>(demo_seconds * demo_rate_hz));
    add_chord(m);
    add_drums(m);
    return scaled_to_peak(m);
}

void write_demo_programme(const std::string& path) {
    const std::vector<float> programme = make_demo_programme();
    atomic_file file(path);
    output_encoding encoding;
    encoding.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    {
        audio_writer writer(file.fd(), path, encoding, 2, demo_rate_hz, nullptr);
        writer.write(programme.data(), static_cast<int64_t>(programme.size() / 2));
        writer.close();
    }
    file.commit();
}
