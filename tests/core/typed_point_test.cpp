// Typed coordinates and weights of one control point: exactly that point moves, to exactly the
// typed place or weight; values that are not finite and weights of 0 or below change nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "model/typed_point.h"
#include "support/export_surfaces.h"

namespace {

struct TypedCase {
    const char* name;
    size_t index;
    PointField field;
    double value;
    bool accepted;
};

// The rational sheet: 5 x 4 points, weights between 0.5 and 2.
const TypedCase kCases[] = {
    {"x_of_first_point", 0, PointField::x, 1.5, true},
    {"y_of_a_middle_point", 7, PointField::y, -0.25, true},
    {"z_of_last_point", 19, PointField::z, 1e-3, true},
    {"negative_zero_x", 3, PointField::x, -0.0, true},
    {"weight_up", 12, PointField::weight, 3.0, true},
    {"weight_down", 12, PointField::weight, 0.125, true},
    {"not_a_number", 7, PointField::y, NAN, false},
    {"infinite_z", 7, PointField::z, -INFINITY, false},
    {"past_the_float_range", 7, PointField::x, 1e39, false},
    {"zero_weight", 7, PointField::weight, 0.0, false},
    {"negative_weight", 7, PointField::weight, -1.0, false},
    {"infinite_weight", 7, PointField::weight, INFINITY, false},
    {"point_past_the_net", 20, PointField::x, 1.0, false},
};

class TypedPoint : public testing::TestWithParam<TypedCase> {};

TEST_P(TypedPoint, MovesExactlyThatPoint) {
    const TypedCase& c = GetParam();
    const SurfaceModel before = testsupport::rationalUnevenSurface();
    SurfaceModel surface = before;
    std::string error;
    EXPECT_EQ(typePointValue(surface, c.index, c.field, c.value, error), c.accepted) << error;
    ASSERT_EQ(surface.controlNet.size(), before.controlNet.size());
    for (size_t k = 0; k < surface.controlNet.size(); ++k) {
        if (k == c.index && c.accepted) continue;
        EXPECT_EQ(std::memcmp(&surface.controlNet[k], &before.controlNet[k], sizeof(PointH)), 0)
            << "point " << k;
    }
    if (!c.accepted) {
        EXPECT_FALSE(error.empty());
        return;
    }
    float was[4], now[4];
    ASSERT_TRUE(typedPointValues(before, c.index, was));
    ASSERT_TRUE(typedPointValues(surface, c.index, now));
    const int typed = static_cast<int>(c.field);
    // The typed value, to the rounding of one multiplication and division by the weight; the
    // other values as they were.
    for (int k = 0; k < 4; ++k) {
        const double expected = k == typed ? c.value : was[k];
        EXPECT_NEAR(now[k], expected, 2e-7 * std::fmax(1.0, std::fabs(expected)))
            << pointFieldName(static_cast<PointField>(k));
    }
    if (c.field == PointField::weight) {
        EXPECT_EQ(surface.controlNet[c.index].w, c.value);
    }
}

INSTANTIATE_TEST_SUITE_P(Values, TypedPoint, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<TypedCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
