// A bounded record of any number of loudness readings: how many fell into each bin 0.01 LU
// wide, and the sum of their energies. Gating and percentiles then cost no memory that grows
// with the programme, and the sums stay exact; only a reading's place within its bin is lost.
#pragma once

#include <cstdint>
#include <vector>

class loudness_histogram {
public:
    loudness_histogram();

    // Records one reading, given as its loudness and the mean square energy it came from.
    // Readings at or below the absolute gate (-70 LUFS) carry no programme and are dropped.
    void add(double lufs, double energy);

    // The mean energy of the readings whose bin lies above `floor_lufs`, and their number.
    struct share {
        int64_t count = 0;
        double mean_energy = 0.0;
    };
    share above(double floor_lufs) const;

    // The loudness below which `fraction` of the readings above `floor_lufs` lie.
    double percentile_above(double floor_lufs, double fraction) const;

    static constexpr double gate_lufs = -70.0;

private:
    int first_bin_above(double floor_lufs) const;
    double centre_lufs(int bin) const;

    std::vector<int64_t> counts_;
    std::vector<double> energies_;
};
