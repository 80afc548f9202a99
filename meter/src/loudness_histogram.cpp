#include "loudness_histogram.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double bin_lu = 0.01;
// Louder readings than this (only floating-point files far above full scale give them) share
// the top bin; their energies still count in full.
constexpr double top_lufs = 30.0;
constexpr int bins = static_cast<int>((top_lufs - loudness_histogram::gate_lufs) / bin_lu);

}  // namespace

loudness_histogram::loudness_histogram()
    : counts_(static_cast<size_t>(bins), 0), energies_(static_cast<size_t>(bins), 0.0) {}

void loudness_histogram::add(double lufs, double energy) {
    if (!(lufs > gate_lufs)) return;
    const int bin = static_cast<int>(std::min((lufs - gate_lufs) / bin_lu, bins - 1.0));
    ++counts_[static_cast<size_t>(bin)];
    energies_[static_cast<size_t>(bin)] += energy;
}

double loudness_histogram::centre_lufs(int bin) const {
    return gate_lufs + (bin + 0.5) * bin_lu;
}

// A bin counts as above the floor when its centre does.
int loudness_histogram::first_bin_above(double floor_lufs) const {
    if (!(floor_lufs > gate_lufs)) return 0;
    const double position = (floor_lufs - gate_lufs) / bin_lu - 0.5;
    return std::clamp(static_cast<int>(std::floor(position)) + 1, 0, bins);
}

loudness_histogram::share loudness_histogram::above(double floor_lufs) const {
    share s;
    double energy = 0.0;
    for (int b = first_bin_above(floor_lufs); b < bins; ++b) {
        s.count += counts_[static_cast<size_t>(b)];
        energy += energies_[static_cast<size_t>(b)];
    }
    if (s.count > 0) s.mean_energy = energy / static_cast<double>(s.count);
    return s;
}

double loudness_histogram::percentile_above(double floor_lufs, double fraction) const {
    const int first = first_bin_above(floor_lufs);
    int64_t total = 0;
    for (int b = first; b < bins; ++b) total += counts_[static_cast<size_t>(b)];
    if (total == 0) return -INFINITY;
    // The reading of this rank, counting from 0, in the sorted list.
    const auto rank = static_cast<int64_t>(std::llround(fraction * static_cast<double>(total - 1)));
    int64_t seen = 0;
    for (int b = first; b < bins; ++b) {
        seen += counts_[static_cast<size_t>(b)];
        if (seen > rank) return centre_lufs(b);
    }
    return centre_lufs(bins - 1);
}
