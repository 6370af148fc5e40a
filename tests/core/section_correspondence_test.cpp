// Section correspondence: flip and start shifts undone bit for bit, refusals on open sections,
// "start -1" / "start +1" keeping every curve's shape, and "align all" untwisting a hull whose
// sections were turned and reversed at random.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "model/derived_nets.h"
#include "model/editor_state.h"
#include "model/knots.h"
#include "model/section_correspondence.h"
#include "model/skinning.h"
#include "model/surface_edit.h"
#include "support/curve_shape.h"

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

// A closed full circle of radius 2 in the plane x = section, degree 2: nine points, weights
// 1, 1/sqrt 2 at the corners of the square, knots doubled at the quarters.
SurfaceModel circles(int countV) {
    SurfaceModel s;
    s.countU = 9;
    s.countV = countV;
    s.orderU = 3;
    s.orderV = 2;
    s.knotCountU = 12;
    s.knotCountV = countV + 2;
    s.knotsU = {0, 0, 0, 0.25f, 0.25f, 0.5f, 0.5f, 0.75f, 0.75f, 1, 1, 1};
    s.knotsV.resize(static_cast<size_t>(s.knotCountV));
    fillUniformKnots(s.knotsV.data(), s.knotCountV, 2);
    const float c[9][2] = {{1, 0},   {1, 1},  {0, 1},  {-1, 1}, {-1, 0},
                           {-1, -1}, {0, -1}, {1, -1}, {1, 0}};
    for (int v = 0; v < countV; ++v) {
        for (int j = 0; j < 9; ++j) {
            const float w = j % 2 == 1 ? 0.70710678f : 1.0f;
            s.controlNet.push_back(
                {static_cast<float>(v) * w, 2 * c[j][0] * w, 2 * c[j][1] * w, w});
        }
    }
    return s;
}

struct Turn {
    const char* name;
    SurfaceModel (*make)();
    int section;
    std::vector<int> steps;  // +1 / -1 presses
    double startKnot;        // where on the old curve the last press puts the start
    int countU;              // points per section after the presses, at most
};

class StartButtons : public ::testing::TestWithParam<Turn> {};

// The start moves along the curve: every section keeps its shape within a millionth of its
// size, the turned section starts at its old curve's point at the knot it moved to, undo gives
// the surface back bit for bit.
TEST_P(StartButtons, MoveTheStartAlongTheCurveAndKeepEveryShape) {
    const Turn& c = GetParam();
    editor = EditorState();
    editor.surface = c.make();
    editor.derived.multiplicity = 1;
    editor.selection.currentSection = c.section;
    const SurfaceModel before = editor.surface;
    std::vector<SurfaceModel> states = {before};
    for (int step : c.steps) {
        step > 0 ? turnCurrentSectionStart(editor, 1) : turnCurrentSectionStart(editor, -1);
        ASSERT_FALSE(sameSurface(editor.surface, states.back())) << editor.panel.statusLine;
        states.push_back(editor.surface);
    }
    const SurfaceModel& after = editor.surface;
    EXPECT_LE(after.countU, c.countU);
    EXPECT_GE(after.countU, before.countU);
    EXPECT_EQ(after.knotCountU, after.countU + after.orderU);
    ASSERT_TRUE(surfaceArraysMatch(after));
    for (int v = 0; v < after.countV; ++v) {
        EXPECT_LT(testsupport::shapeChange(before, v, after, v), 1e-6) << "section " << v;
    }
    EXPECT_TRUE(sectionIsClosed(after, c.section));
    const testsupport::Sample start =
        testsupport::curvePoint(before.knotsU, sectionPoints(before, c.section), before.countU,
                                before.orderU - 1, c.startKnot);
    const PointH& first = sectionPoints(after, c.section)[0];
    const testsupport::Sample now = {first.x / first.w, first.y / first.w, first.z / first.w};
    EXPECT_LT(testsupport::sampleDistance(start, now), 1e-5);
    for (size_t k = c.steps.size(); k-- > 0;) {
        ASSERT_TRUE(undoEdit(editor));
        EXPECT_TRUE(sameSurface(editor.surface, states[k])) << "undo to " << k;
    }
}

SurfaceModel hull() {
    return closedHull(9, 4);
}

// The hull with knots set by hand, unevenly.
SurfaceModel unevenHull() {
    SurfaceModel s = closedHull(9, 4);
    s.knotsU = {0, 0, 0, 0, 0.05f, 0.3f, 0.35f, 0.6f, 0.9f, 1, 1, 1, 1};
    return s;
}

SurfaceModel polygons() {
    SurfaceModel s = closedHull(7, 3);
    s.orderU = 2;
    s.knotCountU = 9;
    s.knotsU.resize(9);
    fillUniformKnots(s.knotsU.data(), 9, 2);
    return s;
}

SurfaceModel rings() {
    return circles(3);
}

// Four points, degree 3: one closed Bezier loop, no interior knot.
SurfaceModel loops() {
    SurfaceModel s = closedHull(4, 3);
    s.knotsU = {0, 0, 0, 0, 1, 1, 1, 1};
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Sections, StartButtons,
    ::testing::Values(
        // Cubic, uniform knots 1/6 apart: the start moves one span; the old start becomes a
        // corner of triple knots inside, so two points more.
        Turn{"cubic_plus", hull, 2, {1}, 1.0 / 6, 11},
        Turn{"cubic_minus", hull, 1, {-1}, 5.0 / 6, 11},
        // Each press adds at most two points; knots no section needs any more go again.
        Turn{"cubic_three_forward", hull, 0, {1, 1, 1}, 0.5, 13},
        Turn{"cubic_there_and_back", hull, 3, {1, -1}, 0.0, 11},
        // Uneven knots: the turned knots fall between the old ones, and the union has them all.
        Turn{"cubic_uneven_knots", unevenHull, 2, {1}, 0.05, 15},
        // Degree 1: the curve is the polygon, and its points simply turn round.
        Turn{"polygon", polygons, 1, {1, 1}, 2.0 / 6, 7},
        // A circle's quarter points lie on doubled knots: a quarter turn needs no new point.
        Turn{"circle", rings, 1, {1}, 0.25, 9}, Turn{"bezier_loop", loops, 1, {1}, 0.5, 7}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StartButtons, RefuseSectionsWhoseStartCannotMove) {
    const struct {
        const char* name;
        void (*breakIt)(SurfaceModel&);
        const char* reason;
    } cases[] = {
        {"open section", [](SurfaceModel& s) { s.controlNet[9 + 8].x += 0.5f; }, "not closed"},
        {"unclamped knots", [](SurfaceModel& s) { s.knotsU[3] = 0.01f; }, "not clamped"},
        {"knot past the degree",
         [](SurfaceModel& s) { s.knotsU = {0, 0, 0, 0, 0.5f, 0.5f, 0.5f, 0.5f, 1, 1, 1, 1, 1}; },
         "repeated"},
    };
    for (const auto& c : cases) {
        editor = EditorState();
        editor.surface = closedHull(9, 3);
        c.breakIt(editor.surface);
        editor.selection.currentSection = 1;
        const SurfaceModel before = editor.surface;
        turnCurrentSectionStart(editor, 1);
        EXPECT_TRUE(sameSurface(editor.surface, before)) << c.name;
        EXPECT_NE(std::string(editor.panel.statusLine).find(c.reason), std::string::npos)
            << c.name << ": " << editor.panel.statusLine;
        EXPECT_TRUE(editor.history.undoSteps.empty()) << c.name;
    }
}

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

// Sum of the distances between corresponding points of sections a and b, in double precision.
double distanceSum(const SurfaceModel& s, int a, int b) {
    double sum = 0.0;
    for (int j = 0; j < s.countU; ++j) {
        const PointH& p = sectionPoints(s, a)[j];
        const PointH& q = sectionPoints(s, b)[j];
        const double dx = double(p.x / p.w) - double(q.x / q.w);
        const double dy = double(p.y / p.w) - double(q.y / q.w);
        const double dz = double(p.z / p.w) - double(q.z / q.w);
        sum += std::sqrt(dx * dx + dy * dy + dz * dz);
    }
    return sum;
}

// Every direction and start of every section tried, in order, the first strictly closer one
// kept: what "align all" chooses, by exhaustion.
SurfaceModel alignedByTryingAll(SurfaceModel s) {
    std::string error;
    for (int v = 1; v < s.countV; ++v) {
        const bool closed = sectionIsClosed(s, v);
        const int starts = closed ? s.countU - 1 : 1;
        SurfaceModel best = s;
        double least = distanceSum(s, v - 1, v);
        for (int flip = 0; flip < 2; ++flip) {
            SurfaceModel t = s;
            if (flip == 1) flipSection(t, v, error);
            for (int start = 0; start < starts; ++start) {
                if (start > 0) shiftSectionStart(t, v, 1, error);
                const double d = distanceSum(t, v - 1, v);
                if (d < least) {
                    least = d;
                    best = t;
                }
            }
        }
        s = best;
    }
    return s;
}

// Closed sections of `points` points: the hull's lopsided rings with a wobble of `wobble` turns
// and an offset of `gap` between sections, with a little noise, each turned and maybe reversed
// at random. Unless `varied`, the same ring every time, as made.
SurfaceModel wobblyRings(int points, int sections, int wobble, float gap, unsigned seed,
                         bool varied = true) {
    std::mt19937 random(seed);
    const float spread = varied ? 0.02f : 0.0f;
    std::uniform_real_distribution<float> noise(-spread, spread);
    SurfaceModel s = closedHull(4, sections);
    s.countU = points;
    s.knotCountU = points + 4;
    s.knotsU.resize(static_cast<size_t>(s.knotCountU));
    fillUniformKnots(s.knotsU.data(), s.knotCountU, 4);
    s.controlNet.clear();
    std::string error;
    for (int v = 0; v < sections; ++v) {
        for (int j = 0; j < points - 1; ++j) {
            const float t = 6.2831853f * static_cast<float>(j) / static_cast<float>(points - 1);
            const float r = 1.0f + 0.2f * std::cos(t - (varied ? 0.3f * v : 0.3f)) +
                            0.05f * std::sin(static_cast<float>(wobble) * t) + noise(random);
            s.controlNet.push_back({r * std::cos(t), 0.7f * r * std::sin(t), gap * v, 1.0f});
        }
        s.controlNet.push_back(s.controlNet[static_cast<size_t>(v) * points]);
    }
    for (int v = 1; v < sections && varied; ++v) {
        if (random() % 2 == 1) flipSection(s, v, error);
        shiftSectionStart(s, v, static_cast<int>(random() % static_cast<unsigned>(points)), error);
    }
    return s;
}

// Large sections go through the FFT's candidates: the same choice as trying every start, for
// close and for far-apart sections (where all starts differ little), wobbly ones (many local
// minima) and a section shrunk to one point (every arrangement equally near: nothing changes).
TEST(AlignAll, LargeSectionsGetTheArrangementEveryStartWouldGive) {
    const struct {
        const char* name;
        int points, sections, wobble;
        float gap;
        bool pointSection;
    } cases[] = {
        {"close rings", 301, 4, 3, 0.1f, false},
        {"far apart", 700, 3, 5, 20.0f, false},
        {"wobbly", 1500, 3, 40, 0.3f, false},
        {"just above the exhaustive size", 130, 5, 7, 0.5f, false},
        {"a point section", 400, 3, 2, 0.5f, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SurfaceModel s = wobblyRings(c.points, c.sections, c.wobble, c.gap, 11);
        if (c.pointSection) {
            for (int j = 0; j < c.points; ++j)
                s.controlNet[static_cast<size_t>(c.points + j)] = {0, 0, 0.5f, 1};
        }
        const SurfaceModel expected = alignedByTryingAll(s);
        AlignmentReport report;
        std::string error;
        ASSERT_TRUE(alignSections(s, report, error)) << error;
        // Beside a point every arrangement is as near as any other but for the order of the sum.
        if (!c.pointSection) EXPECT_TRUE(sameSurface(s, expected));
        for (int v = 1; v < c.sections; ++v) {
            EXPECT_NEAR(distanceSum(s, v - 1, v), distanceSum(expected, v - 1, v),
                        1e-12 * distanceSum(expected, v - 1, v));
        }
    }
}

// Two equal rings of 100,000 points, the second reversed and turned: aligned as they were made,
// the only arrangement at which every point meets its twin.
TEST(AlignAll, TwoRingsOfAHundredThousandPoints) {
    const SurfaceModel made = wobblyRings(100001, 2, 9, 0.4f, 5, false);
    std::string error;
    SurfaceModel s = made;
    ASSERT_TRUE(flipSection(s, 1, error));
    ASSERT_TRUE(shiftSectionStart(s, 1, 31415, error));
    AlignmentReport report;
    ASSERT_TRUE(alignSections(s, report, error));
    EXPECT_TRUE(sameSurface(s, made));
    EXPECT_EQ(report.changedSections, 1);
    EXPECT_NEAR(report.totalAfter, 0.4f * 100001, 1.0f);
}

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
