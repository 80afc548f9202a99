// Finds a plug-in's parameters by name and sets or reads them in the units the plug-in shows
// ("-6dB", "200ms"), using nothing but what every VST host has: the parameter's name, its
// display text and its normalised position.
//
// How a value becomes a position: the display is a monotonic function of the position,
// rounded to a few digits. Each displayed value owns an interval of positions (a cell), and
// the display changes where the true value crosses the halfway point between two displayed
// values. Bisection on the position finds those edges around the wanted value; each is a
// known pair of position and true value, and the quadratic through three of them gives the
// position of the wanted value. Between neighbouring edges the curve is nearly straight, so
// the result is far more precise than the display's rounding, whatever curve the plug-in
// uses. Reading a value works the same way backwards. The range is what the display shows at
// positions 0 and 1. Parameters whose display is not a number (switches, selections) are set
// by matching the text they show.
//
// Probing moves the parameter through many positions; every probe is undone by restoring the
// plug-in's saved settings, so only the final position is ever left behind.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "host/parameter_access.h"
#include "host/quantity.h"

// A position and the (direction-adjusted) value the parameter has there.
struct parameter_mapper_point {
    double position;
    double value;
};

class parameter_mapper {
public:
    explicit parameter_mapper(parameter_access& plugin) : plugin_(plugin) {}

    // The index of the parameter with this name (case and surrounding blanks ignored), or -1.
    int find(const std::string& name);

    // Sets the parameter named `name` to `value` as the user typed it. A wrong name, a value
    // that is not of the parameter's kind and a value out of range are refused with
    // render_error(usage), in a message that starts with the user's own words `option`.
    void set(const std::string& option, const std::string& name, const std::string& value);

    // The parameter's current value in the unit of its display, beyond the display's rounding;
    // nothing when the display is not a number.
    std::optional<quantity> read(int index);

    // "-30 dB to 0 dB", or the texts a non-numeric parameter can show.
    std::string range_text(int index);

    // The lowest and highest value in the unit of the display; nothing when not a number.
    struct numeric_range {
        double lowest;
        double highest;
        std::string unit;
    };
    std::optional<numeric_range> range(int index);

private:
    struct sample {
        bool numeric = false;
        double value = 0.0;  // in the unit of the display at position 0
        std::string text;
    };
    struct scale {
        bool numeric = false;
        std::string unit;
        double direction = 1.0;  // +1 when the value grows with the position
        sample low, high;        // at positions 0 and 1
    };

    sample probe(int index, const std::string& unit, double position);
    scale scale_of_parameter(int index);
    // Smallest position whose (direction-adjusted) value is >= target, or > target when
    // strict; the value at `high` is known to satisfy it.
    double first_position(int index, const scale& s, double target, bool strict, double low,
                          double high);
    // A cell's edge: where the display changes, with the value halfway between the two
    // displayed values (as rounding to the display's digits puts it), or an end of the range
    // with the value displayed there. Values are direction-adjusted.
    using point = parameter_mapper_point;
    point lower_edge(int index, const scale& s, double x);
    point upper_edge(int index, const scale& s, double x);
    point third_edge(int index, const scale& s, const point& lower, const point& upper, bool below);
    double solve(int index, const scale& s, double target);
    double solve_text(int index, const std::string& option, const std::string& name,
                      const std::string& value);

    parameter_access& plugin_;
};
