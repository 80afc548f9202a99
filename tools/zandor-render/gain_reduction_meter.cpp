#include "gain_reduction_meter.h"

#include <algorithm>
#include <cmath>

namespace {

double to_db(double linear) {
    return linear > 0.0 ? 20.0 * std::log10(linear) : -HUGE_VAL;
}

constexpr double silenced_db = 120.0;  // the reduction of a frame that came out as 0

}  // namespace

gain_reduction_meter::gain_reduction_meter(double reference_gain_db)
    : reference_gain_(std::pow(10.0, reference_gain_db / 20.0)) {}

double gain_reduction_meter::renormalise(double product) {
    int exponent = 0;
    const double mantissa = std::frexp(product, &exponent);
    product_exponent_ += exponent;
    return mantissa;
}

double gain_reduction_meter::largest_db() const {
    return std::max(to_db(largest_ratio_), silenced_ > 0 ? silenced_db : 0.0);
}

double gain_reduction_meter::average_db() const {
    if (measured_ == 0) return 0.0;
    const double sum_db = to_db(product_) + static_cast<double>(product_exponent_) * to_db(2.0) +
                          static_cast<double>(silenced_) * silenced_db;
    return sum_db / static_cast<double>(measured_);
}
