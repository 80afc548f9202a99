#include "host/parameter_mapper.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "render_error.h"

namespace {

std::string folded(const std::string& s) {
    size_t begin = 0;
    size_t end = s.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(s[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(s[end - 1]))) --end;
    std::string out = s.substr(begin, end - begin);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Values typed by a user and values parsed from a display agree when they differ only by the
// rounding of a unit conversion (0.2 s is 200.00000000000003 ms).
bool near(double a, double b) {
    if (a == b) return true;
    return std::fabs(a - b) <= 1e-9 * std::max({1.0, std::fabs(a), std::fabs(b)});
}

// Positions handed to setParameter are 32-bit floats; bisection works on exactly those.
double as_position(double x) {
    return static_cast<double>(static_cast<float>(x));
}

double position_below(double x) {
    return static_cast<double>(std::nextafter(static_cast<float>(x), 0.0f));
}

// Saves the plug-in's settings and puts them back on every way out.
class settings_guard {
public:
    explicit settings_guard(parameter_access& plugin)
        : plugin_(plugin), saved_(plugin.save_settings()) {}
    ~settings_guard() { plugin_.restore_settings(saved_); }
    settings_guard(const settings_guard&) = delete;
    settings_guard& operator=(const settings_guard&) = delete;

private:
    parameter_access& plugin_;
    std::vector<uint8_t> saved_;
};

}  // namespace

int parameter_mapper::find(const std::string& name) {
    const std::string wanted = folded(name);
    for (int i = 0; i < plugin_.parameter_count(); ++i) {
        if (folded(plugin_.parameter_name(i)) == wanted) return i;
    }
    return -1;
}

parameter_mapper::sample parameter_mapper::probe(int index, const std::string& unit,
                                                 double position) {
    plugin_.set_parameter_position(index, static_cast<float>(position));
    sample s;
    s.text = plugin_.parameter_display(index);
    const std::optional<quantity> q = parse_quantity(s.text);
    if (!q) return s;
    const std::optional<double> v = convert_quantity(*q, unit);
    if (!v) return s;
    s.numeric = true;
    s.value = *v;
    return s;
}

parameter_mapper::scale parameter_mapper::scale_of_parameter(int index) {
    scale s;
    plugin_.set_parameter_position(index, 0.0f);
    const std::optional<quantity> first = parse_quantity(plugin_.parameter_display(index));
    if (first) s.unit = first->unit;
    s.low = probe(index, s.unit, 0.0);
    s.high = probe(index, s.unit, 1.0);
    s.numeric = s.low.numeric && s.high.numeric;
    s.direction = s.high.value >= s.low.value ? 1.0 : -1.0;
    return s;
}

double parameter_mapper::first_position(int index, const scale& s, double target, bool strict,
                                        double low, double high) {
    // Down to neighbouring floats, so that the position just below the answer lies on the
    // other side of the edge (near 0 the floats are far denser than any fixed width).
    for (;;) {
        const double middle = as_position((low + high) / 2);
        if (middle <= low || middle >= high) break;
        const sample m = probe(index, s.unit, middle);
        const double g = s.direction * m.value;
        const bool beyond = m.numeric && (strict ? g > target : g >= target);
        (beyond ? high : low) = middle;
    }
    return high;
}

parameter_mapper::point parameter_mapper::lower_edge(int index, const scale& s, double x) {
    const double v = s.direction * probe(index, s.unit, x).value;
    const double start = s.direction * s.low.value;
    if (start >= v) return {0.0, start};
    const double edge = first_position(index, s, v, false, 0.0, x);
    const double before = s.direction * probe(index, s.unit, position_below(edge)).value;
    return {edge, (before + v) / 2};
}

parameter_mapper::point parameter_mapper::upper_edge(int index, const scale& s, double x) {
    const double v = s.direction * probe(index, s.unit, x).value;
    const double end = s.direction * s.high.value;
    if (end <= v) return {1.0, end};
    const double edge = first_position(index, s, v, true, x, 1.0);
    const double after = s.direction * probe(index, s.unit, edge).value;
    return {edge, (v + after) / 2};
}

// The third edge next to the cell [lower, upper]: below it when `below` is asked for and there
// is room, else above it.
parameter_mapper::point parameter_mapper::third_edge(int index, const scale& s, const point& lower,
                                                     const point& upper, bool below) {
    if (below && lower.position > 0.0) return lower_edge(index, s, position_below(lower.position));
    if (upper.position < 1.0) return upper_edge(index, s, upper.position);
    if (lower.position > 0.0) return lower_edge(index, s, position_below(lower.position));
    return upper;  // the whole range is one cell; the caller falls back to two points
}

namespace {

// The quadratic through three points (a, b), evaluated at a. Answers nothing when two a's
// coincide or a point is not finite; the caller then uses a straight line.
std::optional<double> quadratic_through(const double a[3], const double b[3], double at) {
    double result = 0.0;
    for (int i = 0; i < 3; ++i) {
        double term = b[i];
        for (int j = 0; j < 3; ++j) {
            if (j == i) continue;
            if (a[i] == a[j] || !std::isfinite(a[j])) return std::nullopt;
            term *= (at - a[j]) / (a[i] - a[j]);
        }
        result += term;
    }
    return std::isfinite(result) ? std::optional<double>(result) : std::nullopt;
}

// The position in [from, to] where the quadratic through three edges (value as a function of
// position) takes the value `target`. Fitting that way round stays exact where a curve is flat,
// as a square curve is at its start. Answers nothing when there is no such position.
std::optional<double> position_on_quadratic(const parameter_mapper_point edges[3], double target,
                                            double from, double to) {
    const double x0 = edges[0].position, x1 = edges[1].position, x2 = edges[2].position;
    const double w0 = edges[0].value, w1 = edges[1].value, w2 = edges[2].value;
    if (x0 == x1 || x1 == x2 || x0 == x2 || !std::isfinite(w0 + w1 + w2)) return std::nullopt;
    // Newton's form: w(x) = w0 + d1 (x - x0) + d2 (x - x0)(x - x1).
    const double d1 = (w1 - w0) / (x1 - x0);
    const double d2 = ((w2 - w1) / (x2 - x1) - d1) / (x2 - x0);
    const double a = d2;
    const double b = d1 - d2 * (x0 + x1);
    const double c = w0 - d1 * x0 + d2 * x0 * x1 - target;
    const double slack = 1e-12;
    auto inside = [&](double x) {
        return std::isfinite(x) && x >= from - slack && x <= to + slack;
    };
    if (std::fabs(a) < 1e-12 * std::max(std::fabs(b), 1e-300)) {
        const double x = -c / b;
        return inside(x) ? std::optional<double>(x) : std::nullopt;
    }
    const double discriminant = b * b - 4 * a * c;
    if (discriminant < 0) return std::nullopt;
    // The numerically stable pair of roots.
    const double q = -0.5 * (b + std::copysign(std::sqrt(discriminant), b));
    for (const double x : {q / a, q != 0.0 ? c / q : NAN}) {
        if (inside(x)) return std::clamp(x, from, to);
    }
    return std::nullopt;
}

}  // namespace

double parameter_mapper::solve(int index, const scale& s, double target) {
    if (near(target, s.direction * s.low.value)) return 0.0;
    if (near(target, s.direction * s.high.value)) return 1.0;
    // The first position that shows at least the target; its cell's edges, and the nearest
    // edge beyond them on the target's side, bracket the target.
    const double above = first_position(index, s, target, false, 0.0, 1.0);
    const point lower = lower_edge(index, s, above);
    const point upper = upper_edge(index, s, above);
    const point third = third_edge(index, s, lower, upper, target < lower.value);

    // Of the edges, the two on either side of the target give a straight-line answer; the
    // quadratic through all three refines it where the curve bends.
    const point& left = target < lower.value ? third : lower;
    const point& right = target < lower.value ? lower : upper;
    if (!std::isfinite(left.value) || !std::isfinite(right.value) || right.value <= left.value)
        return above;
    const double straight = left.position + (target - left.value) / (right.value - left.value) *
                                                (right.position - left.position);
    const point edges[3] = {lower, upper, third};
    const std::optional<double> curved =
        position_on_quadratic(edges, target, left.position, right.position);
    return std::clamp(curved ? *curved : straight, 0.0, 1.0);
}

double parameter_mapper::solve_text(int index, const std::string& option, const std::string& name,
                                    const std::string& value) {
    // 201 positions find every state of a switch or a selection of up to a hundred options.
    constexpr int steps = 200;
    const std::string wanted = folded(value);
    std::vector<std::string> shown;
    double first = -1.0;
    double last = -1.0;
    for (int i = 0; i <= steps; ++i) {
        const double x = as_position(static_cast<double>(i) / steps);
        plugin_.set_parameter_position(index, static_cast<float>(x));
        const std::string text = plugin_.parameter_display(index);
        if (shown.empty() || shown.back() != text) shown.push_back(text);
        if (folded(text) == wanted) {
            if (first < 0.0) first = x;
            if (last < 0.0 || last == as_position(static_cast<double>(i - 1) / steps)) last = x;
        }
    }
    if (first < 0.0) {
        std::string choices;
        for (const std::string& t : shown) choices += (choices.empty() ? "" : ", ") + t;
        throw render_error(exit_status::usage, option + ": " + name + " has no setting '" + value +
                                                   "' (it shows: " + choices + ")");
    }
    return as_position((first + last) / 2);
}

void parameter_mapper::set(const std::string& option, const std::string& name,
                           const std::string& value) {
    const int index = find(name);
    if (index < 0) {
        std::string names;
        for (int i = 0; i < plugin_.parameter_count(); ++i)
            names += (names.empty() ? "" : ", ") + plugin_.parameter_name(i);
        throw render_error(exit_status::usage, option + ": the plug-in has no parameter '" + name +
                                                   "' (it has: " + names + ")");
    }
    const std::string real_name = plugin_.parameter_name(index);
    double position = 0.0;
    {
        settings_guard guard(plugin_);
        const scale s = scale_of_parameter(index);
        if (!s.numeric) {
            position = solve_text(index, option, real_name, value);
        } else {
            const std::optional<quantity> q = parse_quantity(value);
            const std::optional<double> v = q ? convert_quantity(*q, s.unit) : std::nullopt;
            if (!v || !std::isfinite(*v)) {
                const std::string unit = s.unit.empty() ? "a number" : "a value in " + s.unit;
                throw render_error(exit_status::usage, option + ": " + real_name + " takes " +
                                                           unit + ", from " + range_text(index));
            }
            if (near(s.low.value, s.high.value)) {
                throw render_error(exit_status::usage,
                                   option + ": " + real_name + " cannot be changed");
            }
            const double lowest = std::min(s.low.value, s.high.value);
            const double highest = std::max(s.low.value, s.high.value);
            if ((*v < lowest && !near(*v, lowest)) || (*v > highest && !near(*v, highest))) {
                throw render_error(exit_status::usage, option + " is out of range: " + real_name +
                                                           " goes from " + range_text(index));
            }
            position = solve(index, s, s.direction * *v);
        }
    }
    plugin_.set_parameter_position(index, static_cast<float>(position));
}

std::optional<quantity> parameter_mapper::read(int index) {
    settings_guard guard(plugin_);
    const double x = static_cast<double>(plugin_.parameter_position(index));
    const scale s = scale_of_parameter(index);
    if (!s.numeric) return std::nullopt;
    if (x <= 0.0) return quantity{s.low.value, s.unit};
    if (x >= 1.0) return quantity{s.high.value, s.unit};

    const double shown = probe(index, s.unit, x).value;
    const point lower = lower_edge(index, s, x);
    const point upper = upper_edge(index, s, x);
    const point third =
        third_edge(index, s, lower, upper, x < (lower.position + upper.position) / 2);
    const double positions[3] = {lower.position, upper.position, third.position};
    const double values[3] = {lower.value, upper.value, third.value};
    const std::optional<double> v = quadratic_through(positions, values, x);
    // Within its cell the value cannot leave the cell's edges.
    if (!v || *v < lower.value || *v > upper.value) return quantity{shown, s.unit};
    return quantity{s.direction * *v, s.unit};
}

std::string parameter_mapper::range_text(int index) {
    settings_guard guard(plugin_);
    const scale s = scale_of_parameter(index);
    if (s.numeric) {
        const double lowest = std::min(s.low.value, s.high.value);
        const double highest = std::max(s.low.value, s.high.value);
        return format_quantity(lowest, s.unit) + " to " + format_quantity(highest, s.unit);
    }
    return s.low.text + " to " + s.high.text;
}

std::optional<parameter_mapper::numeric_range> parameter_mapper::range(int index) {
    settings_guard guard(plugin_);
    const scale s = scale_of_parameter(index);
    if (!s.numeric) return std::nullopt;
    return numeric_range{std::min(s.low.value, s.high.value), std::max(s.low.value, s.high.value),
                         s.unit};
}
