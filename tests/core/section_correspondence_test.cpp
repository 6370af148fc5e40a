// Section correspondence: flip and start shifts undone bit for bit, refusals on open sections,
// and "align all" untwisting a hull whose sections were turned and reversed at random.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "model/derived_nets.h"
#include "model/knots.h"
#include "model/section_correspondence.h"
#include "model/skinning.h"

namespace {

// A hull of closed sections (the last point repeats the first): lopsided rings along z, so no
// turn or reflection of a ring maps it onto the next one.
SurfaceModel closedHull(int countU, int countV) {
    SurfaceModel s;
    s.countU = countU;
    s.countV = countV;
    s.orderU = 4;
    s.orderV = std::min(4, countV);
    s.knotCountU = countU + 4;
    s.knotCountV = countV + s.orderV;
    s.knotsU.resize(static_cast<size_t>(s.knotCountU));
    s.knotsV.resize(static_cast<size_t>(s.knotCountV));
    fillUniformKnots(s.knotsU.data(), s.knotCountU, 4);
    fillUniformKnots(s.knotsV.data(), s.knotCountV, s.orderV);
    for (int v = 0; v < countV; ++v) {
        const float z = 0.7f * static_cast<float>(v);
        for (int j = 0; j < countU - 1; ++j) {
            const float t = 6.2831853f * static_cast<float>(j) / static_cast<float>(countU - 1);
            const float r = 1.0f + 0.1f * static_cast<float>(v % 3) + 0.3f * std::cos(t - 0.4f);
            const float w = 1.0f + 0.2f * std::sin(static_cast<float>(j + v));
            s.controlNet.push_back({r * std::cos(t) * w, 0.6f * r * std::sin(t) * w, z * w, w});
        }
        s.controlNet.push_back(s.controlNet[static_cast<size_t>(v) * countU]);
    }
    return s;
}

struct RoundTrip {
    const char* name;
    std::vector<int> steps;  // 0 = flip, otherwise a start shift by that many points
};

class CorrespondenceRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(CorrespondenceRoundTrip, GivesTheSectionBackBitForBit) {
    const SurfaceModel before = closedHull(9, 4);
    SurfaceModel s = before;
    std::string error;
    for (int step : GetParam().steps) {
        const bool done =
            step == 0 ? flipSection(s, 2, error) : shiftSectionStart(s, 2, step, error);
        ASSERT_TRUE(done) << error;
    }
    EXPECT_TRUE(sameSurface(s, before));
}

INSTANTIATE_TEST_SUITE_P(Steps, CorrespondenceRoundTrip,
                         ::testing::Values(RoundTrip{"flip_twice", {0, 0}},
                                           RoundTrip{"plus_then_minus", {1, -1}},
                                           RoundTrip{"minus_then_plus", {-1, 1}},
                                           RoundTrip{"round_the_section", {1, 1, 1, 1, 1, 1, 1, 1}},
                                           RoundTrip{"flip_shift_flip_shift", {0, 3, 0, 3}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CorrespondenceRoundTrip, AStartShiftKeepsTheClosedPolygon) {
    SurfaceModel s = closedHull(9, 3);
    std::string error;
    ASSERT_TRUE(shiftSectionStart(s, 1, 1, error));
    const SurfaceModel hull = closedHull(9, 3);
    const PointH* before = sectionPoints(hull, 1);
    const PointH* after = sectionPoints(s, 1);
    for (int j = 0; j < 8; ++j)
        EXPECT_EQ(0, memcmp(&after[j], &before[(j + 1) % 8], sizeof(PointH)));
    EXPECT_TRUE(sectionIsClosed(s, 1));
}

struct Refusal {
    const char* name;
    int section;
    bool openSection;
    const char* reason;
};

class CorrespondenceRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(CorrespondenceRefusal, ChangesNothing) {
    const Refusal& c = GetParam();
    SurfaceModel s = closedHull(9, 3);
    if (c.openSection) s.controlNet[static_cast<size_t>(c.section) * 9 + 8].x += 0.5f;
    const SurfaceModel before = s;
    std::string error;
    EXPECT_FALSE(shiftSectionStart(s, c.section, 1, error));
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    EXPECT_TRUE(sameSurface(s, before)) << error;
}

INSTANTIATE_TEST_SUITE_P(Cases, CorrespondenceRefusal,
                         ::testing::Values(Refusal{"open_section", 1, true, "not closed"},
                                           Refusal{"missing_section", 3, false, "no section 3"},
                                           Refusal{"negative_section", -1, false, "no section"}),
                         [](const auto& info) { return std::string(info.param.name); });

class AlignAll : public ::testing::TestWithParam<unsigned> {};

// Every section after the first turned by a random start and reversed at random: aligning gives
// back the hull, and so the same skinned surface, and reports the fall in total distance.
TEST_P(AlignAll, UntwistsAHullOfRandomlyTurnedSections) {
    const SurfaceModel hull = closedHull(11, 7);
    SurfaceModel twisted = hull;
    std::mt19937 random(GetParam());
    std::string error;
    for (int v = 1; v < twisted.countV; ++v) {
        if (random() % 2 == 1) {
            ASSERT_TRUE(flipSection(twisted, v, error));
        }
        ASSERT_TRUE(shiftSectionStart(twisted, v, static_cast<int>(random() % 10), error));
    }
    AlignmentReport report;
    ASSERT_TRUE(alignSections(twisted, report, error)) << error;
    EXPECT_TRUE(sameSurface(twisted, hull));
    float untwisted = 0.0f;
    for (int v = 1; v < hull.countV; ++v) untwisted += sectionDistance(hull, v - 1, v);
    EXPECT_NEAR(report.totalAfter, untwisted, 1e-4f);
    EXPECT_LE(report.totalAfter, report.totalBefore);

    DerivedNets a, b;
    ASSERT_TRUE(skinSurface(hull, {LoftParameters::centripetal, true}, a, error));
    ASSERT_TRUE(skinSurface(twisted, {LoftParameters::centripetal, true}, b, error));
    ASSERT_EQ(a.skinnedNet.size(), b.skinnedNet.size());
    for (size_t i = 0; i < a.skinnedNet.size(); ++i) {
        EXPECT_NEAR(a.skinnedNet[i].x, b.skinnedNet[i].x, 1e-5f);
        EXPECT_NEAR(a.skinnedNet[i].z, b.skinnedNet[i].z, 1e-5f);
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, AlignAll, ::testing::Values(1u, 2u, 3u, 4u, 5u));

TEST(AlignAll, OpenSectionsAreOnlyReversed) {
    SurfaceModel s = closedHull(9, 3);
    for (int v = 0; v < 3; ++v) s.controlNet[static_cast<size_t>(v) * 9 + 8].y += 0.25f;  // open
    const SurfaceModel open = s;
    std::string error;
    ASSERT_TRUE(flipSection(s, 1, error));
    ASSERT_TRUE(flipSection(s, 2, error));
    AlignmentReport report;
    ASSERT_TRUE(alignSections(s, report, error));
    EXPECT_EQ(report.changedSections, 2) << report.totalBefore << " " << report.totalAfter;
    EXPECT_TRUE(sameSurface(s, open));
}

}  // namespace
