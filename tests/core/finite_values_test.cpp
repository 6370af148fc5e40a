// Finiteness: a NaN or an infinity in any one slot, and only there, makes the value not finite.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "model/finite_values.h"
#include "model/surface_model.h"

TEST(FiniteValues, ANonFiniteNumberInAnySlotIsFound) {
    for (const float bad : {std::nanf(""), HUGE_VALF, -HUGE_VALF}) {
        for (int slot = 0; slot < 4; ++slot) {
            float v[4] = {1.0f, -FLT_MAX, FLT_MAX, FLT_MIN};  // the float range's ends are finite
            ASSERT_TRUE(finite(PointH{v[0], v[1], v[2], v[3]}) && allFinite(v, 4));
            v[slot] = bad;
            EXPECT_FALSE(finite(PointH{v[0], v[1], v[2], v[3]}) || allFinite(v, 4)) << slot;
            EXPECT_TRUE(allFinite(v, static_cast<size_t>(slot))) << slot;
            EXPECT_EQ(finite(Point3(v[0], v[1], v[2])), slot == 3) << slot;
            EXPECT_EQ(finite(v[0], static_cast<double>(v[1]), v[2]), slot == 3) << slot;
        }
    }
}
