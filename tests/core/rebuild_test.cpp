// Rebuild: surfaces that need no change come back, a noisy hull comes back fair and closer to
// the true hull, the scatter estimate and the refusals, rational input, curves, the command.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "io/editor_file_io.h"
#include "io/surface_file.h"
#include "model/curvature.h"
#include "model/derived_nets.h"
#include "model/edit_history.h"
#include "model/editor_state.h"
#include "model/knots.h"
#include "model/rational_derivatives.h"
#include "model/skinning.h"
#include "model/surface_edit.h"
#include "model/surface_rebuild.h"
#include "support/cut_surfaces.h"
#include "support/scratch_files.h"

namespace {

using testsupport::kB;
using testsupport::kL;
using testsupport::kT;
using testsupport::wigleyZ;

RebuildOptions pointsOf(int NU, int NV, double fairness = 0.0) {
    RebuildOptions o;
    o.pointsU = NU;
    o.pointsV = NV;
    o.fairness = fairness;
    return o;
}

RebuildOptions toleranceOf(double tolerance, double fairness = 0.0) {
    RebuildOptions o;
    o.tolerance = tolerance;
    o.fairness = fairness;
    return o;
}

// Largest |z - wigleyZ(x, y)| of the surface's points on a 41 x 41 grid of parameters, with
// its root mean square, and that of the distance across the hull (along the true hull's normal,
// the vertical distance times the normal's z).
double offWigley(const SurfaceModel& s, double* rms = nullptr, double* acrossRms = nullptr) {
    double most = 0.0, sum = 0.0, across = 0.0;
    for (int a = 0; a <= 40; ++a) {
        for (int b = 0; b <= 40; ++b) {
            float x, y, z;
            EXPECT_TRUE(evaluateSurfacePoint(s, x, y, z, a / 40.0f, b / 40.0f));
            const double off = std::fabs(z - wigleyZ(x, y));
            const double X = 2 * x / kL, Y = y / kT;
            const double zx = -kB * X * (1 - Y * Y) * 2 / kL, zy = -kB * (1 - X * X) * Y / kT;
            most = std::max(most, off);
            sum += off * off;
            across += off * off / (1 + zx * zx + zy * zy);
        }
    }
    if (rms != nullptr) *rms = std::sqrt(sum / (41.0 * 41.0));
    if (acrossRms != nullptr) *acrossRms = std::sqrt(across / (41.0 * 41.0));
    return most;
}

// Wigley stations: `stations` sections at x across the length, each the station's parabola in
// y as a degree-2 curve of `points` control points (their blossoms, so the curve is exact),
// noise of deviation sigma added to every z; skinned with degree 3 at uniform parameters, the
// interpolating loft a traced hull gives. noiseRms receives the noise's own size.
SurfaceModel noisyHull(double sigma, int stations = 21, int points = 11,
                       double* noiseRms = nullptr) {
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, sigma);
    std::vector<float> t(static_cast<size_t>(points + 3));
    fillUniformKnots(t.data(), points + 3, 3);
    std::vector<PointH> net;
    double sum = 0.0;
    for (int k = 0; k < stations; ++k) {
        const double X = -1.0 + 2.0 * k / (stations - 1);  // 2x / L
        for (int i = 0; i < points; ++i) {
            const double s = t[static_cast<size_t>(i + 1)], r = t[static_cast<size_t>(i + 2)];
            const double e = sigma > 0 ? noise(random) : 0.0;
            // y = -T (1 - t) and z = B/2 (1 - X^2) (2t - t^2), blossomed at the knot pair.
            const double y = -kT * (1 - (s + r) / 2);
            const double z = kB / 2 * (1 - X * X) * (s + r - s * r) + e;
            net.push_back({static_cast<float>(X * kL / 2), static_cast<float>(y),
                           static_cast<float>(z), 1.0f});
            sum += e * e;
        }
    }
    if (noiseRms != nullptr) *noiseRms = std::sqrt(sum / net.size());
    SurfaceModel sections = testsupport::makeSurface(points, stations, 3, 4, t, {}, net);
    sections.knotsV.resize(static_cast<size_t>(stations + 4));
    fillUniformKnots(sections.knotsV.data(), stations + 4, 4);
    DerivedNets derived;
    std::string refusal;
    EXPECT_TRUE(
        skinSurface(sections, LoftOptions(LoftParameters::uniform, false), derived, refusal))
        << refusal;
    SurfaceModel loft;
    return surfaceToSave(sections, true, derived, loft);
}

// How many of the interior parameters (0.05 .. 0.95) have mean curvature of each sign.
void meanCurvatureSigns(const SurfaceModel& s, int& negative, int& positive) {
    negative = positive = 0;
    for (int a = 0; a <= 30; ++a) {
        for (int b = 0; b <= 30; ++b) {
            SurfaceCurvature c;
            ASSERT_EQ(evaluateSurfaceCurvature(s, 0.05f + 0.03f * a, 0.05f + 0.03f * b, c),
                      CurvatureStatus::Defined);
            (c.mean < 0 ? negative : positive) += 1;
        }
    }
}

TEST(Rebuild, ASurfaceThatNeedsNoChangeComesBack) {
    const SurfaceModel hull = testsupport::wigley();
    struct Case {
        const char* name;
        RebuildOptions options;
        bool sectionsOnly;
    };
    const Case cases[] = {{"3 x 3 points", pointsOf(3, 3), false},
                          {"tolerance 1e-5", toleranceOf(1e-5), false},
                          {"every section to 3 points", pointsOf(3, 0), true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SurfaceModel out;
        RebuildReport report;
        std::string refusal;
        ASSERT_TRUE(c.sectionsOnly ? rebuildSections(hull, c.options, out, report, refusal)
                                   : rebuildSurface(hull, c.options, out, report, refusal))
            << refusal;
        EXPECT_EQ(report.pointsU, 3);
        EXPECT_EQ(report.pointsV, 3);
        EXPECT_LT(report.maxDeviation, 1e-6);
        EXPECT_FALSE(report.rational);
        EXPECT_LT(offWigley(out), 1e-6);
        for (size_t k = 0; k < out.controlNet.size(); ++k) {
            EXPECT_NEAR(out.controlNet[k].z, hull.controlNet[k].z, 1e-6) << k;
        }
    }
}

TEST(Rebuild, ANoisyHullComesBackFairCloserToTheTrueHullWithFewerPoints) {
    const double sigma = 0.002;
    double noiseRms = 0.0;
    const SurfaceModel loft = noisyHull(sigma, 21, 11, &noiseRms);
    int negative = 0, positive = 0;
    meanCurvatureSigns(loft, negative, positive);
    ASSERT_GT(negative * positive, 0) << "the noisy loft should wobble";

    struct Case {
        double tolerance, fairness;
    };
    for (const Case c : {Case{5 * sigma, 0.0}, Case{5 * sigma, 1e-7}, Case{8 * sigma, 1e-6}}) {
        SCOPED_TRACE(testing::Message() << "tolerance " << c.tolerance << " fair " << c.fairness);
        SurfaceModel out;
        RebuildReport report;
        std::string refusal;
        ASSERT_TRUE(
            rebuildSurface(loft, toleranceOf(c.tolerance, c.fairness), out, report, refusal))
            << refusal;
        EXPECT_LE(report.maxDeviation, c.tolerance);
        EXPECT_LT(out.countU * out.countV, loft.countU * loft.countV / 4);
        double rms = 0.0;
        offWigley(out, &rms);
        EXPECT_LT(rms, noiseRms / 2);
        meanCurvatureSigns(out, negative, positive);
        EXPECT_EQ(negative * positive, 0) << negative << " " << positive;
    }
}

TEST(Rebuild, TheScatterIsEstimatedFromTheInputAndAToleranceBelowItIsRefused) {
    for (const double sigma : {0.0, 0.001, 0.004}) {
        SCOPED_TRACE(sigma);
        // The loft's own scatter: how far its points lie across the true hull.
        const SurfaceModel loft = noisyHull(sigma);
        double across = 0.0;
        offWigley(loft, nullptr, &across);
        const double scatter = estimateScatter(loft);
        if (sigma == 0.0) {
            EXPECT_LT(scatter, 1e-5);
            continue;
        }
        EXPECT_GT(scatter, across / 1.5);
        EXPECT_LT(scatter, across * 1.5);
        SurfaceModel out = testsupport::wigley();
        RebuildReport report;
        std::string refusal;
        EXPECT_FALSE(rebuildSurface(loft, toleranceOf(sigma / 4), out, report, refusal));
        EXPECT_NE(refusal.find("below the scatter"), std::string::npos) << refusal;
        char estimate[40];
        snprintf(estimate, sizeof estimate, "%.6g", scatter);
        EXPECT_NE(refusal.find(estimate), std::string::npos) << refusal;
        EXPECT_TRUE(sameSurface(out, testsupport::wigley()));
    }
}

TEST(Rebuild, ACoarseWaveIsNotTakenForScatter) {
    // Six points a wave of a radian and more per point: its fifth differences are as large as
    // scatter's, yet a tight tolerance is met at its own count.
    std::vector<PointH> net;
    for (int j = 0; j < 6; ++j) {
        for (int i = 0; i < 6; ++i) {
            const float x = -1.0f + 0.4f * i, y = -1.0f + 0.4f * j;
            net.push_back({x, y, 0.15f * (1.5f + y) * std::sin(4 * x) * std::cos(3 * y), 1.0f});
        }
    }
    std::vector<float> knots(10);
    fillUniformKnots(knots.data(), 10, 4);
    const SurfaceModel wave = testsupport::makeSurface(6, 6, 4, 4, knots, knots, net);
    SurfaceModel out;
    RebuildReport report;
    std::string refusal;
    EXPECT_TRUE(rebuildSurface(wave, toleranceOf(1e-4), out, report, refusal)) << refusal;
    EXPECT_LE(report.maxDeviation, 1e-4);
}

TEST(Rebuild, MoreFairnessBendsLessAndDeviatesMore) {
    const SurfaceModel loft = noisyHull(0.002);
    double lastEnergy = INFINITY, lastDeviation = -1.0;
    for (const double fairness : {0.0, 1e-7, 1e-5}) {
        SurfaceModel out;
        RebuildReport report;
        std::string refusal;
        ASSERT_TRUE(rebuildSurface(loft, pointsOf(9, 15, fairness), out, report, refusal));
        double energy = 0.0;
        for (int a = 0; a <= 40; ++a) {
            for (int b = 0; b <= 40; ++b) {
                SurfaceDerivatives d;
                ASSERT_TRUE(evaluateSurfaceDerivatives(out, a / 40.0f, b / 40.0f, d));
                energy += dot(d.Suu, d.Suu) + dot(d.Svv, d.Svv) + 2 * dot(d.Suv, d.Suv);
            }
        }
        EXPECT_LT(energy, lastEnergy) << fairness;
        EXPECT_GT(report.maxDeviation, lastDeviation) << fairness;
        lastEnergy = energy;
        lastDeviation = report.maxDeviation;
    }
}

TEST(Rebuild, RefusalsSayWhyAndChangeNothing) {
    SurfaceModel unusable = testsupport::wigley();
    unusable.orderU = 5;
    unusable.knotCountU = 8;
    unusable.knotsU.assign(8, 0.0f);
    struct Case {
        const char* name;
        SurfaceModel input;
        RebuildOptions options;
        const char* reason;
    };
    const Case cases[] = {
        {"points below the order", testsupport::wigley(), pointsOf(2, 3), "too few"},
        {"points past the limit", testsupport::wigley(), pointsOf(1001, 3), "more than"},
        {"negative fairness", testsupport::wigley(), pointsOf(3, 3, -1.0), "fairness"},
        {"fairness past 1", noisyHull(0.0), pointsOf(8, 8, 1e30), "from 0 to 1"},
        {"no count, no tolerance", testsupport::wigley(), RebuildOptions(), "tolerance above 0"},
        {"degree past the points", unusable, pointsOf(5, 3), "degree"},
        {"unreachable with fairness", noisyHull(0.0), toleranceOf(1e-6, 1.0), "fairness"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SurfaceModel out = testsupport::sphere();
        RebuildReport report;
        std::string refusal;
        EXPECT_FALSE(rebuildSurface(c.input, c.options, out, report, refusal));
        EXPECT_NE(refusal.find(c.reason), std::string::npos) << refusal;
        EXPECT_TRUE(sameSurface(out, testsupport::sphere()));
    }
}

TEST(Rebuild, RationalInputIsFittedByItsPointsWithWeightOne) {
    // A sphere of rational arcs: the fit of degree 2 with weight 1 comes closer as the cube of
    // the spacing, and no point strays from the radius by more than the deviation reported.
    const SurfaceModel ball = testsupport::sphere();
    double previous = INFINITY;
    for (const int n : {8, 16, 32}) {
        SurfaceModel out;
        RebuildReport report;
        std::string refusal;
        ASSERT_TRUE(rebuildSurface(ball, pointsOf(n, n), out, report, refusal)) << refusal;
        EXPECT_TRUE(report.rational);
        EXPECT_NE(rebuildReportText(report).find("rational"), std::string::npos);
        for (const PointH& P : out.controlNet) ASSERT_EQ(P.w, 1.0f);
        double most = 0.0;
        for (int a = 0; a <= 20; ++a) {
            for (int b = 0; b <= 20; ++b) {
                float x, y, z;
                ASSERT_TRUE(evaluateSurfacePoint(out, x, y, z, a / 20.0f, b / 20.0f));
                const double r = std::sqrt(double(x) * x + double(y) * y + double(z) * z);
                most = std::max(most, std::fabs(r - testsupport::kRadius));
            }
        }
        EXPECT_LE(most, report.maxDeviation + 1e-6) << n;
        EXPECT_LT(report.maxDeviation, previous / 5) << n;
        previous = report.maxDeviation;
    }
}

TEST(Rebuild, ACubicCurveOnManyPointsComesBackAsItsBezierForm) {
    // x = t, y = t^3 on 10 control points: its blossoms at the knot triples.
    std::vector<float> U(14);
    fillUniformKnots(U.data(), 14, 4);
    std::vector<PointH> curve;
    for (int i = 0; i < 10; ++i) {
        const float a = U[i + 1], b = U[i + 2], c = U[i + 3];
        curve.push_back({(a + b + c) / 3, a * b * c, 0.0f, 1.0f});
    }
    std::vector<PointH> points;
    std::vector<float> knots;
    RebuildReport report;
    std::string refusal;
    ASSERT_TRUE(
        rebuildCurve(9, 3, U.data(), curve.data(), pointsOf(4, 0), points, knots, report, refusal))
        << refusal;
    const float bezier[4][2] = {{0, 0}, {1.0f / 3, 0}, {2.0f / 3, 0}, {1, 1}};
    ASSERT_EQ(points.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(points[i].x, bezier[i][0], 1e-6);
        EXPECT_NEAR(points[i].y, bezier[i][1], 1e-6);
    }
    EXPECT_EQ(knots, (std::vector<float>{0, 0, 0, 0, 1, 1, 1, 1}));
    EXPECT_LT(report.maxDeviation, 1e-6);
}

TEST(Rebuild, TheEditorTakesARebuildAsOneUndoableStepAndARefusalChangesNothing) {
    testsupport::EditorScope scope;
    editor = EditorState();
    editor.surface = noisyHull(0.002, 9, 8);
    editor.selection.currentSection = 3;
    const SurfaceModel before = editor.surface;
    using Scope = RebuildScope;
    struct Case {
        const char* name;
        RebuildOptions options;
        Scope scope;
        bool skinning, taken;
        const char* says;
    };
    const Case cases[] = {
        {"surface", pointsOf(4, 5), Scope::surface, false, true, "rebuilt to 4 x 5 points"},
        {"sections while skinning", pointsOf(5, 0), Scope::sections, true, true,
         "rebuilt to 5 x 9 points"},
        {"faired section", pointsOf(8, 0, 1e-6), Scope::currentSection, true, true,
         "rebuilt to 8 x 9 points"},
        {"surface while skinning", pointsOf(4, 5), Scope::surface, true, false, "skinning is on"},
        {"below the scatter", toleranceOf(1e-5), Scope::surface, false, false, "below the scatter"},
        {"a section to its own count", pointsOf(5, 0), Scope::currentSection, false, false,
         "share their point count (8)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        editor.panel.skinningEnabled = c.skinning ? 1 : 0;
        const size_t steps = editor.history.undoSteps.size();
        std::string message;
        EXPECT_EQ(rebuildInEditor(editor, c.options, c.scope, message), c.taken);
        EXPECT_NE(std::string(editor.panel.statusLine).find(c.says), std::string::npos) << message;
        EXPECT_EQ(editor.history.undoSteps.size(), steps + (c.taken ? 1 : 0));
        EXPECT_EQ(sameSurface(editor.surface, before), !c.taken);
        if (c.scope == Scope::currentSection && c.taken) {
            for (int k = 0; k < before.countU * before.countV; ++k) {
                const bool inSection = k / before.countU == 3;
                EXPECT_EQ(
                    std::memcmp(&editor.surface.controlNet[k], &before.controlNet[k], 16) == 0,
                    !inSection)
                    << k;
            }
        }
        if (c.taken) {
            ASSERT_TRUE(undoEdit(editor));
            EXPECT_TRUE(sameSurface(editor.surface, before));
        }
    }
}

TEST(RebuildCommand, SavesTheRebuildPrintsTheDeviationAndRefusesWithTheRightStatus) {
    const std::string in = testsupport::scratchDir() + "/noisy.surf";
    std::string error;
    ASSERT_TRUE(writeSurfaceFile(in.c_str(), noisyHull(0.002), error)) << error;
    const std::string out = testsupport::scratchDir() + "/rebuilt.surf";
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* says;  // in standard output when done, in standard error otherwise
    };
    const Case cases[] = {
        {{"--points", "6,8", "--fair", "1e-7"}, 0, "rebuilt to 6 x 8 points; largest deviation"},
        {{"--tolerance", "0.01"}, 0, "scatter of the input about"},
        {{"--points", "9", "--sections"}, 0, "rebuilt to 9 x 21 points"},
        {{"--tolerance", "0.0002"}, 1, "below the scatter"},
        {{"--points", "2,8"}, 1, "too few"},
        {{"--points", "6,8", "--tolerance", "0.1"}, 2, "either --points or --tolerance"},
        {{"--points", "6x8"}, 2, "not a point count"},
        {{"--tolerance", "-1"}, 2, "not a tolerance"},
        {{"--points", "6,8", "--fair", "nan"}, 2, "not a fairness weight"},
    };
    for (const Case& c : cases) {
        remove(out.c_str());
        std::vector<std::string> args = {"rebuild", in, out};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const testsupport::ProcessResult run = testsupport::runLoftwork(args);
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_NE((c.status == 0 ? run.out : run.err).find(c.says), std::string::npos)
            << run.out << run.err;
        SurfaceModel saved;
        EXPECT_EQ(readSurfaceFile(out.c_str(), saved, error), c.status == 0) << error;
    }
}

}  // namespace
