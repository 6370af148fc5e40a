// Lofts of rational sections: the sign of the weight function, the refusal of a loft whose
// weights pass through 0, and sections brought to common weights (a circle-to-square duct).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "exchange/export_checks.h"
#include "model/knots.h"
#include "model/loft_settings.h"
#include "model/rational_sections.h"
#include "model/skinning.h"
#include "model/surface_edit.h"
#include "model/weight_function.h"
#include "support/export_surfaces.h"
#include "support/scratch_files.h"

namespace {

// The weight function's sign against closed forms: a quadratic Bezier of weights 1, c, 1 is least
// at its middle, 1/2 + c/2; the weights of two directions multiply.
struct SignCase {
    int orderU, orderV;
    std::vector<float> knotsU, knotsV, weightsU, weightsV;
    bool positive;
    float dipU, dipV;  // where the dip lies when not positive (-1: anywhere)
};
const std::vector<float> kB2 = {0, 0, 0, 1, 1, 1}, kB1 = {0, 0, 1, 1};

class WeightFunctionSign : public ::testing::TestWithParam<SignCase> {};

TEST_P(WeightFunctionSign, IsPositiveExactlyWhereTheClosedFormIs) {
    const SignCase& c = GetParam();
    std::vector<PointH> net;
    for (float g : c.weightsV) {
        for (float f : c.weightsU) net.push_back({0.0f, 0.0f, 0.0f, f * g});
    }
    WeightDip dip;
    ASSERT_EQ(weightsStayPositive(net.data(), static_cast<int>(c.weightsU.size()),
                                  static_cast<int>(c.weightsV.size()), c.knotsU.data(), c.orderU,
                                  c.knotsV.data(), c.orderV, dip),
              c.positive);
    if (c.positive) return;
    EXPECT_LE(dip.weight, 1e-6);
    EXPECT_NEAR(c.dipU < 0 ? dip.u : dip.u - c.dipU, 0.0, c.dipU < 0 ? 2.0 : 0.02);
    EXPECT_NEAR(c.dipV < 0 ? dip.v : dip.v - c.dipV, 0.0, c.dipV < 0 ? 2.0 : 0.02);
}

INSTANTIATE_TEST_SUITE_P(
    ClosedForms, WeightFunctionSign,
    ::testing::Values(SignCase{3, 2, kB2, kB1, {1, 0.2f, 1}, {1, 3}, true, 0, 0},
                      SignCase{3, 2, kB2, kB1, {1, -0.9f, 1}, {1, 1}, true, 0, 0},  // 0.05
                      // Every corner above 0: only the halving finds the dip between them.
                      SignCase{3, 2, kB2, kB1, {1, -1.02f, 1}, {1, 1}, false, 0.5f, -1},
                      SignCase{3, 2, kB2, kB1, {1, -1, 1}, {1, 1}, false, 0.5f, -1},
                      SignCase{2, 3, kB1, kB2, {1, 2}, {1, -1.3f, 1}, false, -1, 0.5f},
                      SignCase{3, 3, kB2, kB2, {1, -0.9f, 1}, {1, -0.9f, 1}, true, 0, 0},
                      SignCase{3, 2, kB2, kB1, {1, 0.5f, 1}, {1, 0}, false, -1, 1},
                      // Degree 1 on three spans: -0.1 at the knot 2/3.
                      SignCase{2,
                               2,
                               {0, 0, 1 / 3.0f, 2 / 3.0f, 1, 1},
                               kB1,
                               {1, 0.2f, -0.1f, 1},
                               {1, 1},
                               false,
                               2 / 3.0f,
                               -1},
                      // Two pieces on a double knot; the second dips (1/2 - 1.1/2) at 3/4.
                      SignCase{3,
                               2,
                               {0, 0, 0, 0.5f, 0.5f, 1, 1, 1},
                               kB1,
                               {1, -0.5f, 1, -1.1f, 1},
                               {1, 1},
                               false,
                               0.75f,
                               -1},
                      // Unclamped: the first point's basis function is empty on [0, 1].
                      SignCase{2, 2, {0, 0, 0, 1, 1}, kB1, {-1, 1, 1}, {1, 1}, true, 0, 0}));

// Ducts along z of 9-point sections on the U knots 0 0 0 .25 .25 .5 .5 .75 .75 1 1 1: rational
// quadratic circles (weights 1 and sqrt(2)/2), and squares of weight 1 whose corners are the
// points on the double knots and whose sides run through the points between.
struct Section {
    bool circle;
    float size;  // radius, or centre to corner
    float z;
};
const std::vector<Section> kDuct = {
    {true, 1, 0}, {true, 1, 1}, {false, 1.4f, 2}, {false, 1.4f, 3}, {true, 0.8f, 4}};
// Circles and squares in turn: interpolated as homogeneous points, their weights pass through 0.
const std::vector<Section> kAlternating = {
    {true, 1, 0}, {false, 1, 0.2f}, {true, 1, 0.4f}, {false, 1, 3}, {true, 1, 3.1f}};

SurfaceModel ductOf(const std::vector<Section>& sections, int orderV, unsigned randomSeed = 0) {
    const int R = static_cast<int>(sections.size());
    std::vector<float> knotsV(static_cast<size_t>(R + orderV));
    fillUniformKnots(knotsV.data(), R + orderV, orderV);
    std::mt19937 random(randomSeed);  // weights of the same points, run through at other paces
    std::uniform_real_distribution<float> weight(0.05f, 3.0f);
    const float cx[9] = {1, 1, 0, -1, -1, -1, 0, 1, 1}, cy[9] = {0, 1, 1, 1, 0, -1, -1, -1, 0};
    std::vector<PointH> net;
    for (const Section& section : sections) {
        for (int t = 0; t < 9; ++t) {
            const bool between = t % 2 == 1;
            const float r = section.circle || !between ? section.size : 0.5f * section.size;
            const float w =
                randomSeed != 0 ? weight(random) : (section.circle && between ? 0.70710678f : 1.0f);
            net.push_back({r * cx[t] * w, r * cy[t] * w, section.z * w, w});
        }
    }
    return testsupport::makeSurface(
        9, R, 3, orderV, {0, 0, 0, 0.25f, 0.25f, 0.5f, 0.5f, 0.75f, 0.75f, 1, 1, 1}, knotsV, net);
}

// The point at u of a circle of radius r: quarter q is the arc of weights 1, sqrt(2)/2, 1 turned
// by q right angles.
void circlePoint(float r, double u, double& x, double& y) {
    const int q = std::min(3, static_cast<int>(u * 4.0));
    const double t = u * 4.0 - q, b = 2.0 * t * (1.0 - t) * std::sqrt(0.5);
    const double d = (1.0 - t) * (1.0 - t) + b + t * t;
    const double px = ((1.0 - t) * (1.0 - t) + b) / d, py = (b + t * t) / d, a = q * M_PI / 2.0;
    x = r * (px * std::cos(a) - py * std::sin(a));
    y = r * (px * std::sin(a) + py * std::cos(a));
}

bool skinDuct(const SurfaceModel& s, LoftRational rational, SurfaceModel& out,
              std::string& refusal) {
    LoftOptions options;
    options.rational = rational;
    DerivedNets derived;
    SurfaceModel scratch;
    if (!skinSurface(s, options, derived, refusal)) return false;
    out = surfaceToSave(s, true, derived, scratch);
    return true;
}

// At each section's parameter the compatible loft lies in the section's plane and on its curve:
// a circle point for point, a square on its sides (|x| + |y| = size) with corners at the
// quarters; all its weights are above 0 and the export's checks take it.
TEST(CompatibleRationalSections, TheDuctPassesThroughEveryCircleAndSquare) {
    for (const std::vector<Section>* sections : {&kDuct, &kAlternating}) {
        for (int orderV : {3, 4}) {
            const SurfaceModel duct = ductOf(*sections, orderV);
            const int R = duct.countV;
            SurfaceModel skinned;
            std::string error;
            ASSERT_TRUE(skinDuct(duct, LoftRational::compatible, skinned, error)) << error;
            for (const PointH& P : skinned.controlNet) ASSERT_GT(P.w, 0.0f);
            EXPECT_TRUE(checkExportable(skinned, error)) << error;
            int bad = -1;
            ASSERT_EQ(commonWeightSection(duct.controlNet.data(), 9, R, bad), 0);
            std::vector<PointH> cartesian;  // the points the loft interpolates
            for (const PointH& P : duct.controlNet)
                cartesian.push_back({P.x / P.w, P.y / P.w, P.z / P.w, 1.0f});
            std::vector<float> v(static_cast<size_t>(R));
            ASSERT_TRUE(computeSectionParameters(&cartesian[0].x, 9, R, v.data()));
            for (int k = 0; k < R; ++k) {
                const Section& c = (*sections)[static_cast<size_t>(k)];
                const double tolerance = 1e-6 * controlBoxDiagonal(duct);
                for (int i = 0; i <= 64; ++i) {
                    float x, y, z;
                    ASSERT_TRUE(evaluateSurfacePoint(skinned, x, y, z, i / 64.0f, v[k]));
                    const double ax = std::fabs(x), ay = std::fabs(y);
                    double ex = ax + ay, ey = i % 16 == 0 ? std::fmax(ax, ay) : c.size;
                    if (c.circle) circlePoint(c.size, i / 64.0, ex, ey);
                    // A circle point for point; a square's sides, and its corners at quarters.
                    EXPECT_NEAR(c.circle ? x : ex, c.circle ? ex : c.size, tolerance) << k << i;
                    EXPECT_NEAR(c.circle ? y : ey, c.circle ? ey : c.size, tolerance) << k << i;
                    EXPECT_NEAR(z, c.z, tolerance) << k << " " << i;
                }
            }
        }
    }
}

// Random weights, and circles and squares in turn, lofted as homogeneous points: refused with
// the way out named; compatible, every weight above 0. (Lofts whose weights stay above 0 keep
// the reference elimination's bits: skinning_test.) On sections of weight 1 compatible changes
// nothing.
TEST(HomogeneousRationalSections, RefusesWeightsThroughZeroAndCompatibleKeepsEqualWeights) {
    for (const SurfaceModel& s : {ductOf(kDuct, 4, 5), ductOf(kAlternating, 4)}) {
        SurfaceModel skinned;
        std::string refusal;
        EXPECT_FALSE(skinDuct(s, LoftRational::homogeneous, skinned, refusal));
        EXPECT_NE(refusal.find("weights fall to"), std::string::npos) << refusal;
        EXPECT_NE(refusal.find("rational sections: compatible"), std::string::npos) << refusal;
        ASSERT_TRUE(skinDuct(s, LoftRational::compatible, skinned, refusal)) << refusal;
        for (const PointH& P : skinned.controlNet) EXPECT_GT(P.w, 0.0f);
    }
    // The command's refusal leaves the file it names alone.
    const std::string in = testsupport::scratchDir() + "/in.surf", out = in + ".out";
    std::string error;
    ASSERT_TRUE(writeSurfaceFile(in.c_str(), ductOf(kAlternating, 4), error));
    const testsupport::ProcessResult run = testsupport::runLoftwork({"skin", in, out});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("--rational compatible"), std::string::npos) << run.err;
    EXPECT_EQ(testsupport::readAll(out), "<missing>");
    const SurfaceModel squares =
        ductOf({{false, 1, 0}, {false, 1.5f, 1}, {false, 0.5f, 2.5f}, {false, 1, 3}}, 3);
    SurfaceModel a, b;
    std::string refusal;
    ASSERT_TRUE(skinDuct(squares, LoftRational::homogeneous, a, refusal)) << refusal;
    ASSERT_TRUE(skinDuct(squares, LoftRational::compatible, b, refusal)) << refusal;
    EXPECT_TRUE(sameSurface(a, b));
}

// In the editor a refused skinning keeps the surface shown before it, a choice the sections
// refuse is not taken, and the choice is one step of the history.
TEST(RationalSectionsEdit, RefusalsKeepTheSurfaceAndTheChoiceIsOneStep) {
    editor = EditorState();
    editor.surface = ductOf(kAlternating, 4);
    editor.derived.multiplicity = 1;
    editor.panel.skinningEnabled = 1;
    ASSERT_TRUE(setRationalSections(editor, LoftRational::compatible));
    const std::vector<PointH> shown = editor.derived.skinnedNet;
    ASSERT_FALSE(shown.empty());
    EXPECT_FALSE(setRationalSections(editor, LoftRational::homogeneous));
    EXPECT_EQ(loftOptionsOf(editor.panel).rational, LoftRational::compatible);
    EXPECT_NE(std::string(editor.panel.statusLine).find("weights fall to"), std::string::npos);
    editor.panel.rationalSections = 0;  // then "skinning" is ticked
    EXPECT_FALSE(computeSkinning(editor));
    ASSERT_EQ(editor.derived.skinnedNet.size(), shown.size());
    EXPECT_EQ(0, memcmp(editor.derived.skinnedNet.data(), shown.data(), shown.size() * 16));
    editor.panel.rationalSections = 1;
    ASSERT_EQ(editor.history.undoSteps.size(), 1u);
    EXPECT_EQ(editor.history.undoSteps[0].name, "rational sections compatible");
    ASSERT_TRUE(undoEdit(editor));
    EXPECT_EQ(editor.panel.rationalSections, 0);
    ASSERT_TRUE(redoEdit(editor));
    EXPECT_EQ(editor.panel.rationalSections, 1);
    EXPECT_EQ(0, memcmp(editor.derived.skinnedNet.data(), shown.data(), shown.size() * 16));
}

}  // namespace
