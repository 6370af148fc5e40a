// Plane cuts against closed forms (the Wigley hull's parabolas, a sphere's circles) and against
// Open CASCADE's projection onto the same surface: points on the surface and on their plane,
// chords within the tolerance, one curve across a seam or through a pole.
#include <GeomAPI_ProjectPointOnSurf.hxx>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "exchange/occt_surface.h"
#include "model/plane_cuts.h"
#include "support/cut_surfaces.h"
#include "support/export_surfaces.h"

namespace {

using testsupport::kB;
using testsupport::kL;
using testsupport::kRadius;
using testsupport::kT;
using testsupport::sphere;
using testsupport::wigley;
using testsupport::wigleyZ;

std::vector<PlaneCut> cut(const SurfaceModel& s, const std::vector<CutPlane>& planes,
                          double tolerance = 0.0, const MirrorPlane* mirror = nullptr) {
    std::vector<PlaneCut> cuts;
    std::string error;
    EXPECT_TRUE(cutSurface(s, planes, tolerance, mirror, cuts, error)) << error;
    return cuts;
}

double planeDistance(const CutPlane& p, const CutPoint& q) {
    return (p.a * q.x + p.b * q.y + p.c * q.z - p.d) / std::sqrt(p.a * p.a + p.b * p.b + p.c * p.c);
}

// Each chord's midpoint and quarter points against the exact curve, given as the distance of a
// point from it.
void expectChordsWithin(const CutCurve& curve, double tolerance,
                        const std::function<double(const CutPoint&)>& distanceFromCurve) {
    const size_t n = curve.points.size();
    const size_t chords = curve.closed ? n : n - 1;
    double worst = 0.0;
    for (size_t k = 0; k < chords; ++k) {
        const CutPoint& a = curve.points[k];
        const CutPoint& b = curve.points[(k + 1) % n];
        for (double r : {0.25, 0.5, 0.75}) {
            const CutPoint m{a.x + r * (b.x - a.x), a.y + r * (b.y - a.y), a.z + r * (b.z - a.z)};
            worst = std::max(worst, distanceFromCurve(m));
        }
    }
    EXPECT_LE(worst, tolerance);
}

// Distance of q from the parabola z = f(s) in the plane of its coordinates (s, z), by a dense
// search followed by golden refinement around the best sample.
double distanceFromGraph(double s, double z, double s0, double s1,
                         const std::function<double(double)>& f) {
    auto d = [&](double t) { return std::hypot(t - s, f(t) - z); };
    double best = s0;
    for (int k = 0; k <= 4000; ++k) {
        const double t = s0 + (s1 - s0) * k / 4000.0;
        if (d(t) < d(best)) best = t;
    }
    double lo = std::max(s0, best - (s1 - s0) / 4000.0), hi = std::min(s1, best + (s1 - s0) / 4000.0);
    for (int k = 0; k < 60; ++k) {
        const double m1 = lo + (hi - lo) * 0.382, m2 = lo + (hi - lo) * 0.618;
        if (d(m1) < d(m2)) {
            hi = m2;
        } else {
            lo = m1;
        }
    }
    return d(0.5 * (lo + hi));
}

TEST(WigleyCuts, StationsAreItsParabolasWithinTheTolerance) {
    const SurfaceModel hull = wigley();
    const double tolerance = defaultCutTolerance(hull);
    // The box around the control points: the middle one stands at z = B.
    ASSERT_NEAR(tolerance, 1e-4 * std::sqrt(kL * kL + kT * kT + kB * kB), 1e-12);
    // The end sections lie in the end stations' planes: those stations run along them.
    for (double x : {-2.0, -1.9, -1.0, -0.3, 0.0, 0.7, 1.5, 2.0}) {
        SCOPED_TRACE(x);
        const std::vector<PlaneCut> cuts = cut(hull, {axisPlane(0, x)});
        ASSERT_EQ(cuts[0].curves.size(), 1u);
        const CutCurve& station = cuts[0].curves[0];
        EXPECT_FALSE(station.closed);
        // From the keel at the bottom to the sheer at y = 0.
        EXPECT_NEAR(station.points.front().y, -kT, 1e-9);
        EXPECT_NEAR(station.points.front().z, 0.0, 1e-9);
        EXPECT_NEAR(station.points.back().y, 0.0, 1e-9);
        for (const CutPoint& p : station.points) {
            EXPECT_NEAR(p.x, x, 1e-9);
            EXPECT_NEAR(p.z, wigleyZ(x, p.y), 1e-7);
        }
        expectChordsWithin(station, tolerance, [&](const CutPoint& m) {
            return std::hypot(m.x - x, distanceFromGraph(m.y, m.z, -kT, 0.0,
                                                         [&](double y) { return wigleyZ(x, y); }));
        });
    }
}

TEST(WigleyCuts, WaterlinesAreItsParabolasWithinTheTolerance) {
    const SurfaceModel hull = wigley();
    const double tolerance = 2e-5;
    for (double y : {-0.2, -0.125, -0.01, 0.0}) {
        SCOPED_TRACE(y);
        const std::vector<PlaneCut> cuts = cut(hull, {axisPlane(1, y)}, tolerance);
        ASSERT_EQ(cuts[0].curves.size(), 1u);
        const CutCurve& waterline = cuts[0].curves[0];
        EXPECT_NEAR(waterline.points.front().x, -kL / 2, 1e-9);
        EXPECT_NEAR(waterline.points.back().x, kL / 2, 1e-9);
        for (const CutPoint& p : waterline.points) {
            EXPECT_NEAR(p.y, y, 1e-9);
            EXPECT_NEAR(p.z, wigleyZ(p.x, y), 1e-7);
        }
        expectChordsWithin(waterline, tolerance, [&](const CutPoint& m) {
            return std::hypot(m.y - y, distanceFromGraph(m.x, m.z, -kL / 2, kL / 2,
                                                         [&](double x) { return wigleyZ(x, y); }));
        });
    }
}

TEST(WigleyCuts, MirroredStationRunsFromSheerToSheerThroughTheKeel) {
    const SurfaceModel hull = wigley();
    const MirrorPlane centre;  // z = 0
    const std::vector<PlaneCut> cuts = cut(hull, {axisPlane(0, 0.5)}, 0.0, &centre);
    ASSERT_EQ(cuts[0].curves.size(), 1u);
    const CutCurve& station = cuts[0].curves[0];
    EXPECT_FALSE(station.closed);
    const double sheer = wigleyZ(0.5, 0.0);
    EXPECT_NEAR(std::fabs(station.points.front().z), sheer, 1e-9);
    EXPECT_NEAR(std::fabs(station.points.back().z), sheer, 1e-9);
    EXPECT_NEAR(station.points.front().z + station.points.back().z, 0.0, 1e-9);
    for (const CutPoint& p : station.points) EXPECT_NEAR(std::fabs(p.z), wigleyZ(0.5, p.y), 1e-7);
}

TEST(WigleyCuts, AMirroredButtockIsTheReflectedOne) {
    const SurfaceModel hull = wigley();
    const MirrorPlane centre{2, 0.0f};
    const std::vector<PlaneCut> cuts = cut(hull, {axisPlane(2, -0.1)}, 0.0, &centre);
    ASSERT_EQ(cuts[0].curves.size(), 1u);
    for (const CutPoint& p : cuts[0].curves[0].points) {
        EXPECT_NEAR(p.z, -0.1, 1e-9);
        EXPECT_NEAR(wigleyZ(p.x, p.y), 0.1, 1e-7);
    }
}

struct SphereCase {
    const char* name;
    CutPlane plane;
    int closedCurves;
};

void PrintTo(const SphereCase& c, std::ostream* out) {
    *out << c.name;
}

class SphereCut : public testing::TestWithParam<SphereCase> {};

// Every cut of a sphere by a plane at distance h from its centre is one circle of radius
// sqrt(r^2 - h^2) about the centre's foot on the plane, however the plane meets the seam and
// the poles.
TEST_P(SphereCut, IsOneCircleWithinTheTolerance) {
    const SphereCase& c = GetParam();
    const SurfaceModel ball = sphere();
    const double tolerance = defaultCutTolerance(ball);
    const std::vector<PlaneCut> cuts = cut(ball, {c.plane});
    ASSERT_EQ(cuts[0].curves.size(), static_cast<size_t>(c.closedCurves));
    if (c.closedCurves == 0) return;
    const CutCurve& circle = cuts[0].curves[0];
    EXPECT_TRUE(circle.closed);
    const double length = std::sqrt(c.plane.a * c.plane.a + c.plane.b * c.plane.b +
                                    c.plane.c * c.plane.c);
    const double h = c.plane.d / length;
    const double centre[3] = {c.plane.a / length * h, c.plane.b / length * h,
                              c.plane.c / length * h};
    const double radius = std::sqrt(kRadius * kRadius - h * h);
    auto fromCircle = [&](const CutPoint& p) {
        const double inPlane = std::hypot(p.x - centre[0], p.y - centre[1], p.z - centre[2]);
        return std::hypot(inPlane - radius, planeDistance(c.plane, p));
    };
    for (const CutPoint& p : circle.points) {
        EXPECT_NEAR(planeDistance(c.plane, p), 0.0, 1e-9);
        EXPECT_NEAR(std::hypot(p.x, p.y, p.z), kRadius, 2e-6);  // the float net's sphere
    }
    expectChordsWithin(circle, tolerance + 2e-6, fromCircle);
    // The whole circle, not an arc of it: the chords add up to its circumference, short of it
    // by at most 2 pi e / 3 for chords of sagitta e.
    double perimeter = 0.0;
    for (size_t k = 0; k < circle.points.size(); ++k) {
        const CutPoint& a = circle.points[k];
        const CutPoint& b = circle.points[(k + 1) % circle.points.size()];
        perimeter += std::hypot(b.x - a.x, b.y - a.y, b.z - a.z);
    }
    EXPECT_LE(perimeter, 2 * M_PI * radius + 1e-5);
    EXPECT_GE(perimeter, 2 * M_PI * radius - 2 * M_PI * tolerance / 3);
}

INSTANTIATE_TEST_SUITE_P(
    StationsWaterlinesButtocksDiagonals, SphereCut,
    testing::Values(SphereCase{"station_across_the_seam", axisPlane(0, 0.9), 1},
                    SphereCase{"station_away_from_the_seam", axisPlane(0, -1.2), 1},
                    SphereCase{"station_through_both_poles", axisPlane(0, 0.0), 1},
                    SphereCase{"waterline_across_the_seam", axisPlane(1, 0.4), 1},
                    SphereCase{"waterline_near_a_pole", axisPlane(1, -1.45), 1},
                    SphereCase{"buttock_along_the_seam", axisPlane(2, 0.0), 1},
                    SphereCase{"buttock_off_centre", axisPlane(2, -0.6), 1},
                    SphereCase{"diagonal_through_the_poles", CutPlane{1, 0, 1, 0}, 1},
                    SphereCase{"oblique_plane", CutPlane{1, 2, -0.5, 0.8}, 1},
                    SphereCase{"plane_past_the_sphere", axisPlane(1, 1.6), 0}),
    [](const testing::TestParamInfo<SphereCase>& info) { return std::string(info.param.name); });

// On a rational surface with uneven knots, every point lies on its plane and, by Open
// CASCADE's projection, on the surface.
TEST(PlaneCuts, PointsLieOnTheSurfaceAndThePlane) {
    const SurfaceModel s = testsupport::rationalUnevenSurface();
    std::string error;
    const Handle(Geom_BSplineSurface) occt = makeOcctSurface(s, error);
    ASSERT_FALSE(occt.IsNull()) << error;
    const std::vector<CutPlane> planes = {axisPlane(0, 0.1), axisPlane(1, -0.2), axisPlane(2, 0.05),
                                          CutPlane{0.3, -1, 2, 0.1}};
    const std::vector<PlaneCut> cuts = cut(s, planes);
    ASSERT_EQ(cuts.size(), planes.size());
    for (const PlaneCut& c : cuts) {
        ASSERT_FALSE(c.curves.empty());
        for (const CutCurve& curve : c.curves) {
            for (size_t k = 0; k < curve.points.size(); k += 7) {
                const CutPoint& p = curve.points[k];
                EXPECT_NEAR(planeDistance(c.plane, p), 0.0, 1e-9);
                GeomAPI_ProjectPointOnSurf projection(gp_Pnt(p.x, p.y, p.z), occt);
                ASSERT_GT(projection.NbPoints(), 0);
                EXPECT_LT(projection.LowerDistance(), 1e-6);
            }
        }
    }
}

TEST(PlaneCuts, ACoarserToleranceGivesFewerPoints) {
    const SurfaceModel ball = sphere();
    const size_t fine = cut(ball, {axisPlane(0, 0.2)}, 1e-5)[0].curves[0].points.size();
    const size_t coarse = cut(ball, {axisPlane(0, 0.2)}, 1e-2)[0].curves[0].points.size();
    EXPECT_LT(coarse * 4, fine);
    // A chord of sagitta e on a circle of radius R spans 2 sqrt(2 R e): at least that many.
    const double R = std::sqrt(kRadius * kRadius - 0.04);
    EXPECT_GE(static_cast<double>(coarse), 2 * M_PI * R / (2 * std::sqrt(2 * R * 1e-2)));
}

TEST(PlaneCuts, RefusesWhatItCannotCut) {
    std::vector<PlaneCut> cuts(1);
    std::string error;
    EXPECT_FALSE(cutSurface(SurfaceModel(), {axisPlane(0, 0)}, 0.0, nullptr, cuts, error));
    EXPECT_NE(error.find("cannot be evaluated"), std::string::npos);
    EXPECT_FALSE(cutSurface(wigley(), {CutPlane{0, 0, 0, 1}}, 0.0, nullptr, cuts, error));
    EXPECT_FALSE(cutSurface(wigley(), {CutPlane{1, 0, 0, NAN}}, 0.0, nullptr, cuts, error));
    EXPECT_FALSE(cutSurface(wigley(), {axisPlane(0, 0)}, INFINITY, nullptr, cuts, error));
    EXPECT_EQ(cuts.size(), 1u);  // unchanged
}

}  // namespace
