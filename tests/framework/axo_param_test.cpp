// Parameters and the mapping curves hosts use to reach them.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "framework/axo_curve.h"
#include "test_plugin.h"

TEST(Param, SentinelArgumentsTakeTheirDefaults) {
    test_plugin p;
    EXPECT_EQ(p.mix.value_type(), AXO_VALUE_REAL);
    EXPECT_EQ(p.mix.kind(), AXO_KIND_NUMBER);
    EXPECT_EQ(p.mix.get_range(AXO_RANGE_MIN), 0.0f);
    EXPECT_EQ(p.mix.get_range(AXO_RANGE_MAX), 1.0f);
    EXPECT_EQ(p.mix.get_range(AXO_RANGE_MAP_LOW), 0.0f);
    EXPECT_EQ(p.mix.get_range(AXO_RANGE_MAP_HIGH), 1.0f);
    EXPECT_EQ(p.mix.get_curve(), AXO_CURVE_LINEAR);
    EXPECT_EQ(p.mix.get_factor(), 1.0f);
    EXPECT_EQ(p.mix.get_step(), 0.0f);
    EXPECT_EQ(p.mix.get_flags(), 0);
    EXPECT_EQ(p.mix.changed(), 1);
    EXPECT_EQ(p.gain.kind(), AXO_KIND_GAIN);
    EXPECT_EQ(p.time.kind(), AXO_KIND_TIME);
    // Map bounds follow the bounds; selectors outside 1..4 answer 0.
    EXPECT_EQ(p.time.get_range(AXO_RANGE_MAP_LOW), 0.001f);
    EXPECT_EQ(p.time.get_range(AXO_RANGE_MIN), 0.001f);
    EXPECT_EQ(p.time.get_range(AXO_RANGE_MAP_HIGH), 5.0f);
    EXPECT_EQ(p.time.get_range(AXO_RANGE_MAX), 5.0f);
    EXPECT_EQ(p.time.get_range(0), 0.0f);
    EXPECT_EQ(p.time.get_range(5), 0.0f);
}

TEST(Param, SetValueClampsAndMarksOnlyRealChanges) {
    test_plugin owner;
    axo_param_float p(&owner, "P", 1.0f, 0.25f, 1.0f, DEF, DEF, DEF, DEF_CURVE, DEF);
    p.clear_changed();
    p.set_value(0.1f);
    EXPECT_EQ(p.get_value(), 0.25f);
    EXPECT_EQ(p.changed(), 1);
    p.clear_changed();
    p.set_value(0.25f);
    EXPECT_EQ(p.changed(), 0);
    p.set_value(7.0f);
    EXPECT_EQ(p.get_value(), 1.0f);
    // A NaN would slip past both bounds; it is refused.
    p.clear_changed();
    p.set_value(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(p.get_value(), 1.0f);
    EXPECT_EQ(p.changed(), 0);
}

TEST(Param, ConstructorValueIsKeptUnclampedUntilTheFirstSet) {
    test_plugin owner;
    axo_param_float p(&owner, "P", 9.0f, 0.0f, 1.0f, DEF, DEF, DEF, DEF_CURVE, DEF);
    EXPECT_EQ(p.get_value(), 9.0f);
    EXPECT_EQ(p.index(), 5);
    EXPECT_EQ(owner.get_param_count(), 6);
}

TEST(Param, BaseParameterHasNoValue) {
    test_plugin owner;
    axo_param p(&owner, "Plain");
    p.set_value(3.0f);
    p.set_int(3);
    EXPECT_EQ(p.get_value(), 0.0f);
    EXPECT_EQ(p.get_int(), 0);
    EXPECT_EQ(p.get_factor(), 1.0f);
    EXPECT_EQ(p.get_option_text(0), nullptr);
    EXPECT_EQ(p.value_type(), AXO_VALUE_NONE);
}

TEST(Curve, EveryCurveMapsItsEndsAndRoundTrips) {
    const double lo = 0.001, hi = 5.0;
    for (int curve : {0, 1, 2, 3, 4, 5, 6, 7, 99}) {
        for (double x : {0.0, 0.125, 0.5, 0.9, 1.0}) {
            const double v = axo_curve_map(curve, lo, hi, x);
            EXPECT_NEAR(axo_curve_unmap(curve, lo, hi, v), x, 1e-12) << curve << " " << x;
        }
    }
    EXPECT_DOUBLE_EQ(axo_curve_map(AXO_CURVE_EXP, lo, hi, 0.5), lo * std::sqrt(hi / lo));
    EXPECT_DOUBLE_EQ(axo_curve_map(AXO_CURVE_EXP_REV, lo, hi, 0.0), hi);
    EXPECT_DOUBLE_EQ(axo_curve_map(AXO_CURVE_SQUARE, 0.0, 4.0, 0.5), 1.0);
    EXPECT_DOUBLE_EQ(axo_curve_map(AXO_CURVE_SQUARE_REV, 0.0, 4.0, 0.5), 1.0);
    EXPECT_DOUBLE_EQ(axo_curve_map(AXO_CURVE_LINEAR_REV, 0.0, 4.0, 0.25), 3.0);
}

TEST(Curve, OnlyExponentialCurvesClampThePosition) {
    EXPECT_DOUBLE_EQ(axo_curve_map(AXO_CURVE_EXP, 1.0, 100.0, 2.0), 100.0);
    EXPECT_DOUBLE_EQ(axo_curve_map(AXO_CURVE_EXP_REV, 1.0, 100.0, -1.0), 100.0);
    EXPECT_DOUBLE_EQ(axo_curve_map(AXO_CURVE_LINEAR, 0.0, 10.0, 2.0), 20.0);
    EXPECT_EQ(axo_curve_unmap(AXO_CURVE_EXP, 1.0, 100.0, 0.5), 0.0);
    EXPECT_EQ(axo_curve_unmap(AXO_CURVE_EXP_REV, 1.0, 100.0, 0.5), 0.0);
    EXPECT_DOUBLE_EQ(axo_curve_unmap(AXO_CURVE_SQUARE, 0.0, 4.0, -1.0), 0.5);
}
