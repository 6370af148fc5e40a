// Curvature of rational surfaces and section curves: exact surfaces of revolution and circles,
// Open CASCADE's local properties on an uneven rational surface, and the curvature subcommand.
#include <gtest/gtest.h>
#include <GeomLProp_SLProps.hxx>

#include <array>
#include <cmath>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "exchange/occt_surface.h"
#include "io/editor_file_io.h"
#include "model/curvature.h"
#include "support/export_surfaces.h"
#include "support/scratch_files.h"

namespace {

const float kHalfRoot2 = std::sqrt(0.5f);

// The full turn about the y axis of a rational profile in the xy plane: (x, y, w) per point.
SurfaceModel revolvedRational(int order, const std::vector<float>& knots,
                              const std::vector<std::array<float, 3>>& profile) {
    std::vector<PointH> net;
    for (int copy = 0; copy < 2; ++copy) {
        for (const auto& p : profile) net.push_back({p[0] * p[2], p[1] * p[2], 0.0f, p[2]});
    }
    const int count = static_cast<int>(profile.size());
    const SurfaceModel flat =
        testsupport::makeSurface(count, 2, order, 2, knots, {0, 0, 1, 1}, net);
    SurfaceModel out;
    std::string error;
    EXPECT_TRUE(revolveSection(flat, 0, out, error)) << error;
    return out;
}

// Sphere of radius r about the origin: a half circle from pole to pole, two 90-degree arcs.
SurfaceModel sphere(float r) {
    return revolvedRational(
        3, {0, 0, 0, 0.5f, 0.5f, 1, 1, 1},
        {{0, -r, 1}, {r, -r, kHalfRoot2}, {r, 0, 1}, {r, r, kHalfRoot2}, {0, r, 1}});
}

// The zone of a sphere between latitudes -60 and 60 degrees: one 120-degree arc of weight 1/2.
SurfaceModel sphereZone(float r) {
    const float c = 0.5f * r, s = std::sqrt(0.75f) * r;
    return revolvedRational(3, {0, 0, 0, 1, 1, 1}, {{c, -s, 1}, {2 * r, 0, 0.5f}, {c, s, 1}});
}

// Cylinder of radius r: a straight profile, unevenly spaced so that its speed varies.
SurfaceModel cylinder(float r) {
    return revolvedRational(3, {0, 0, 0, 1, 1, 1}, {{r, -1, 1}, {r, -0.8f, 1}, {r, 1.5f, 1}});
}

struct RevolvedCase {
    const char* name;
    std::function<SurfaceModel(float)> make;
    float r;
    bool isSphere;  // else a cylinder about the y axis
    float uFrom, uTo;
};

void PrintTo(const RevolvedCase& c, std::ostream* out) {
    *out << c.name;
}

const RevolvedCase kRevolved[] = {
    {"unit_sphere", sphere, 1.0f, true, 0.02f, 0.98f},
    {"large_sphere", sphere, 3.5f, true, 0.02f, 0.98f},
    {"sphere_zone", sphereZone, 0.3f, true, 0.0f, 1.0f},
    {"thin_cylinder", cylinder, 0.5f, false, 0.0f, 1.0f},
    {"wide_cylinder", cylinder, 7.0f, false, 0.0f, 1.0f},
};

class RevolvedCurvature : public testing::TestWithParam<RevolvedCase> {};

// K is 1/r^2 on a sphere and 0 on a cylinder; H N, the mean curvature vector, points to the
// axis with length 1/r (sphere) or 1/(2r) (cylinder) whichever way the normal turns.
TEST_P(RevolvedCurvature, MatchesTheExactShape) {
    const RevolvedCase& c = GetParam();
    const SurfaceModel surface = c.make(c.r);
    const float rr = c.r * c.r;
    const int steps = 16;
    for (int a = 0; a <= steps; ++a) {
        for (int b = 0; b <= 2 * steps; ++b) {
            const float u = c.uFrom + (c.uTo - c.uFrom) * a / steps;
            const float v = static_cast<float>(b) / (2 * steps);
            SurfaceCurvature k;
            ASSERT_EQ(evaluateSurfaceCurvature(surface, u, v, k), CurvatureStatus::Defined)
                << u << " " << v;
            const Point3 P = k.point;
            const Vector3 toAxis = c.isSphere ? Point3(0, 0, 0) - P : Vector3(-P.x, 0, -P.z);
            const float share = c.isSphere ? 1.0f : 0.5f;
            const Vector3 expected = toAxis * (share / rr);
            const Vector3 got = k.normal * k.mean;
            const float tolerance = 2e-5f / c.r;
            EXPECT_NEAR(length(got - expected), 0.0f, tolerance) << u << " " << v;
            EXPECT_NEAR(k.gaussian, c.isSphere ? 1.0f / rr : 0.0f, 2e-5f / rr) << u << " " << v;
            EXPECT_NEAR(k.kMax * k.kMin, k.gaussian, 2e-5f / rr);
            EXPECT_NEAR(length(k.normal), 1.0f, 1e-6f);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, RevolvedCurvature, testing::ValuesIn(kRevolved),
                         [](const auto& info) { return std::string(info.param.name); });

// A revolved profile that meets the axis has no tangent plane there: both ends of the sphere's
// profile, at every angle.
TEST(SurfaceCurvaturePoles, AreUndefinedNotNaN) {
    const SurfaceModel surface = sphere(2.0f);
    for (float u : {0.0f, 1.0f}) {
        for (float v : {0.0f, 0.1f, 0.25f, 0.6f, 1.0f}) {
            SurfaceCurvature k;
            EXPECT_EQ(evaluateSurfaceCurvature(surface, u, v, k), CurvatureStatus::Undefined);
            EXPECT_NEAR(std::fabs(k.point.y), 2.0f, 1e-6f);
        }
    }
}

struct ReferenceCase {
    const char* name;
    std::function<SurfaceModel()> make;
};

void PrintTo(const ReferenceCase& c, std::ostream* out) {
    *out << c.name;
}

const ReferenceCase kReferences[] = {
    {"rational_uneven_knots", testsupport::rationalUnevenSurface},
    {"unclamped_knots", testsupport::unclampedSurface},
    {"skinned", testsupport::skinnedSurface},
};

class OcctCurvature : public testing::TestWithParam<ReferenceCase> {};

// The same surface in Open CASCADE gives the same normal, K and H within float rounding,
// relative to each value plus a tenth of the surface's largest curvature.
TEST_P(OcctCurvature, AgreesWithLocalProperties) {
    const SurfaceModel surface = GetParam().make();
    std::string error;
    const Handle(Geom_BSplineSurface) reference = makeOcctSurface(surface, error);
    ASSERT_FALSE(reference.IsNull()) << error;
    const float u0 = surface.knotsU[surface.orderU - 1], u1 = surface.knotsU[surface.countU];
    const float v0 = surface.knotsV[surface.orderV - 1], v1 = surface.knotsV[surface.countV];
    const int steps = 14;
    struct Sample {
        SurfaceCurvature ours;
        double K, H;
        gp_Dir N;
    };
    std::vector<Sample> samples;
    double scaleH = 0.0;
    for (int a = 0; a <= steps; ++a) {
        for (int b = 0; b <= steps; ++b) {
            const float u = a == steps ? u1 : u0 + (u1 - u0) * a / steps;
            const float v = b == steps ? v1 : v0 + (v1 - v0) * b / steps;
            GeomLProp_SLProps props(reference, u, v, 2, 1e-9);
            ASSERT_TRUE(props.IsCurvatureDefined()) << u << " " << v;
            Sample s;
            ASSERT_EQ(evaluateSurfaceCurvature(surface, u, v, s.ours), CurvatureStatus::Defined);
            s.K = props.GaussianCurvature();
            s.H = props.MeanCurvature();
            s.N = props.Normal();
            scaleH = std::max(
                {scaleH, std::fabs(props.MaxCurvature()), std::fabs(props.MinCurvature())});
            samples.push_back(s);
        }
    }
    // Float derivatives agree to about 1e-6 of |H| plus a thousandth of the largest curvature.
    const double relative = 1e-5;
    for (const Sample& s : samples) {
        const gp_Dir N = s.N;
        const double along =
            N.X() * s.ours.normal.x + N.Y() * s.ours.normal.y + N.Z() * s.ours.normal.z;
        EXPECT_NEAR(along, 1.0, 1e-6);
        EXPECT_NEAR(s.ours.mean, s.H, relative * (std::fabs(s.H) + 0.1 * scaleH));
        EXPECT_NEAR(s.ours.gaussian, s.K, relative * (std::fabs(s.K) + 0.1 * scaleH * scaleH));
    }
}

INSTANTIATE_TEST_SUITE_P(Surfaces, OcctCurvature, testing::ValuesIn(kReferences),
                         [](const auto& info) { return std::string(info.param.name); });

// A circle of radius r about centre c in the plane x = c.x, from `arcs` rational quadratic arcs
// of equal angle: corners at r / cos(half angle), of weight cos(half angle).
SurfaceModel circleSections(float r, int arcs, Point3 c) {
    const float half = static_cast<float>(M_PI) / arcs;
    const float w = std::cos(half);
    std::vector<PointH> section;
    std::vector<float> knots = {0, 0, 0};
    for (int i = 0; i < 2 * arcs + 1; ++i) {
        const float angle = half * i;
        const float reach = i % 2 == 0 ? r : r / w;
        const float weight = i % 2 == 0 ? 1.0f : w;
        const Point3 p(c.x, c.y + reach * std::cos(angle), c.z + reach * std::sin(angle));
        section.push_back({p.x * weight, p.y * weight, p.z * weight, weight});
        if (i % 2 == 0 && i > 0 && i < 2 * arcs)
            knots.insert(knots.end(), 2, float(i) / (2 * arcs));
    }
    knots.insert(knots.end(), 3, 1.0f);
    std::vector<PointH> net = section;
    net.insert(net.end(), section.begin(), section.end());
    return testsupport::makeSurface(2 * arcs + 1, 2, 3, 2, knots, {0, 0, 1, 1}, net);
}

struct CircleCase {
    float r;
    int arcs;
    Point3 centre;
};

void PrintTo(const CircleCase& c, std::ostream* out) {
    *out << "r " << c.r << ", " << c.arcs << " arcs";
}

class SectionCircle : public testing::TestWithParam<CircleCase> {};

// Every point of a rational circle has curvature 1/r, its curvature vector reaching the centre.
TEST_P(SectionCircle, HasCurvatureOneOverRadius) {
    const CircleCase& c = GetParam();
    const SurfaceModel surface = circleSections(c.r, c.arcs, c.centre);
    for (int i = 0; i <= 60; ++i) {
        CurveCurvature k;
        const float u = i / 60.0f;
        ASSERT_EQ(evaluateSectionCurvature(surface, 1, u, k), CurvatureStatus::Defined) << u;
        EXPECT_NEAR(k.curvature * c.r, 1.0f, 2e-6f) << u;
        const Vector3 reach = (k.point + k.curvatureVector * (c.r * c.r)) - c.centre;
        EXPECT_NEAR(length(reach), 0.0f, 2e-6f * (c.r + length(c.centre - Point3(0, 0, 0))));
        EXPECT_NEAR(std::fabs(k.binormal.x), 1.0f, 1e-6f);
    }
}

INSTANTIATE_TEST_SUITE_P(Circles, SectionCircle,
                         testing::Values(CircleCase{1.0f, 4, Point3(0, 0, 0)},
                                         CircleCase{0.25f, 3, Point3(0.5f, -1, 2)},
                                         CircleCase{40.0f, 4, Point3(3, 100, -20)},
                                         CircleCase{2.0f, 6, Point3(-1, 0, 0)}),
                         [](const auto& info) {
                             return "radius_" + std::to_string(info.index) + "_" +
                                    std::to_string(info.param.arcs) + "_arcs";
                         });

// A section whose control points all coincide has no tangent: undefined, not NaN.
TEST(SectionCurvatureDegenerate, CoincidentPointsAreUndefined) {
    SurfaceModel surface = circleSections(1.0f, 4, Point3(0, 0, 0));
    for (int j = 0; j < surface.countU; ++j) surface.controlNet[j] = {0.5f, 0.5f, 0.5f, 1.0f};
    CurveCurvature k;
    EXPECT_EQ(evaluateSectionCurvature(surface, 0, 0.3f, k), CurvatureStatus::Undefined);
    EXPECT_EQ(evaluateSectionCurvature(surface, 2, 0.3f, k), CurvatureStatus::NoPoint);
}

// The subcommand prints K H per pair, and for a pair at a pole a line saying there is no normal,
// then goes on with the next pairs.
TEST(CurvatureCommand, PrintsCurvaturesAndUndefinedAtPoles) {
    const float r = 2.0f;
    const std::string path = testsupport::scratchDir() + "/sphere.surf";
    std::string error;
    ASSERT_TRUE(writeSurfaceFile(path.c_str(), sphere(r), error)) << error;
    const testsupport::ProcessResult run =
        testsupport::runLoftwork({"curvature", path, "0.3", "0.1", "0", "0.4", "0.7", "0.9"});
    EXPECT_EQ(run.status, 0) << run.err;
    std::istringstream lines(run.out);
    std::string line;
    std::vector<std::string> got;
    while (std::getline(lines, line)) got.push_back(line);
    ASSERT_EQ(got.size(), 3u) << run.out;
    EXPECT_EQ(got[1], "undefined: no normal at (0, 0.400000006)");
    for (int i : {0, 2}) {
        double K = 0.0, H = 0.0;
        ASSERT_EQ(sscanf(got[i].c_str(), "%lf %lf", &K, &H), 2) << got[i];
        EXPECT_NEAR(K, 1.0 / (r * r), 1e-5);
        EXPECT_NEAR(std::fabs(H), 1.0 / r, 1e-5);
    }
}

struct RefusalCase {
    std::vector<std::string> args;
    int status;
};

// Usage mistakes end with 2 and the usage text, a file that cannot be read with 1; nothing is
// printed on standard output.
TEST(CurvatureCommand, RefusesBadArguments) {
    const std::string path = testsupport::scratchDir() + "/refusal.surf";
    std::string error;
    ASSERT_TRUE(writeSurfaceFile(path.c_str(), sphere(1.0f), error)) << error;
    const std::string missing = testsupport::scratchDir() + "/missing.surf";
    const RefusalCase cases[] = {
        {{"curvature"}, 2},
        {{"curvature", path}, 2},
        {{"curvature", path, "0.5"}, 2},
        {{"curvature", path, "0.5", "0.5", "0.2"}, 2},
        {{"curvature", path, "0.5", "half"}, 2},
        {{"curvature", path, "nan", "0.5"}, 2},
        {{"curvature", missing, "0.5", "0.5"}, 1},
        {{"curvature", path, "0.5", "-0.1"}, 1},  // outside the knot range
    };
    for (const RefusalCase& c : cases) {
        const testsupport::ProcessResult run = testsupport::runLoftwork(c.args);
        EXPECT_EQ(run.status, c.status) << c.args.size() << " arguments: " << run.err;
        EXPECT_EQ(run.out, "");
        if (c.status == 2) {
            EXPECT_NE(run.err.find("usage:"), std::string::npos);
        }
    }
}

}  // namespace
