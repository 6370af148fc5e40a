// Lofts of rational sections: the sign of the weight function, the refusal of a loft whose
// weights pass through 0, and sections brought to common weights (a circle-to-square duct).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "exchange/export_checks.h"
#include "io/editor_file_io.h"
#include "io/surface_file.h"
#include "model/derived_nets.h"
#include "model/editor_state.h"
#include "model/knots.h"
#include "model/rational_sections.h"
#include "model/skinning.h"
#include "model/surface_edit.h"
#include "model/weight_function.h"
#include "support/scratch_files.h"

namespace {

// ---------------------------------------------------------------------------------------------
// The weight function's sign, against closed forms. A quadratic Bezier with weights 1, c, 1 has
// its least value 1/2 + c/2 at the middle; a product of two of them is the tensor-product
// function of weights f_i * g_j.
struct SignCase {
    const char* name;
    int orderU, orderV;
    std::vector<float> knotsU, knotsV;
    std::vector<float> weightsU, weightsV;  // the weights are weightsV[r] * weightsU[t]
    bool positive;
    float dipU, dipV;  // where a dip lies (checked when not positive), -1: anywhere
};

const std::vector<float> kBezier2 = {0, 0, 0, 1, 1, 1};
const std::vector<float> kLinear = {0, 0, 1, 1};

class WeightFunctionSign : public ::testing::TestWithParam<SignCase> {};

TEST_P(WeightFunctionSign, IsPositiveExactlyWhereTheClosedFormIs) {
    const SignCase& c = GetParam();
    const int cols = static_cast<int>(c.weightsU.size()), rows = static_cast<int>(c.weightsV.size());
    std::vector<PointH> net;
    for (float g : c.weightsV) {
        for (float f : c.weightsU) net.push_back({0.0f, 0.0f, 0.0f, f * g});
    }
    WeightDip dip;
    EXPECT_EQ(weightsStayPositive(net.data(), cols, rows, c.knotsU.data(), c.orderU,
                                  c.knotsV.data(), c.orderV, dip),
              c.positive)
        << c.name;
    if (c.positive) return;
    EXPECT_LE(dip.weight, 1e-6) << c.name;
    if (c.dipU >= 0.0f) {
        EXPECT_NEAR(dip.u, c.dipU, 0.02) << c.name;
    }
    if (c.dipV >= 0.0f) {
        EXPECT_NEAR(dip.v, c.dipV, 0.02) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    ClosedForms, WeightFunctionSign,
    ::testing::Values(
        SignCase{"all above 0", 3, 2, kBezier2, kLinear, {1, 0.2f, 1}, {1, 3}, true, 0, 0},
        // 1/2 + c/2: the middle coefficient below 0 while the function stays above it.
        SignCase{"c -0.9 stays at 0.05", 3, 2, kBezier2, kLinear, {1, -0.9f, 1}, {1, 1}, true, 0,
                 0},
        SignCase{"c -0.98 stays at 0.01", 3, 2, kBezier2, kLinear, {1, -0.98f, 1}, {1, 1}, true,
                 0, 0},
        // Every corner above 0: only the halving finds the dip between them.
        SignCase{"c -1.02 dips to -0.01", 3, 2, kBezier2, kLinear, {1, -1.02f, 1}, {1, 1}, false,
                 0.5f, -1},
        SignCase{"c -1 touches 0", 3, 2, kBezier2, kLinear, {1, -1, 1}, {1, 1}, false, 0.5f, -1},
        SignCase{"in v: c -1.3", 2, 3, kLinear, kBezier2, {1, 2}, {1, -1.3f, 1}, false, -1, 0.5f},
        SignCase{"both directions -0.9: above 0", 3, 3, kBezier2, kBezier2, {1, -0.9f, 1},
                 {1, -0.9f, 1}, true, 0, 0},
        SignCase{"a corner at 0", 3, 2, kBezier2, kLinear, {1, 0.5f, 1}, {1, 0}, false, -1, 1},
        // Degree 1 over three spans: the value at the knot 2/3 is its coefficient.
        SignCase{"linear, -0.1 at a knot", 2, 2, {0, 0, 1 / 3.0f, 2 / 3.0f, 1, 1}, kLinear,
                 {1, 0.2f, -0.1f, 1}, {1, 1}, false, 2 / 3.0f, -1},
        // Two Bezier pieces on a double knot: the second dips (1/2 - 1.1/2 < 0) in its middle.
        SignCase{"second piece dips", 3, 2, {0, 0, 0, 0.5f, 0.5f, 1, 1, 1}, kLinear,
                 {1, -0.5f, 1, -1.1f, 1}, {1, 1}, false, 0.75f, -1},
        // Unclamped knots: the first point's basis function is empty on [U[1], U[3]] = [0, 1].
        SignCase{"a dead point below 0", 2, 2, {0, 0, 0, 1, 1}, kLinear, {-1, 1, 1}, {1, 1}, true,
                 0, 0}));

// ---------------------------------------------------------------------------------------------
// Sections: 9-point rational quadratic circles (weights 1 and sqrt(2)/2 on the double knots
// 0.25, 0.5, 0.75) and squares of weight 1 with the same knots, whose corners are the points on
// those knots and whose sides run through the points between, in the planes z = z_k.

const float kHalfRoot2 = 0.70710678f;

struct Section {
    bool circle;
    float size;  // radius, or the distance from centre to corner
    float z;
};

SurfaceModel ductOf(const std::vector<Section>& sections, int orderV) {
    SurfaceModel s;
    s.countU = 9;
    s.countV = static_cast<int>(sections.size());
    s.orderU = 3;
    s.orderV = orderV;
    s.knotCountU = 12;
    s.knotCountV = s.countV + orderV;
    s.knotsU = {0, 0, 0, 0.25f, 0.25f, 0.5f, 0.5f, 0.75f, 0.75f, 1, 1, 1};
    s.knotsV.resize(static_cast<size_t>(s.knotCountV));
    fillUniformKnots(s.knotsV.data(), s.knotCountV, orderV);
    const float cx[9] = {1, 1, 0, -1, -1, -1, 0, 1, 1};
    const float cy[9] = {0, 1, 1, 1, 0, -1, -1, -1, 0};
    for (const Section& section : sections) {
        for (int t = 0; t < 9; ++t) {
            const float r = section.size;
            float x = r * cx[t], y = r * cy[t], w = 1.0f;
            if (section.circle && t % 2 == 1) {
                w = kHalfRoot2;
            } else if (!section.circle && t % 2 == 1) {
                x = 0.5f * r * cx[t];  // the middle of a side of the square
                y = 0.5f * r * cy[t];
            }
            s.controlNet.push_back({x * w, y * w, section.z * w, w});
        }
    }
    return s;
}

const std::vector<Section> kDuct = {
    {true, 1.0f, 0.0f}, {true, 1.0f, 1.0f}, {false, 1.4f, 2.0f}, {false, 1.4f, 3.0f},
    {true, 0.8f, 4.0f}};

// The point at u of the circle of radius r: its quarter q is the Bezier arc of weights
// 1, sqrt(2)/2, 1 turned by q right angles.
void circlePoint(float r, double u, double& x, double& y) {
    const int q = std::min(3, static_cast<int>(u * 4.0));
    const double t = u * 4.0 - q, b = 2.0 * t * (1.0 - t) * std::sqrt(0.5);
    const double d = (1.0 - t) * (1.0 - t) + b + t * t;
    const double px = ((1.0 - t) * (1.0 - t) + b) / d, py = (b + t * t) / d;
    const double angle = q * M_PI / 2.0;
    x = r * (px * std::cos(angle) - py * std::sin(angle));
    y = r * (px * std::sin(angle) + py * std::cos(angle));
}

// The same sections with random weights: the same points, run through at other paces.
SurfaceModel randomWeights(SurfaceModel s) {
    std::mt19937 random(5);
    std::uniform_real_distribution<float> weight(0.05f, 3.0f);
    for (PointH& P : s.controlNet) {
        const float w = weight(random);
        P = {P.x / P.w * w, P.y / P.w * w, P.z / P.w * w, w};
    }
    return s;
}

bool skinDuct(const SurfaceModel& s, LoftRational rational, SurfaceModel& out,
              std::string& refusal) {
    LoftOptions options;
    options.rational = rational;
    DerivedNets derived;
    if (!skinSurface(s, options, derived, refusal)) return false;
    SurfaceModel scratch;
    out = surfaceToSave(s, true, derived, scratch);
    return true;
}

// Circles and squares in turn, close together: interpolated as homogeneous points their weights
// pass through 0.
const std::vector<Section> kAlternating = {
    {true, 1, 0}, {false, 1, 0.2f}, {true, 1, 0.4f}, {false, 1, 3}, {true, 1, 3.1f}};

// The surface at each section's parameter lies in the section's plane and on its curve: a
// circle point for point, a square on its sides with its corners at the quarters.
TEST(CompatibleRationalSections, TheDuctPassesThroughEveryCircleAndSquare) {
    for (const std::vector<Section>* sections : {&kDuct, &kAlternating}) {
        for (int orderV : {3, 4}) {
            const SurfaceModel duct = ductOf(*sections, orderV);
            const int R = duct.countV;
            SurfaceModel skinned;
            std::string refusal;
            ASSERT_TRUE(skinDuct(duct, LoftRational::compatible, skinned, refusal)) << refusal;
            for (const PointH& P : skinned.controlNet) ASSERT_GT(P.w, 0.0f);
            std::vector<PointH> common;
            int bad = -1;
            const int reference = commonWeightSection(duct.controlNet.data(), 9, R, bad);
            EXPECT_EQ(reference, 0);
            bringToCommonWeights(duct.controlNet.data(), 9, R, reference, common);
            std::vector<float> v(static_cast<size_t>(R));
            ASSERT_TRUE(computeSectionParameters(&common[0].x, 9, R, v.data()));
            for (int k = 0; k < R; ++k) {
                const Section& section = (*sections)[static_cast<size_t>(k)];
                const double tolerance = 1e-6 * section.size;
                for (int i = 0; i <= 64; ++i) {
                    const double u = i / 64.0;
                    float x, y, z;
                    ASSERT_TRUE(
                        evaluateSurfacePoint(skinned, x, y, z, static_cast<float>(u), v[k]));
                    EXPECT_NEAR(z, section.z, tolerance) << k << " " << u;
                    if (section.circle) {
                        double ex, ey;
                        circlePoint(section.size, u, ex, ey);
                        EXPECT_NEAR(x, ex, tolerance) << k << " " << u;
                        EXPECT_NEAR(y, ey, tolerance) << k << " " << u;
                        continue;
                    }
                    const double ax = std::fabs(x), ay = std::fabs(y);
                    EXPECT_NEAR(ax + ay, section.size, tolerance) << k << " " << u;
                    if (i % 16 == 0) {  // a corner
                        EXPECT_NEAR(std::fmax(ax, ay), section.size, tolerance) << k << " " << u;
                    }
                }
            }
            // The export's own checks take it.
            std::string error;
            EXPECT_TRUE(checkExportable(skinned, error)) << error;
        }
    }
}

// Interpolated as homogeneous points, sections of random weights (and a duct whose circles
// and squares alternate) pass through infinity: refused, with the way out named.
TEST(HomogeneousRationalSections, ALoftWhoseWeightsPassThrough0IsRefused) {
    const SurfaceModel noisy = randomWeights(ductOf(kDuct, 4));
    const SurfaceModel alternating = ductOf(kAlternating, 4);
    for (const SurfaceModel* s : {&noisy, &alternating}) {
        SurfaceModel skinned;
        std::string refusal;
        EXPECT_FALSE(skinDuct(*s, LoftRational::homogeneous, skinned, refusal));
        EXPECT_NE(refusal.find("weights fall to"), std::string::npos) << refusal;
        EXPECT_NE(refusal.find("rational sections: compatible"), std::string::npos) << refusal;
        ASSERT_TRUE(skinDuct(*s, LoftRational::compatible, skinned, refusal)) << refusal;
        WeightDip dip;
        EXPECT_TRUE(weightsStayPositive(skinned.controlNet.data(), 9, skinned.countV,
                                        skinned.knotsU.data(), 3, skinned.knotsV.data(), 4, dip));
    }
}

// Where every weight stays above 0 the loft is the one it always was: the banded result equals
// the reference elimination's, and "compatible" changes nothing on sections of equal weights.
TEST(HomogeneousRationalSections, PositiveLoftsAreUnchangedBitForBit) {
    const SurfaceModel circles =
        ductOf({{true, 1, 0}, {true, 1.5f, 1}, {true, 0.5f, 2.5f}, {true, 1, 3}}, 3);
    DerivedNets a, b;
    std::string refusal;
    LoftOptions compatible;
    compatible.rational = LoftRational::compatible;
    ASSERT_TRUE(skinSurface(circles, LoftOptions(), a, refusal)) << refusal;
    ASSERT_TRUE(skinSurface(circles, compatible, b, refusal)) << refusal;
    std::vector<float> v(4), V(7);
    ASSERT_TRUE(computeSectionParameters(&circles.controlNet[0].x, 9, 4, v.data()));
    averageKnots(v.data(), 4, 3, V.data());
    std::vector<PointH> reference(circles.controlNet.size());
    skinNetReference(&reference[0].x, &circles.controlNet[0].x, 9, 4, 2, V.data(), v.data());
    for (const DerivedNets* d : {&a, &b}) {
        ASSERT_EQ(d->skinnedNet.size(), reference.size());
        EXPECT_EQ(0, memcmp(d->skinnedNet.data(), reference.data(),
                            reference.size() * sizeof(PointH)));
        EXPECT_EQ(0, memcmp(d->skinnedKnotsV.data(), V.data(), V.size() * sizeof(float)));
    }
}

// In the editor: a refused skinning keeps the surface shown before it; the choice is one step
// of the history, and a choice the sections refuse is not taken.
TEST(RationalSectionsEdit, RefusalsKeepTheSurfaceAndTheChoiceIsOneStep) {
    editor = EditorState();
    editor.surface = ductOf(kDuct, 4);
    editor.derived.multiplicity = 1;
    editor.panel.skinningEnabled = 1;
    ASSERT_TRUE(setRationalSections(editor, LoftRational::compatible));
    ASSERT_FALSE(editor.derived.skinnedNet.empty());
    // Back to homogeneous: the duct refuses it (its circles and squares alternate in weight).
    editor.surface = ductOf(kAlternating, 4);
    surfaceEdited(editor, EditEffect::movedPoints, Redraw::later);
    const std::vector<PointH> shown = editor.derived.skinnedNet;
    ASSERT_FALSE(shown.empty());
    EXPECT_FALSE(setRationalSections(editor, LoftRational::homogeneous));
    EXPECT_EQ(editor.panel.rationalSections, static_cast<int32_t>(LoftRational::compatible));
    EXPECT_NE(std::string(editor.panel.statusLine).find("weights fall to"), std::string::npos);
    // The "skinning" check box with the panel switched to homogeneous by hand: refused, and the
    // skinned net is the one shown before.
    editor.panel.rationalSections = 0;
    EXPECT_FALSE(computeSkinning());
    ASSERT_EQ(editor.derived.skinnedNet.size(), shown.size());
    EXPECT_EQ(0, memcmp(editor.derived.skinnedNet.data(), shown.data(),
                        shown.size() * sizeof(PointH)));
    // Undo brings back homogeneous on the first duct; redo compatible with its net.
    editor = EditorState();
    editor.surface = ductOf(kDuct, 3);
    editor.derived.multiplicity = 1;
    editor.panel.skinningEnabled = 1;
    surfaceEdited(editor, EditEffect::movedPoints, Redraw::later);
    ASSERT_TRUE(setRationalSections(editor, LoftRational::compatible));
    const std::vector<PointH> after = editor.derived.skinnedNet;
    ASSERT_EQ(editor.history.undoSteps.size(), 1u);
    EXPECT_EQ(editor.history.undoSteps[0].name, "rational sections compatible");
    ASSERT_TRUE(undoEdit(editor, Redraw::later));
    EXPECT_EQ(editor.panel.rationalSections, 0);
    ASSERT_TRUE(redoEdit(editor, Redraw::later));
    EXPECT_EQ(loftOptionsOf(editor.panel).rational, LoftRational::compatible);
    ASSERT_EQ(editor.derived.skinnedNet.size(), after.size());
    EXPECT_EQ(0, memcmp(editor.derived.skinnedNet.data(), after.data(),
                        after.size() * sizeof(PointH)));
}

// The command line: a refused loft writes nothing over the file named, exits 1 and names the
// option that lofts it.
TEST(SkinCommandRational, RefusesHomogeneousAndLoftsCompatible) {
    const std::string in = testsupport::scratchDir() + "/alternating.surf";
    const std::string out = testsupport::scratchDir() + "/alternating-skinned.surf";
    std::string error;
    ASSERT_TRUE(writeSurfaceFile(in.c_str(), ductOf(kAlternating, 4), error));
    ASSERT_TRUE(writeSurfaceFile(out.c_str(), ductOf(kDuct, 3), error));
    const std::string before = testsupport::readAll(out);
    testsupport::ProcessResult run = testsupport::runLoftwork({"skin", in, out});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("--rational compatible"), std::string::npos) << run.err;
    EXPECT_EQ(testsupport::readAll(out), before);
    run = testsupport::runLoftwork({"skin", in, out, "--rational", "compatible"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("2 of 5 sections took the weights of section 0"), std::string::npos)
        << run.out;
    SurfaceModel written;
    ASSERT_TRUE(readSurfaceFile(out.c_str(), written, error)) << error;
    for (const PointH& P : written.controlNet) EXPECT_GT(P.w, 0.0f);
    run = testsupport::runLoftwork({"skin", in, out, "--rational", "positive"});
    EXPECT_EQ(run.status, 2);
}

}  // namespace
