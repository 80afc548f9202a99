#include "axo_param.h"

#include <cmath>

#include "axo_codes.h"
#include "axo_plugin.h"

axo_param::axo_param(axo_plugin* owner, const char* name)
    : owner_(owner),
      value_type_(AXO_VALUE_NONE),
      kind_(0),
      index_(-1),
      group_(-1),
      visibility_(1),
      changed_(1),
      name_(name != nullptr ? name : "") {
    if (owner_ != nullptr) index_ = owner_->add_param(this);
}

axo_param::~axo_param() = default;

void axo_param::set_value(float) {}
float axo_param::get_value() {
    return 0.0f;
}
void axo_param::set_int(int) {}
int axo_param::get_int() {
    return 0;
}
void axo_param::mark_changed() {
    changed_ = 1;
}
void axo_param::clear_changed() {
    changed_ = 0;
}
const char* axo_param::get_name() {
    return name_.c_str();
}
const char* axo_param::get_option_text(int) {
    return nullptr;
}
float axo_param::get_range(int) {
    return 0.0f;
}
float axo_param::get_step() {
    return 0.0f;
}
int axo_param::get_curve() {
    return 0;
}
float axo_param::get_factor() {
    return 1.0f;
}
void axo_param::clear_event_extras() {}
int axo_param::get_flags() {
    return 0;
}

namespace {

float or_default(float given, float fallback) {
    return given == AXO_PARAM_DEFAULT ? fallback : given;
}

}  // namespace

axo_param_float::axo_param_float(axo_plugin* owner, const char* name, float value, float minimum,
                                 float maximum, float step, float map_low, float map_high,
                                 int curve, float factor)
    : axo_param(owner, name) {
    axo_lock_guard guard(lock_);
    value_type_ = AXO_VALUE_REAL;
    kind_ = AXO_KIND_NUMBER;
    // A plug-in may start a parameter outside its bounds; the first set_value clamps it.
    value_ = value;
    minimum_ = or_default(minimum, 0.0f);
    maximum_ = or_default(maximum, 1.0f);
    map_low_ = or_default(map_low, minimum_);
    map_high_ = or_default(map_high, maximum_);
    curve_ = curve == AXO_PARAM_DEFAULT_CURVE ? AXO_CURVE_LINEAR : curve;
    factor_ = or_default(factor, 1.0f);
    step_ = or_default(step, 0.0f);
    flags_ = 0;
    event_extra_1_ = 0.0f;
    event_extra_2_ = 0.0f;
}

void axo_param_float::set_value(float v) {
    axo_lock_guard guard(lock_);
    // A NaN from a host or a saved project would pass every bound check and reach the
    // signal path; it is refused and the value stays as it was.
    if (std::isnan(v)) return;
    float clamped = v;
    if (v < minimum_) {
        clamped = minimum_;
    } else if (v > maximum_) {
        clamped = maximum_;
    }
    if (clamped != value_) {
        value_ = clamped;
        mark_changed();
    }
}

float axo_param_float::get_value() {
    axo_lock_guard guard(lock_);
    return value_;
}

void axo_param_float::set_int(int) {}
int axo_param_float::get_int() {
    return 0;
}

float axo_param_float::get_range(int selector) {
    switch (selector) {
        case AXO_RANGE_MAP_HIGH: return map_high_;
        case AXO_RANGE_MAP_LOW: return map_low_;
        case AXO_RANGE_MAX: return maximum_;
        case AXO_RANGE_MIN: return minimum_;
        default: return 0.0f;
    }
}

float axo_param_float::get_step() {
    return step_;
}
int axo_param_float::get_curve() {
    return curve_;
}
float axo_param_float::get_factor() {
    return factor_;
}

void axo_param_float::clear_event_extras() {
    event_extra_1_ = 0.0f;
    event_extra_2_ = 0.0f;
}

int axo_param_float::get_flags() {
    return flags_;
}

void axo_param_float::set_event_extras(float extra_1, float extra_2) {
    event_extra_1_ = extra_1;
    event_extra_2_ = extra_2;
}

axo_param_volume::axo_param_volume(axo_plugin* owner, const char* name, float value, float minimum,
                                   float maximum, float step, float map_low, float map_high,
                                   int curve, float factor)
    : axo_param_float(owner, name, value, minimum, maximum, step, map_low, map_high, curve,
                      factor) {
    kind_ = AXO_KIND_GAIN;
}

axo_param_delay::axo_param_delay(axo_plugin* owner, const char* name, float value, float minimum,
                                 float maximum, float step, float map_low, float map_high,
                                 int curve, float factor)
    : axo_param_float(owner, name, value, minimum, maximum, step, map_low, map_high, curve,
                      factor) {
    kind_ = AXO_KIND_TIME;
}
