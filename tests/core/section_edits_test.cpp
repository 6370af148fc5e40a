// Editing a net under the pick: the points "Add" puts into every section, the pick carried over
// an insertion or a removal, and a surface with more order than points that must stay editable.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "io/surface_file.h"
#include "model/curvature.h"
#include "model/knots.h"
#include "model/picked_point.h"
#include "model/section_points.h"
#include "model/surface_commands.h"

namespace {

// Five points per section; section s lies in the plane x = s, its shape shifted and widened with
// s so that no two sections are alike; weights differ along the section.
SurfaceModel sections(int count) {
    SurfaceModel m;
    m.countU = 5;
    m.countV = count;
    m.orderU = 3;
    m.orderV = 2;
    m.knotCountU = 8;
    m.knotCountV = count + 2;
    m.knotsU.resize(8);
    fillUniformKnots(m.knotsU.data(), 8, 3);
    m.knotsV.resize(static_cast<size_t>(count + 2));
    fillUniformKnots(m.knotsV.data(), count + 2, 2);
    const float weights[5] = {1.0f, 2.0f, 0.5f, 1.0f, 1.5f};
    for (int s = 0; s < count; ++s) {
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

// Where along (a, b) p lies, and how far from that line.
void footOn(Point3 a, Point3 b, Point3 p, double& t, double& off) {
    const Vector3 ab = b - a;
    const Vector3 ap = p - a;
    const double squared = double(ab.x) * ab.x + double(ab.y) * ab.y + double(ab.z) * ab.z;
    t = (double(ap.x) * ab.x + double(ap.y) * ab.y + double(ap.z) * ab.z) / squared;
    const double dx = ap.x - t * ab.x, dy = ap.y - t * ab.y, dz = ap.z - t * ab.z;
    off = std::sqrt(dx * dx + dy * dy + dz * dz);
}

// "Add" once placed the picked position into every section, dragging the others out of their
// planes towards the current one.
TEST(SectionAdd, EachOtherSectionGetsItsPointBetweenItsOwnNeighbours) {
    const struct {
        const char* name;
        int section, index;
        float t, beside;  // u at fraction t of the current segment, moved `beside` off it in x
        double expectedT;
        int zeroWeight;  // a neighbour of weight 0 in section 1 (-1: none)
    } cases[] = {
        {"a quarter along the first segment", 0, 1, 0.25f, 0.0f, 0.25, -1},
        {"half way, current section in the middle", 1, 3, 0.5f, 0.0f, 0.5, -1},
        {"beside the segment, out of the plane", 2, 2, 0.7f, 0.3f, 0.7, -1},
        {"past the segment's end", 0, 4, 1.6f, 0.0f, 1.0, -1},
        {"a neighbour of weight 0", 0, 2, 0.5f, 0.0f, 0.5, 1},
    };
    for (const auto& c : cases) {
        SurfaceModel m = sections(3);
        if (c.zeroWeight >= 0) m.controlNet[5 + c.zeroWeight] = {0.0f, 0.0f, 0.0f, 0.0f};
        const Point3 a = place(m.controlNet[c.section * 5 + c.index - 1]);
        const Point3 b = place(m.controlNet[c.section * 5 + c.index]);
        const Point3 u(a.x + c.t * (b.x - a.x) + c.beside, a.y + c.t * (b.y - a.y),
                       a.z + c.t * (b.z - a.z));
        const std::vector<PointH> added = pointsToInsert(m, c.index, c.section, u);
        ASSERT_EQ(added.size(), 3u) << c.name;
        for (int s = 0; s < 3; ++s) {
            const PointH& p = added[static_cast<size_t>(s)];
            EXPECT_EQ(p.w, 1.0f) << c.name;
            if (s == c.section) {
                EXPECT_TRUE(p.x == u.x && p.y == u.y && p.z == u.z) << c.name;
                continue;
            }
            EXPECT_NEAR(p.x, static_cast<float>(s), 1e-5f) << c.name << ", section " << s;
            const PointH& q0 = m.controlNet[s * 5 + c.index - 1];
            const PointH& q1 = m.controlNet[s * 5 + c.index];
            if (q0.w == 0.0f || q1.w == 0.0f) {
                const Point3 kept = place(q0.w == 0.0f ? q1 : q0);
                EXPECT_NEAR(p.y, kept.y, 1e-6f) << c.name << ", section " << s;
                EXPECT_NEAR(p.z, kept.z, 1e-6f) << c.name << ", section " << s;
                continue;
            }
            double t = 0.0, off = 0.0;
            footOn(place(q0), place(q1), place(p), t, off);
            EXPECT_NEAR(t, c.expectedT, 1e-5) << c.name << ", section " << s;
            EXPECT_NEAR(off, 0.0, 1e-5) << c.name << ", section " << s;
        }
        // Inserted, every section keeps its other points in order around the new one.
        const std::vector<PointH> before = m.controlNet;
        insertSectionPoint(m, c.index, added);
        ASSERT_EQ(m.countU, 6);
        for (int s = 0; s < 3; ++s) {
            EXPECT_EQ(m.controlNet[s * 6 + c.index].y, added[static_cast<size_t>(s)].y);
            EXPECT_EQ(m.controlNet[s * 6 + c.index + 1].y, before[s * 5 + c.index].y);
        }
    }
}

// The pick named a flat offset; after Add or Delete it named whatever point came to lie there.
TEST(PickedPoint, StaysOnItsPointOrIsDroppedWhenTheNetChanges) {
    const struct {
        const char* name;
        bool insert;
        int index;
        int pickedSection, pickedPoint;  // -1: none
        int section, point;              // expected afterwards, -1: none
    } cases[] = {
        {"insert before the pick", true, 1, 2, 3, 2, 4},
        {"insert at the pick", true, 3, 2, 3, 2, 4},
        {"insert after the pick", true, 4, 1, 3, 1, 3},
        {"insert with no pick", true, 2, -1, -1, -1, -1},
        {"remove before the pick", false, 1, 2, 3, 2, 2},
        {"remove the picked point", false, 3, 2, 3, -1, -1},
        {"remove after the pick", false, 4, 0, 3, 0, 3},
    };
    for (const auto& c : cases) {
        Selection selection;
        if (c.pickedSection >= 0) {
            selection.pickedPointOffset = 4 * (c.pickedSection * 5 + c.pickedPoint);
            selection.weightValue = 2.0f;
        }
        if (c.insert) {
            carryPickOverInsert(selection, 5, c.index);
        } else {
            carryPickOverRemoval(selection, 5, c.index);
        }
        const int countU = c.insert ? 6 : 4;
        const int expected = c.section < 0 ? -1 : 4 * (c.section * countU + c.point);
        EXPECT_EQ(selection.pickedPointOffset, expected) << c.name;
        if (expected < 0) {
            EXPECT_EQ(selection.weightValue, -1.0f) << c.name;
        }
    }
}

// A file whose degrees exceed its points loads, but every command refused it, revolution and the
// degree controls included: it could not be repaired in the editor.
TEST(OverDegreeSurface, ItsSectionsCanBeEditedAndRevolved) {
    SurfaceModel m;
    std::string error;
    ASSERT_TRUE(readSurfaceFile(LOFTWORK_SOURCE_DIR "/tests/data/edge-degrees-beyond-points.surf",
                                m, error))
        << error;
    ASSERT_GT(m.orderU, m.countU);
    EXPECT_FALSE(surfaceIsUsable(m));
    EXPECT_TRUE(hasSection(m, 0));
    EXPECT_FALSE(hasSection(m, m.countV));
    EXPECT_TRUE(moveSectionPoint(m, 1, 0, Point3(0.5f, 0.5f, 0.5f)));

    SurfaceModel revolved;
    ASSERT_TRUE(revolveSection(m, 1, revolved, error)) << error;
    EXPECT_EQ(revolved.countV, 9);
    EXPECT_EQ(revolved.orderV, 3);
    EXPECT_TRUE(surfaceArraysMatch(revolved));

    // What needs the section's curve still says there is none.
    CurveCurvature curvature;
    EXPECT_EQ(evaluateSectionCurvature(m, 0, 0.5f, curvature), CurvatureStatus::NoPoint);
}

}  // namespace
