#include "axo_curve.h"

#include <cmath>

#include "axo_codes.h"

namespace {

double clamp_unit(double x) {
    if (x < 0.0) return 0.0;
    if (x > 1.0) return 1.0;
    return x;
}

}  // namespace

double axo_curve_map(int curve, double low, double high, double x) {
    switch (curve) {
        case AXO_CURVE_EXP: return low * std::pow(high / low, clamp_unit(x));
        case AXO_CURVE_SQUARE: return low + (high - low) * (x * x);
        case AXO_CURVE_LINEAR_REV: return low + (1.0 - x) * (high - low);
        case AXO_CURVE_EXP_REV: return high * std::pow(low / high, clamp_unit(x));
        case AXO_CURVE_SQUARE_REV: return low + (high - low) * ((1.0 - x) * (1.0 - x));
        default: return low + x * (high - low);
    }
}

double axo_curve_unmap(int curve, double low, double high, double value) {
    switch (curve) {
        case AXO_CURVE_EXP:
            if (value < low && value < high) return 0.0;
            return std::log(value / low) / std::log(high / low);
        case AXO_CURVE_SQUARE: return std::sqrt(std::fabs((value - low) / (high - low)));
        case AXO_CURVE_LINEAR_REV: return 1.0 - (value - low) / (high - low);
        case AXO_CURVE_EXP_REV:
            if (value < low && value < high) return 0.0;
            return std::log(value / high) / std::log(low / high);
        case AXO_CURVE_SQUARE_REV: return 1.0 - std::sqrt(std::fabs((value - low) / (high - low)));
        default: return (value - low) / (high - low);
    }
}
