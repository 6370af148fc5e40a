// Zebra stripes break where the surface creases: across a sheet whose tangent plane jumps at a
// knot the stripe coordinate jumps too, while across a smooth bend of the same depth it runs on.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "model/surface_analysis.h"
#include "support/export_surfaces.h"

namespace {

// 7 x 2 points, cubic along u over x in [-1, 1], linear across y in [-1, 1], z = height(x) at
// the points; knotsU decide whether the middle point is a crease (a triple knot) or not.
SurfaceModel sheet(const std::vector<float>& knotsU, float (*height)(float)) {
    std::vector<PointH> net;
    for (int j = 0; j < 2; ++j) {
        for (int i = 0; i < 7; ++i) {
            const float x = i / 3.0f - 1.0f;
            net.push_back({x, 2.0f * j - 1.0f, height(x), 1.0f});
        }
    }
    return testsupport::makeSurface(7, 2, 4, 2, knotsU, {0, 0, 1, 1}, net);
}

struct CreaseCase {
    const char* name;
    SurfaceModel surface;
    bool creased;
};

TEST(ZebraStripes, JumpAtACreaseAndRunOnAcrossASmoothBend) {
    const CreaseCase cases[] = {
        {"roof",
         sheet({0, 0, 0, 0, 0.5f, 0.5f, 0.5f, 1, 1, 1, 1},
               [](float x) { return 0.5f * std::fabs(x); }),
         true},
        {"smooth bend",
         sheet({0, 0, 0, 0, 0.25f, 0.5f, 0.75f, 1, 1, 1, 1}, [](float x) { return 0.5f * x * x; }),
         false},
    };
    GridParameters parameters;
    for (int i = 0; i <= 64; ++i) parameters.u.push_back(i / 64.0f);
    parameters.v = {0.0f, 0.5f, 1.0f};
    for (const CreaseCase& c : cases) {
        SCOPED_TRACE(c.name);
        SurfaceGrid grid;
        evaluateSurfaceGrid(netSurfaceOf(c.surface), parameters, GridQuantity::normals, grid);
        std::vector<float> s;
        zebraCoordinates(grid, Point3(0.0f, 0.0f, 4.0f), Vector3(1.0f, 0.0f, 0.0f), 4.0f, s);
        // Steps of the stripe coordinate along the middle row: at the middle (u = 0.5) against
        // the largest step elsewhere.
        float atMiddle = 0.0f, elsewhere = 0.0f;
        for (int i = 0; i < 64; ++i) {
            const size_t k = static_cast<size_t>(grid.columns) + i;
            ASSERT_TRUE(grid.defined[k] && grid.defined[k + 1]);
            const float step = std::fabs(s[k + 1] - s[k]);
            float& largest = i == 31 || i == 32 ? atMiddle : elsewhere;
            largest = std::fmax(largest, step);
        }
        if (c.creased) {
            EXPECT_GT(atMiddle, 10.0f * elsewhere);
            EXPECT_GT(atMiddle, 1.0f);  // a whole stripe pair in one grid step
        } else {
            EXPECT_LT(atMiddle, 2.0f * elsewhere);
            EXPECT_LT(atMiddle, 0.3f);
        }
    }
}

}  // namespace
