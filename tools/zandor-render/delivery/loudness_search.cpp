#include "delivery/loudness_search.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>

#include "render_error.h"

namespace {

// More drive than needed only limits harder; the search stops within this much above the
// target, which Ceiling then takes off exactly.
constexpr double enough_lu = 0.25;
constexpr int most_passes = 12;

std::string lufs(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f LUFS", value);
    return text;
}

}  // namespace

loudness_plan plan_loudness(double target, double peak, const control_ranges& range,
                            const std::function<pass_levels(double)>& measure) {
    std::map<double, pass_levels> measured;
    auto levels = [&](double t) {
        auto found = measured.find(t);
        if (found == measured.end()) found = measured.emplace(t, measure(t)).first;
        return found->second;
    };
    auto reachable = [&](double t) {
        const pass_levels p = levels(t);
        return p.loudness_lufs + std::min(0.0, peak - p.true_peak_dbtp);
    };
    auto plan_at = [&](double t) {
        const double c = range.ceiling_highest_db + target - levels(t).loudness_lufs;
        return loudness_plan{t, c, static_cast<int>(measured.size())};
    };

    const double top = range.threshold_highest_db;
    const double bottom = range.threshold_lowest_db;
    const double quiet = levels(top).loudness_lufs;
    if (!std::isfinite(quiet)) {
        throw render_error(exit_status::usage,
                           "--loudness cannot be reached: the input is "
                           "silent or too short to measure its loudness");
    }
    const double quietest = quiet - (range.ceiling_highest_db - range.ceiling_lowest_db);
    auto unreachable = [&](const std::string& why) {
        throw render_error(exit_status::usage,
                           "--loudness " + lufs(target) + " cannot be reached (" + why +
                               "); this input can go from " + lufs(quietest) + " to " +
                               lufs(reachable(bottom)) + " under its true-peak ceiling");
    };
    if (target < quietest) unreachable("Ceiling cannot go low enough");
    if (reachable(top) >= target) return plan_at(top);

    // Bracket: `low` reaches less than the target, `high` (more drive) reaches it.
    double low = top;
    double low_f = reachable(top);
    double high = bottom;
    bool bracketed = false;
    double last_t = top;  // the pass before the current one
    double last_f = low_f;
    double previous_t = top;
    double previous_f = low_f;
    double t = std::max(bottom, top - (target - low_f));  // about a dB of drive per dB
    while (static_cast<int>(measured.size()) < most_passes) {
        const double f = reachable(t);
        if (!bracketed && f < target) {
            last_t = t;
            last_f = f;
        }
        if (f >= target) {
            high = t;
            bracketed = true;
            if (f - target <= enough_lu) break;
        } else {
            if (t <= bottom)
                unreachable("more than " +
                            std::to_string(static_cast<int>(std::lround(top - bottom))) +
                            " dB of drive would be needed, or the true-peak "
                            "ceiling holds it down");
            low = t;
            low_f = f;
        }
        if (!bracketed) {
            // Extrapolate along the last two points, a little beyond the target, since the
            // loudness gained per dB of drive falls as the limiter works harder.
            const double slope = low_f > previous_f && previous_t > low
                                     ? (low_f - previous_f) / (previous_t - low)
                                     : 1.0;
            previous_t = low;
            previous_f = low_f;
            // Where the limiter has barely begun to act the slope says little; the step is
            // kept within a few dB per LU still missing.
            const double gap = target + enough_lu / 2 - f;
            const double step = std::min(1.2 * gap / std::max(slope, 0.1), 2.5 * gap);
            t = std::max(bottom, t - std::max(0.5, step));
            continue;
        }
        // Secant through the last two passes, kept strictly inside the bracket (bisection
        // when they give no usable slope).
        const double slope = (f - last_f) / (last_t - t);
        double next = slope > 0.0 && std::isfinite(slope) ? t - (target + enough_lu / 2 - f) / slope
                                                          : (low + high) / 2;
        const double margin = std::max(0.01, 0.05 * std::fabs(low - high));
        if (!(low - high > 2 * margin)) break;
        next = std::clamp(next, high + margin, low - margin);
        last_t = t;
        last_f = f;
        t = next;
    }
    if (!bracketed) unreachable("the search found no setting that reaches it");
    return plan_at(high);
}
