// The curvature comb of a section: a rational circle's teeth all have one length and stand on
// the radius, a straight section has none, and a parabola's longest tooth sits at its vertex.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "model/curvature_comb.h"
#include "support/export_surfaces.h"

namespace {

const float kHalfRoot2 = std::sqrt(0.5f);

// Two sections (x = 0 and x = 1) of the same curve in the yz plane: (y, z, w) per point.
SurfaceModel twoSections(int order, std::vector<float> knots,
                         const std::vector<std::array<float, 3>>& curve) {
    std::vector<PointH> net;
    for (int section = 0; section < 2; ++section) {
        for (const auto& p : curve) net.push_back({section * p[2], p[0] * p[2], p[1] * p[2], p[2]});
    }
    const int count = static_cast<int>(curve.size());
    return testsupport::makeSurface(count, 2, order, 2, std::move(knots), {0, 0, 1, 1}, net);
}

// A full circle of radius r about (cy, cz) from nine points, four 90-degree arcs.
SurfaceModel ninePointCircle(float r, float cy, float cz) {
    const float w = kHalfRoot2;
    return twoSections(3, {0, 0, 0, 0.25f, 0.25f, 0.5f, 0.5f, 0.75f, 0.75f, 1, 1, 1},
                       {{cy + r, cz, 1},
                        {cy + r, cz + r, w},
                        {cy, cz + r, 1},
                        {cy - r, cz + r, w},
                        {cy - r, cz, 1},
                        {cy - r, cz - r, w},
                        {cy, cz - r, 1},
                        {cy + r, cz - r, w},
                        {cy + r, cz, 1}});
}

// A 120-degree arc of radius r about the origin: three points, the middle of weight 1/2.
SurfaceModel thirdOfACircle(float r) {
    const float c = 0.5f * r, s = std::sqrt(0.75f) * r;
    return twoSections(3, {0, 0, 0, 1, 1, 1}, {{c, -s, 1}, {2 * r, 0, 0.5f}, {c, s, 1}});
}

struct CircleCase {
    const char* name;
    SurfaceModel surface;
    float r, cy, cz;
    int samplesPerSpan;
    float longestTooth;
};

void PrintTo(const CircleCase& c, std::ostream* out) {
    *out << c.name;
}

const std::vector<CircleCase> kCircles = {
    {"unit_circle", ninePointCircle(1.0f, 0.0f, 0.0f), 1.0f, 0.0f, 0.0f, 16, 0.5f},
    {"small_circle_off_centre", ninePointCircle(0.1f, 0.3f, -0.2f), 0.1f, 0.3f, -0.2f, 8, 0.05f},
    {"large_circle_few_teeth", ninePointCircle(40.0f, 0.0f, 5.0f), 40.0f, 0.0f, 5.0f, 2, 10.0f},
    {"third_of_a_circle", thirdOfACircle(0.3f), 0.3f, 0.0f, 0.0f, 40, 0.1f},
};

class CircleComb : public testing::TestWithParam<CircleCase> {};

TEST_P(CircleComb, TeethHaveOneLengthAndStandOnTheRadius) {
    const CircleCase& c = GetParam();
    for (int section = 0; section < 2; ++section) {
        const CurvatureComb comb =
            sectionCurvatureComb(c.surface, section, c.samplesPerSpan, c.longestTooth);
        const int spans = c.surface.countU == 9 ? 4 : 1;
        ASSERT_EQ(static_cast<int>(comb.teeth.size()), spans * c.samplesPerSpan + 1);
        EXPECT_NEAR(comb.largestCurvature, 1.0f / c.r, 2e-4f / c.r);
        for (const CombTooth& t : comb.teeth) {
            const float dy = t.base.y - c.cy, dz = t.base.z - c.cz;
            EXPECT_NEAR(t.base.x, static_cast<float>(section), 1e-6f);
            EXPECT_NEAR(std::hypot(dy, dz), c.r, 2e-6f * c.r + 1e-6f);
            const Vector3 tooth = t.tip - t.base;
            EXPECT_NEAR(length(tooth), c.longestTooth, 2e-4f * c.longestTooth);
            // Outward along the radius, in the section's plane.
            EXPECT_NEAR(tooth.x, 0.0f, 1e-6f);
            EXPECT_NEAR(tooth.y * dz - tooth.z * dy, 0.0f, 1e-3f * c.r * c.longestTooth);
            EXPECT_GT(tooth.y * dy + tooth.z * dz, 0.0f);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Circles, CircleComb, testing::ValuesIn(kCircles),
                         [](const auto& info) { return std::string(info.param.name); });

// A straight section has no curvature to show: teeth of length 0, nothing divided by zero.
// A parabola z = y^2 (a quadratic Bezier) bends most at its vertex, where its longest tooth is.
TEST(CurvatureComb, StraightSectionsGetFlatTeethAndAParabolaPeaksAtItsVertex) {
    const SurfaceModel line =
        twoSections(2, {0, 0, 0.4f, 1, 1}, {{-1, 0, 1}, {0.2f, 0, 1}, {1, 0, 1}});
    const CurvatureComb flat = sectionCurvatureComb(line, 1, 10, 0.5f);
    ASSERT_EQ(flat.teeth.size(), 21u);
    EXPECT_EQ(flat.largestCurvature, 0.0f);
    for (const CombTooth& t : flat.teeth) EXPECT_EQ(length(t.tip - t.base), 0.0f);

    const SurfaceModel parabola =
        twoSections(3, {0, 0, 0, 1, 1, 1}, {{-1, 1, 1}, {0, -1, 1}, {1, 1, 1}});
    const CurvatureComb comb = sectionCurvatureComb(parabola, 0, 20, 0.25f);
    ASSERT_EQ(comb.teeth.size(), 21u);
    EXPECT_NEAR(comb.largestCurvature, 2.0f, 1e-4f);  // 2 / (1 + 4 y^2)^(3/2) at y = 0
    const auto longest = std::max_element(
        comb.teeth.begin(), comb.teeth.end(), [](const CombTooth& a, const CombTooth& b) {
            return length(a.tip - a.base) < length(b.tip - b.base);
        });
    EXPECT_EQ(longest - comb.teeth.begin(), 10);
    EXPECT_NEAR(longest->tip.z, -0.25f, 1e-5f);  // below the vertex: away from the centre
    EXPECT_NEAR(length(comb.teeth.front().tip - comb.teeth.front().base),
                0.25f / std::pow(5.0f, 1.5f), 1e-4f);

    EXPECT_TRUE(sectionCurvatureComb(parabola, 2, 20, 0.25f).teeth.empty());
    EXPECT_TRUE(sectionCurvatureComb(SurfaceModel(), 0, 20, 0.25f).teeth.empty());
}

}  // namespace
