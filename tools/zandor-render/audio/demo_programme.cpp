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

}  // namespace

std::vector<float> make_demo_programme() {
    const int frames = static_cast<int>(demo_seconds * demo_rate_hz);
    std::vector<double> left(static_cast<size_t>(frames), 0.0);
    std::vector<double> right(static_cast<size_t>(frames), 0.0);
    const double rate = demo_rate_hz;

    // The chord: A minor, each voice a little detuned between the channels.
    const double voices_hz[] = {110.0, 130.81, 164.81, 220.0};
    for (int i = 0; i < frames; ++i) {
        const double t = i / rate;
        const double swell = 0.8 + 0.2 * std::sin(2 * pi * 0.25 * t);
        for (double hz : voices_hz) {
            left[static_cast<size_t>(i)] += 0.03 * swell * std::sin(2 * pi * hz * t);
            right[static_cast<size_t>(i)] += 0.03 * swell * std::sin(2 * pi * hz * 1.003 * t + 0.5);
        }
    }

    // Drums at 120 beats a minute: a kick on every beat, a snare on beats two and four and a
    // hi-hat on every eighth.
    noise rng;
    const double beat = 0.5;
    for (int n = 0; n * beat < demo_seconds; ++n) {
        const int start = static_cast<int>(n * beat * rate);
        // Kick: a sine falling from 150 Hz to 45 Hz.
        double phase = 0.0;
        for (int i = 0; i < static_cast<int>(0.35 * rate) && start + i < frames; ++i) {
            const double t = i / rate;
            const double hz = 45.0 + 105.0 * std::exp(-t / 0.03);
            phase += 2 * pi * hz / rate;
            const double v = 0.8 * std::exp(-t / 0.12) * std::sin(phase);
            left[static_cast<size_t>(start + i)] += v;
            right[static_cast<size_t>(start + i)] += v;
        }
        // Snare: a noise burst with a short tonal body.
        if (n % 2 == 1) {
            for (int i = 0; i < static_cast<int>(0.2 * rate) && start + i < frames; ++i) {
                const double t = i / rate;
                const double body = 0.3 * std::exp(-t / 0.04) * std::sin(2 * pi * 185.0 * t);
                const double hiss = 0.45 * std::exp(-t / 0.06) * rng.next();
                left[static_cast<size_t>(start + i)] += body + hiss;
                right[static_cast<size_t>(start + i)] += body + 0.9 * hiss;
            }
        }
        // Hi-hat: differentiated noise, a little to the right.
        for (int half = 0; half < 2; ++half) {
            const int hat = start + static_cast<int>(half * beat / 2 * rate);
            double previous = 0.0;
            for (int i = 0; i < static_cast<int>(0.05 * rate) && hat + i < frames; ++i) {
                const double t = i / rate;
                const double white = rng.next();
                const double v = 0.15 * std::exp(-t / 0.012) * (white - previous);
                previous = white;
                left[static_cast<size_t>(hat + i)] += 0.7 * v;
                right[static_cast<size_t>(hat + i)] += v;
            }
        }
    }

    double peak = 0.0;
    for (int i = 0; i < frames; ++i)
        peak = std::max({peak, std::fabs(left[static_cast<size_t>(i)]),
                         std::fabs(right[static_cast<size_t>(i)])});
    const double scale = std::pow(10.0, -1.0 / 20.0) / peak;  // peaks at -1 dBFS
    std::vector<float> interleaved(static_cast<size_t>(frames) * 2);
    for (int i = 0; i < frames; ++i) {
        interleaved[static_cast<size_t>(2 * i)] =
            static_cast<float>(left[static_cast<size_t>(i)] * scale);
        interleaved[static_cast<size_t>(2 * i + 1)] =
            static_cast<float>(right[static_cast<size_t>(i)] * scale);
    }
    return interleaved;
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
