// The points "Add" puts into every section: the current section gets the picked position, each
// other one a point between its own neighbours, in its own plane.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "model/knots.h"
#include "model/section_knots.h"
#include "model/section_points.h"
#include "support/curve_shape.h"

namespace {

// Three sections of five points; section s lies in the plane x = s, shifted and widened with s.
SurfaceModel sections() {
    SurfaceModel m;
    m.countU = 5;
    m.countV = 3;
    m.orderU = 3;
    m.orderV = 2;
    m.knotCountU = 8;
    m.knotCountV = 5;
    m.knotsU.resize(8);
    m.knotsV.resize(5);
    fillUniformKnots(m.knotsU.data(), 8, 3);
    fillUniformKnots(m.knotsV.data(), 5, 2);
    const float weights[5] = {1.0f, 2.0f, 0.5f, 1.0f, 1.5f};
    for (int s = 0; s < 3; ++s) {
        for (int j = 0; j < 5; ++j) {
            const float w = weights[j];
            const float y = (0.4f + 0.3f * s) * std::cos(0.7f * j) + 0.2f * s;
            const float z = (0.4f + 0.1f * s) * std::sin(0.7f * j);
            m.controlNet.push_back({s * w, y * w, z * w, w});
        }
    }
    return m;
}

Point3 place(const PointH& p) {
    return Point3(p.x / p.w, p.y / p.w, p.z / p.w);
}

// "Add" once put the picked position into every section, pulling the others out of their planes.
TEST(SectionAdd, EachOtherSectionGetsItsPointBetweenItsOwnNeighbours) {
    const struct {
        const char* name;
        int section, index;
        float t, beside;   // u at fraction t of the current segment, `beside` off it along x
        double expectedT;  // where the other sections' points lie along their segments
        bool zeroWeight;   // section 1's neighbour index - 1 has weight 0
    } cases[] = {
        {"a quarter along the first segment", 0, 1, 0.25f, 0.0f, 0.25, false},
        {"half way, from the middle section", 1, 3, 0.5f, 0.0f, 0.5, false},
        {"beside the segment, out of the plane", 2, 2, 0.7f, 0.3f, 0.7, false},
        {"past the segment's end", 0, 4, 1.6f, 0.0f, 1.0, false},
        {"a neighbour of weight 0", 0, 2, 0.5f, 0.0f, 0.5, true},
    };
    for (const auto& c : cases) {
        SurfaceModel m = sections();
        if (c.zeroWeight) m.controlNet[5 + c.index - 1] = {0.0f, 0.0f, 0.0f, 0.0f};
        const Point3 a = place(m.controlNet[c.section * 5 + c.index - 1]);
        const Point3 b = place(m.controlNet[c.section * 5 + c.index]);
        const Point3 u(a.x + c.t * (b.x - a.x) + c.beside, a.y + c.t * (b.y - a.y),
                       a.z + c.t * (b.z - a.z));
        const std::vector<PointH> added = pointsToInsert(m, c.index, c.section, u);
        ASSERT_EQ(added.size(), 3u) << c.name;
        for (int s = 0; s < 3; ++s) {
            const PointH& p = added[static_cast<size_t>(s)];
            EXPECT_EQ(p.w, 1.0f) << c.name;
            const Point3 q0 = place(m.controlNet[s * 5 + c.index - 1]);
            const Point3 q1 = place(m.controlNet[s * 5 + c.index]);
            // The current section keeps u; a missing neighbour leaves the other one's place.
            const double t = c.zeroWeight && s == 1 ? 0.0 : c.expectedT;
            const Point3 from = c.zeroWeight && s == 1 ? q1 : q0;
            const Point3 expected =
                s == c.section ? u
                               : Point3(from.x + t * (q1.x - from.x), from.y + t * (q1.y - from.y),
                                        from.z + t * (q1.z - from.z));
            EXPECT_NEAR(p.x, expected.x, 1e-5f) << c.name << ", section " << s;
            EXPECT_NEAR(p.y, expected.y, 1e-5f) << c.name << ", section " << s;
            EXPECT_NEAR(p.z, expected.z, 1e-5f) << c.name << ", section " << s;
        }
        insertSectionPoint(m, c.index, added);
        ASSERT_EQ(m.countU, 6);
        for (int s = 0; s < 3; ++s) EXPECT_EQ(m.controlNet[s * 6 + c.index].y, added[s].y);
    }
}

// "Add" inserts a knot into the other sections: their curves keep their shapes, the current
// section gets u between its two neighbours and keeps every other point.
TEST(SectionAdd, TheOtherSectionsKeepTheirShapes) {
    const struct {
        const char* name;
        int order;
        std::vector<float> knots;  // empty: clamped uniform
        int section, index;
    } cases[] = {
        {"degree 2, first segment", 3, {}, 0, 1},
        {"degree 2, last segment", 3, {}, 2, 4},
        {"degree 2, middle, from the middle section", 3, {}, 1, 2},
        {"degree 3", 4, {}, 1, 3},
        {"degree 3, uneven knots", 4, {0, 0, 0, 0, 0.1f, 1, 1, 1, 1}, 2, 2},
        {"degree 4, a Bezier curve", 5, {}, 0, 2},
        {"degree 1", 2, {}, 1, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SurfaceModel m = sections();
        m.orderU = c.order;
        m.knotCountU = 5 + c.order;
        m.knotsU.resize(static_cast<size_t>(m.knotCountU));
        fillUniformKnots(m.knotsU.data(), m.knotCountU, c.order);
        if (!c.knots.empty()) m.knotsU = c.knots;
        const SurfaceModel before = m;
        const Point3 u(static_cast<float>(c.section), 0.9f, -0.2f);
        ASSERT_TRUE(insertPointByKnot(m, c.index, c.section, u));
        ASSERT_EQ(m.countU, 6);
        ASSERT_TRUE(surfaceArraysMatch(m));
        // One knot more, strictly inside the range, the old ones kept.
        std::vector<float> knots = m.knotsU;
        EXPECT_TRUE(std::is_sorted(knots.begin(), knots.end()));
        for (float k : before.knotsU) knots.erase(std::find(knots.begin(), knots.end(), k));
        ASSERT_EQ(knots.size(), 1u);
        EXPECT_GT(knots[0], before.knotsU[static_cast<size_t>(c.order - 1)]);
        EXPECT_LT(knots[0], before.knotsU[5]);
        for (int s = 0; s < 3; ++s) {
            if (s != c.section) {
                EXPECT_LT(testsupport::shapeChange(before, s, m, s), 1e-6) << "section " << s;
                continue;
            }
            for (int j = 0; j < 6; ++j) {
                const PointH& now = m.controlNet[static_cast<size_t>(s * 6 + j)];
                const PointH expected =
                    j == c.index
                        ? PointH{u.x, u.y, u.z, 1.0f}
                        : before.controlNet[static_cast<size_t>(s * 5 + (j < c.index ? j : j - 1))];
                EXPECT_EQ(0, memcmp(&now, &expected, sizeof(PointH))) << "point " << j;
            }
        }
    }
}

}  // namespace
