#include "delivery/loudness_search.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <string>

#include "host/quantity.h"
#include "render_error.h"

namespace {

// More drive than needed only limits harder; the search stops within this much above the
// target, which Ceiling then takes off exactly.
constexpr double enough_lu = 0.25;
constexpr int most_passes = 12;
constexpr double limited_lu_per_db = 0.5;

// An end of the reachable range to a tenth, rounded inwards (`upwards` for the lower end), so
// that the range shown holds only levels that can be reached and a refused target never
// seems to lie within it.
std::string lufs(double value, bool upwards) {
    const double tenths =
        upwards ? std::ceil(value * 10.0 - 1e-9) : std::floor(value * 10.0 + 1e-9);
    char text[32];
    std::snprintf(text, sizeof text, "%.1f LUFS", tenths / 10.0);
    return text;
}

// The search's state: every pass measured so far, and the bracket around the Threshold that
// reaches the target.
class threshold_search {
public:
    threshold_search(double target, double peak, const control_ranges& range,
                     const std::function<pass_levels(double)>& measure)
        : target_(target),
          peak_(peak),
          range_(range),
          measure_(measure),
          top_(range.threshold_highest_db),
          bottom_(range.threshold_lowest_db),
          start_(range.threshold_start_db) {}

    loudness_plan run() {
        check_reachable();
        const double f = reachable(start_);
        if (f >= target_) {
            // Turned down when the start limits more than the target needs, or is louder than
            // the lowest Ceiling can take back.
            const bool spare = levels(start_).limited && f - target_ > enough_lu;
            const bool too_loud = plan_at(start_).ceiling_db < range_.ceiling_lowest_db;
            return spare || too_loud ? turn_down(f) : plan_at(start_);
        }
        low_f_ = f;
        last_f_ = previous_f_ = low_f_;
        double t = std::max(bottom_, first_drive(levels(start_)));
        while (static_cast<int>(measured_.size()) < most_passes) {
            const double f = reachable(t);
            if (!take(t, f)) break;
            if (!bracketed_) {
                t = extrapolate(t, f);
                continue;
            }
            const std::optional<double> next = secant(t, f);
            if (!next) break;
            t = *next;
        }
        if (!bracketed_) unreachable("the search found no setting that reaches it");
        return plan_at(high_);
    }

private:
    // The start reaches the target but limits: the same secant search in the other direction,
    // the target bracketed from the start. The first step goes to where the input, limited
    // nowhere, would land just above the target: usually the answer, found in one pass.
    loudness_plan turn_down(double f) {
        bracketed_ = true;
        high_ = start_;
        low_ = top_;
        last_t_ = start_;
        last_f_ = f;
        const double unlimited = levels(start_).input_loudness_lufs - target_ - enough_lu / 2;
        const double first = std::isfinite(unlimited) && unlimited > start_
                                 ? unlimited
                                 : start_ + (f - target_ - enough_lu / 2);
        std::optional<double> t = std::min(top_, first);
        while (t && static_cast<int>(measured_.size()) < most_passes) {
            const double at = *t;
            if (!take(at, reachable(at))) break;
            t = secant(at, reachable(at));
        }
        return plan_at(high_);
    }

    // The first step of drive, aimed a little above the target: a dB of loudness per dB of
    // drive while the true peak stays under the ceiling, about half that once the limiter has
    // to hold it (as programme measures); a step that lands within enough_lu ends the search.
    double first_drive(const pass_levels& at_start) const {
        const double aim = target_ + enough_lu / 2;
        const double headroom = std::max(0.0, peak_ - at_start.true_peak_dbtp);
        const double f = reachable_from(at_start);
        if (aim - f <= headroom) return start_ - (aim - f);
        return start_ - headroom - (aim - f - headroom) / limited_lu_per_db;
    }

    double reachable_from(const pass_levels& p) const {
        return p.loudness_lufs + std::min(0.0, peak_ - p.true_peak_dbtp);
    }

    pass_levels levels(double t) {
        auto found = measured_.find(t);
        if (found == measured_.end()) found = measured_.emplace(t, measure_(t)).first;
        return found->second;
    }

    // The loudest the file can be at Threshold t with its peaks held under the ceiling.
    double reachable(double t) { return reachable_from(levels(t)); }

    loudness_plan plan_at(double t) {
        const double c = range_.ceiling_highest_db + target_ - levels(t).loudness_lufs;
        return loudness_plan{t, c, static_cast<int>(measured_.size())};
    }

    // Refuses a silent input, and a target below what the lowest Ceiling gives.
    void check_reachable() {
        const double quiet = levels(start_).loudness_lufs;
        if (!std::isfinite(quiet)) {
            throw render_error(exit_status::usage,
                               "--loudness cannot be reached: the input is "
                               "silent or too short to measure its loudness");
        }
        quietest_ =
            quiet - (top_ - start_) - (range_.ceiling_highest_db - range_.ceiling_lowest_db);
        if (target_ < quietest_) unreachable("Ceiling cannot go low enough");
    }

    [[noreturn]] void unreachable(const std::string& why) {
        throw render_error(exit_status::usage,
                           "--loudness " + format_quantity(target_, "LUFS") +
                               " cannot be reached (" + why + "); this input can go from " +
                               lufs(quietest_, true) + " to " + lufs(reachable(bottom_), false) +
                               " under its true-peak ceiling");
    }

    // Takes the pass at t into the bracket; false once it lands close enough above the target.
    bool take(double t, double f) {
        if (!bracketed_ && f < target_) {
            last_t_ = t;
            last_f_ = f;
        }
        if (f >= target_) {
            high_ = t;
            bracketed_ = true;
            return f - target_ > enough_lu;
        }
        if (t <= bottom_)
            unreachable("more than " +
                        std::to_string(static_cast<int>(std::lround(start_ - bottom_))) +
                        " dB of drive would be needed, or the true-peak ceiling holds it down");
        low_ = t;
        low_f_ = f;
        return true;
    }

    // Before the target is bracketed: extrapolate along the last two points, a little beyond
    // the target, since the loudness gained per dB of drive falls as the limiter works harder.
    double extrapolate(double t, double f) {
        const double slope = low_f_ > previous_f_ && previous_t_ > low_
                                 ? (low_f_ - previous_f_) / (previous_t_ - low_)
                                 : 1.0;
        const bool stalled =
            previous_t_ - low_ > 1.0 && low_f_ - previous_f_ < 0.02 * (previous_t_ - low_);
        const bool from_start = previous_t_ == start_;
        previous_t_ = low_;
        previous_f_ = low_f_;
        // Drive that no longer raises the loudness (the true-peak ceiling holds it): one pass at
        // the most drive tells whether the target can be reached at all.
        if (stalled) return bottom_;
        // A slope from the start spans drive where the limiter had barely begun to act and says
        // little; that step is kept within a few dB per LU still missing. A slope between two
        // passes that both limit is taken as it is: material the limiter gains little loudness
        // on would otherwise be crept over in many short steps.
        const double gap = target_ + enough_lu / 2 - f;
        double step = 1.2 * gap / std::max(slope, 0.1);
        if (from_start) step = std::min(step, 2.5 * gap);
        return std::max(bottom_, t - std::max(0.25, step));
    }

    // Once bracketed: the secant through the last two passes, kept strictly inside the
    // bracket (bisection when they give no usable slope); nothing once the bracket is too
    // narrow to split.
    std::optional<double> secant(double t, double f) {
        const double slope = (f - last_f_) / (last_t_ - t);
        double next = slope > 0.0 && std::isfinite(slope)
                          ? t - (target_ + enough_lu / 2 - f) / slope
                          : (low_ + high_) / 2;
        const double margin = std::max(0.01, 0.05 * std::fabs(low_ - high_));
        if (!(low_ - high_ > 2 * margin)) return std::nullopt;
        last_t_ = t;
        last_f_ = f;
        return std::clamp(next, high_ + margin, low_ - margin);
    }

    const double target_;
    const double peak_;
    const control_ranges& range_;
    const std::function<pass_levels(double)>& measure_;
    const double top_;
    const double bottom_;
    const double start_;
    std::map<double, pass_levels> measured_;
    double quietest_ = 0.0;
    // Bracket: `low_` reaches less than the target, `high_` (more drive) reaches it.
    double low_ = start_;
    double low_f_ = 0.0;
    double high_ = bottom_;
    bool bracketed_ = false;
    double last_t_ = start_;  // the pass before the current one
    double last_f_ = 0.0;
    double previous_t_ = start_;
    double previous_f_ = 0.0;
};

}  // namespace

loudness_plan plan_loudness(double target, double peak, const control_ranges& range,
                            const std::function<pass_levels(double)>& measure) {
    return threshold_search(target, peak, range, measure).run();
}
