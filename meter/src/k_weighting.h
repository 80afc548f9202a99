// The K-weighting filter that loudness is measured through: a high shelf of about +4 dB above
// 2 kHz, for the head's effect, followed by a high-pass at about 38 Hz. Its state is double:
// the high-pass poles lie so close to 1 that single precision would let low notes drift.
#pragma once

#include <cstdint>
#include <vector>

class k_weighting {
public:
    k_weighting(int channels, int rate_hz);

    // Filters `frames` interleaved frames and adds each channel's squared filtered samples to
    // that channel's running sum. Each sum takes the frames one by one in order, so it is the
    // same however the stream is cut into calls: a render measures alike whatever the timing
    // of the thread that measures it.
    void add_energy(const float* interleaved, int64_t frames);
    // a.add_energy(x, frames) and b.add_energy(y, frames), the same figures bit for bit; where
    // both are stereo at one rate, in one loop, so that each filter's chain of dependent
    // steps overlaps the other's.
    static void add_energy_pair(k_weighting& a, const float* x, k_weighting& b, const float* y,
                                int64_t frames);
    // The energy summed since the last call, each channel by its weight (see channel_weight),
    // and a fresh start for the sums. Called at fixed places in the stream (the meter's 100 ms
    // steps), which is also where the filter is settled.
    double take_energy();
    int channels() const { return channels_; }

    // How much a channel's energy counts in the loudness of `channels` channels: 1 for each,
    // except in six channels, taken as 5.1 in its usual order (L, R, C, LFE, Ls, Rs), where
    // the low-frequency channel is left out and the surrounds count 1.41 (+1.5 dB), as a
    // listener hears sound from beside and behind louder than from ahead.
    static double channel_weight(int channel, int channels);

private:
    struct section {
        double b0, b1, b2, a1, a2;
    };
    struct channel_state {
        double s1 = 0.0, s2 = 0.0;  // shelf
        double t1 = 0.0, t2 = 0.0;  // high-pass
        double energy = 0.0;        // squared output summed since take_energy
        double weight = 1.0;        // channel_weight
    };

    double run_one(channel_state& c, double x) const;
    void add_energy_stereo(const float* interleaved, int64_t frames);
    // Clears what the filter must not carry on with; see take_energy.
    void settle();

    int channels_;
    int rate_hz_;
    section shelf_{};
    section high_pass_{};
    std::vector<channel_state> state_;
};
