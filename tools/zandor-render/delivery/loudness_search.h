// Finds the Threshold and Ceiling that give a file an integrated loudness while its true peak
// stays at or below a ceiling.
//
// Ceiling is a plain gain after the limiter, so at any Threshold T the output's loudness L(T)
// and true peak P(T) measured at the highest Ceiling move exactly with Ceiling in dB. The
// loudest the file can be at T with its peaks held is f(T) = L(T) + min(0, peak - P(T)).
// Quieter targets (f at the highest Threshold reaches them) need Ceiling only; louder ones
// need drive, and f rises as Threshold falls, so a secant search on T finds the least drive
// that reaches the target. Ceiling then lands the loudness exactly: C = target - L(T). An
// input that the least drive already limits (a hot one) is turned down by the same search,
// until no more limiting happens than the target needs.
#pragma once

#include <functional>

// Output levels of one measuring pass at a Threshold, with Ceiling at its highest.
struct pass_levels {
    double loudness_lufs;
    double true_peak_dbtp;
    bool limited = false;  // the effect reduced the gain somewhere
    // The input's loudness as the effect gets it at the start Threshold; where nothing is
    // limited the output's loudness is this less the Threshold above the start.
    double input_loudness_lufs = 0.0;
};

// The Threshold the search moves may reach past the effect's own range: an input gain before
// the effect makes up the rest (above it the input is turned down, below it driven harder).
// The search starts at `threshold_start_db`, the effect's highest Threshold, and turns the
// input down from there only when that pass limits and the target needs less.
struct control_ranges {
    double threshold_lowest_db, threshold_highest_db;
    double ceiling_lowest_db, ceiling_highest_db;
    double threshold_start_db = 0.0;
};

struct loudness_plan {
    double threshold_db;
    double ceiling_db;
    int passes;  // measuring passes used
};

// `measure` runs one pass at a Threshold. Throws render_error(usage) when the target cannot
// be reached, naming the range that can.
loudness_plan plan_loudness(double target_lufs, double true_peak_dbtp, const control_ranges& range,
                            const std::function<pass_levels(double threshold_db)>& measure);
