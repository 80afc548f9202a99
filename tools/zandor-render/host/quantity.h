// Values as a user types them and as a plug-in displays them: a number and a unit.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// A number followed by an optional unit, such as "-6dB", "200 ms" or "0.5". The unit is kept as
// written (trimmed); unit_scale says how it relates to others of its kind.
struct quantity {
    double value = 0.0;
    std::string unit;
};

// Reads a quantity; "inf" and "-INF" are numbers. Answers nothing when the text does not start
// with a number.
std::optional<quantity> parse_quantity(std::string_view text);

// Units of one dimension share a family; factor converts to the family's base unit
// (seconds, hertz, decibels, percent). An unknown unit is its own family with factor 1, so it
// only converts to itself.
struct unit_scale {
    std::string family;
    double factor = 1.0;
};
unit_scale scale_of(std::string_view unit);

// Expresses q in the unit `to`. A quantity without a unit is taken to be in `to` already.
// Answers nothing when the units belong to different families.
std::optional<double> convert_quantity(const quantity& q, std::string_view to);

// A value in `unit` written for a person: "-30 dB", "1 ms", "5 s" (milliseconds from a second
// upwards are shown in seconds, hertz from a kilohertz upwards in kilohertz).
std::string format_quantity(double value, std::string_view unit);
