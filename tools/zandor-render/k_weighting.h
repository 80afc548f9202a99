// The K-weighting filter that loudness is measured through: a high shelf of about +4 dB above
// 2 kHz, for the head's effect, followed by a high-pass at about 38 Hz. Its state is double:
// the high-pass poles lie so close to 1 that single precision would let low notes drift.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

class k_weighting {
public:
    k_weighting(int channels, int rate_hz);

    // Filters `frames` interleaved frames and returns the sum, over frames and channels, of
    // the squared filtered samples (every channel counts alike).
    double add_energy(const float* interleaved, int64_t frames);
    // a.add_energy(x, frames) and b.add_energy(y, frames), the same figures bit for bit; where
    // both are stereo at one rate, in one loop, so that each filter's chain of dependent
    // steps overlaps the other's.
    static std::pair<double, double> add_energy_pair(k_weighting& a, const float* x, k_weighting& b,
                                                     const float* y, int64_t frames);
    int channels() const { return channels_; }

private:
    struct section {
        double b0, b1, b2, a1, a2;
    };
    struct channel_state {
        double s1 = 0.0, s2 = 0.0;  // shelf
        double t1 = 0.0, t2 = 0.0;  // high-pass
    };

    double run_one(channel_state& c, double x) const;
    double add_energy_stereo(const float* interleaved, int64_t frames);
    // Clears what the filter must not carry on with; see add_energy.
    void settle();

    int channels_;
    int rate_hz_;
    section shelf_{};
    section high_pass_{};
    std::vector<channel_state> state_;
};
