// Conversions between a host's normalised position x (0..1) and a parameter's real value,
// for the curve codes AXO_CURVE_... and the mapping range [low, high]. Every host bridge
// calls these, so all hosts see the same mapping. Computed in double precision.
#pragma once

// x to value. Only the exponential curves clamp x to 0..1; unknown codes are linear.
double axo_curve_map(int curve, double low, double high, double x);

// Value to x. An exponential curve answers 0 for a value below both bounds.
double axo_curve_unmap(int curve, double low, double high, double value);
