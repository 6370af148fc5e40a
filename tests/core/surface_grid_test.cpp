// The tessellation grid: every vertex is the surface's point (and its normal and curvature the
// pointwise ones), on any knots and weights, on one thread or two; and the grid's density
// follows the net's extent on the screen and its turning, bounded by the window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "model/curvature.h"
#include "model/knots.h"
#include "model/surface_grid.h"
#include "support/export_surfaces.h"

namespace {

// An orthographic view of the xy plane: a model unit is `pixelsPerUnit` pixels, the origin at
// the centre of a 640 x 480 window.
ScreenProjection flatView(float pixelsPerUnit) {
    ScreenProjection s = {};
    s.matrix[0] = pixelsPerUnit / 320.0f;
    s.matrix[5] = pixelsPerUnit / 240.0f;
    s.matrix[10] = 1.0f;
    s.matrix[15] = 1.0f;
    s.viewport[2] = 640.0f;
    s.viewport[3] = 480.0f;
    return s;
}

struct OnSurfaceCase {
    const char* name;
    std::function<SurfaceModel()> make;
};

void PrintTo(const OnSurfaceCase& c, std::ostream* out) {
    *out << c.name;
}

const OnSurfaceCase kOnSurface[] = {
    {"rational_uneven_knots", testsupport::rationalUnevenSurface},
    {"unclamped_knots", testsupport::unclampedSurface},
    {"egg_with_poles", testsupport::revolvedEgg},
    {"goblet", testsupport::revolvedGoblet},
    {"vase", [] { return testsupport::exampleSurface("vase.surf"); }},
    {"wavy_9x4_linear_across",
     [] {
         return testsupport::makeSurface(
             9, 4, 4, 2, {0, 0, 0, 0, 0.1f, 0.2f, 0.7f, 0.8f, 0.9f, 1, 1, 1, 1},
             {0, 0, 0.5f, 0.6f, 1, 1}, testsupport::wavyNet(9, 4, false));
     }},
};

class GridOnSurface : public testing::TestWithParam<OnSurfaceCase> {};

// Points within float rounding of evaluateSurfacePoint, normals and curvatures those of
// evaluateSurfaceCurvature, undefined exactly where those have nothing.
TEST_P(GridOnSurface, VerticesAreTheSurfacesPointsNormalsAndCurvatures) {
    const SurfaceModel surface = GetParam().make();
    const NetSurface net = netSurfaceOf(surface);
    ASSERT_TRUE(netSurfaceUsable(net));
    float extent = 0.0f;
    for (const PointH& P : surface.controlNet) {
        extent =
            std::max({extent, std::fabs(P.x / P.w), std::fabs(P.y / P.w), std::fabs(P.z / P.w)});
    }
    const GridParameters parameters = chooseGridParameters(net, flatView(150.0f), GridDensity());
    ASSERT_GE(parameters.u.size(), 5u);
    ASSERT_GE(parameters.v.size(), 5u);
    const JobRunner oneThread = [](int jobs, const std::function<void(int)>& job) {
        for (int i = jobs - 1; i >= 0; --i) job(i);
    };
    for (const JobRunner& run : {JobRunner(runOnTwoThreads), oneThread}) {
        SurfaceGrid points, curvature;
        evaluateSurfaceGrid(net, parameters, GridQuantity::points, points, run);
        evaluateSurfaceGrid(net, parameters, GridQuantity::curvature, curvature, run);
        ASSERT_EQ(points.columns, static_cast<int>(parameters.u.size()));
        ASSERT_EQ(points.rows, static_cast<int>(parameters.v.size()));
        int curvatureChecked = 0;
        for (int j = 0; j < points.rows; ++j) {
            for (int i = 0; i < points.columns; ++i) {
                const float u = parameters.u[i], v = parameters.v[j];
                const size_t k = static_cast<size_t>(j) * points.columns + i;
                float x = 0, y = 0, z = 0;
                const bool has = evaluateSurfacePoint(surface, x, y, z, u, v);
                ASSERT_EQ(points.defined[k] != 0, has) << "u " << u << " v " << v;
                if (!has) continue;
                const float tolerance = 4e-6f * extent;
                EXPECT_NEAR(points.positions[3 * k], x, tolerance) << "u " << u << " v " << v;
                EXPECT_NEAR(points.positions[3 * k + 1], y, tolerance) << "u " << u << " v " << v;
                EXPECT_NEAR(points.positions[3 * k + 2], z, tolerance) << "u " << u << " v " << v;

                SurfaceCurvature c;
                const CurvatureStatus status = evaluateSurfaceCurvature(surface, u, v, c);
                // Near the threshold of a lost tangent plane the two may round either way.
                if (status != CurvatureStatus::Defined || !curvature.defined[k]) continue;
                ++curvatureChecked;
                const float* n = &curvature.normals[3 * k];
                EXPECT_GT(n[0] * c.normal.x + n[1] * c.normal.y + n[2] * c.normal.z, 0.9999f);
                const float scale = 1e-3f * (std::fabs(c.kMax) + std::fabs(c.kMin) + 1.0f / extent);
                EXPECT_NEAR(curvature.mean[k], c.mean, scale);
                EXPECT_NEAR(curvature.gaussian[k], c.gaussian,
                            scale * (std::fabs(c.kMax) + std::fabs(c.kMin) + 1.0f / extent));
            }
        }
        EXPECT_GT(curvatureChecked, points.rows * points.columns / 2);
    }
}

INSTANTIATE_TEST_SUITE_P(Surfaces, GridOnSurface, testing::ValuesIn(kOnSurface),
                         [](const auto& info) { return std::string(info.param.name); });

// A flat sheet of countU x countV points, x = xOf(i / (countU - 1)), y in [-1, 1], cubic both
// ways, clamped uniform knots; z = bend * x^2 curves it along u.
SurfaceModel sheet(int countU, int countV, const std::function<float(float)>& xOf,
                   float bend = 0.0f) {
    std::vector<PointH> net;
    for (int j = 0; j < countV; ++j) {
        for (int i = 0; i < countU; ++i) {
            const float x = xOf(static_cast<float>(i) / (countU - 1));
            net.push_back({x, 2.0f * j / (countV - 1) - 1.0f, bend * x * x, 1.0f});
        }
    }
    std::vector<float> U(static_cast<size_t>(countU) + 4), V(static_cast<size_t>(countV) + 4);
    fillUniformKnots(U.data(), countU + 4, 4);
    fillUniformKnots(V.data(), countV + 4, 4);
    return testsupport::makeSurface(countU, countV, 4, 4, U, V, net);
}

float straight(float t) {
    return 2.0f * t - 1.0f;
}

int countBetween(const std::vector<float>& parameters, float low, float high) {
    return static_cast<int>(std::count_if(parameters.begin(), parameters.end(),
                                          [=](float p) { return p >= low && p < high; }));
}

// What a denser view must show against a coarser one.
enum class Expect {
    moreSteps,     // the fine grid has half as many steps again as the coarse one
    firstHalf,     // the fine grid's steps crowd into u < 0.5, at least twice those above
    aboutTheSame,  // no more than 1.5 times the steps (the net is denser, not the view)
};

struct DensityCase {
    const char* name;
    SurfaceModel coarse, fine;
    ScreenProjection coarseView, fineView;
    Expect expect;
};

void PrintTo(const DensityCase& c, std::ostream* out) {
    *out << c.name;
}

std::vector<DensityCase> densityCases() {
    const SurfaceModel plain = sheet(12, 6, straight);
    // The first half of the u range spreads over 1.6 units of x, the second over 0.4.
    const SurfaceModel lopsided =
        sheet(12, 6, [](float t) { return t < 0.5f ? 3.2f * t - 1.0f : 0.8f * t + 0.2f; });
    return {
        {"zoomed_in_four_times", plain, plain, flatView(60.0f), flatView(240.0f),
         Expect::moreSteps},
        {"wider_half_on_screen", lopsided, lopsided, flatView(150.0f), flatView(150.0f),
         Expect::firstHalf},
        // Bent away from the viewer: the same outline on the screen, but turning.
        {"bent_sheet_seen_from_above", plain, sheet(12, 6, straight, 8.0f), flatView(60.0f),
         flatView(60.0f), Expect::moreSteps},
        {"net_16_times_denser", sheet(50, 50, straight), sheet(200, 200, straight),
         flatView(150.0f), flatView(150.0f), Expect::aboutTheSame},
        {"net_far_past_the_window", sheet(12, 6, straight), sheet(12, 6, straight),
         flatView(2000.0f), flatView(200000.0f), Expect::aboutTheSame},
    };
}

class GridDensityFollowsScreen : public testing::TestWithParam<DensityCase> {};

TEST_P(GridDensityFollowsScreen, RefinesWhereTheExtentGrows) {
    const DensityCase& c = GetParam();
    const GridDensity density;
    const GridParameters coarse =
        chooseGridParameters(netSurfaceOf(c.coarse), c.coarseView, density);
    const GridParameters fine = chooseGridParameters(netSurfaceOf(c.fine), c.fineView, density);
    for (const GridParameters* g : {&coarse, &fine}) {
        ASSERT_GE(g->u.size(), 2u);
        EXPECT_EQ(g->u.front(), 0.0f);
        EXPECT_EQ(g->u.back(), 1.0f);
        EXPECT_TRUE(std::is_sorted(g->u.begin(), g->u.end()));
        EXPECT_TRUE(std::adjacent_find(g->v.begin(), g->v.end()) == g->v.end());
        // Patch boundaries lie on grid lines while the spans are few against the steps.
        if (g->u.size() >= 2 * 11) {
            for (size_t k = 4; k + 4 < c.fine.knotsU.size() && c.fine.countU == 12; ++k) {
                EXPECT_TRUE(std::binary_search(g->u.begin(), g->u.end(), c.fine.knotsU[k]))
                    << "knot " << c.fine.knotsU[k];
            }
        }
        // Never more steps than the window holds, whatever the net or the zoom.
        EXPECT_LE(g->u.size(), density.stepsPerWindowPixel * 640.0f + 1.0f);
        EXPECT_LE(g->v.size(), density.stepsPerWindowPixel * 640.0f + 1.0f);
    }
    switch (c.expect) {
        case Expect::moreSteps:
            EXPECT_GT(fine.u.size(), coarse.u.size() * 3 / 2)
                << fine.u.size() << " against " << coarse.u.size();
            break;
        case Expect::firstHalf:
            EXPECT_GE(countBetween(fine.u, 0.0f, 0.5f), 2 * countBetween(fine.u, 0.5f, 1.01f));
            break;
        case Expect::aboutTheSame:
            EXPECT_LE(fine.u.size(), 1.5f * coarse.u.size());
            EXPECT_LE(fine.v.size(), 1.5f * coarse.v.size());
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(Views, GridDensityFollowsScreen, testing::ValuesIn(densityCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// Nothing to draw: no grid, no vertices, whatever the view.
TEST(GridDensityFollowsScreen, UnusableSurfacesGiveAnEmptyGrid) {
    SurfaceModel reversed = sheet(6, 5, straight);
    std::reverse(reversed.knotsU.begin(), reversed.knotsU.end());
    for (const SurfaceModel& s : {SurfaceModel(), reversed}) {
        const GridParameters p =
            chooseGridParameters(netSurfaceOf(s), flatView(100), GridDensity());
        EXPECT_TRUE(p.u.empty());
        SurfaceGrid grid;
        evaluateSurfaceGrid(netSurfaceOf(s), p, GridQuantity::curvature, grid);
        EXPECT_EQ(grid.columns * grid.rows, 0);
        EXPECT_TRUE(grid.positions.empty());
    }
}

}  // namespace

// A net point moved: evaluating again only the region its basis functions reach gives the
// grid a whole evaluation of the moved net gives, bit for bit, and the region is much smaller
// than the grid when the point is one of many.
struct MovedPointCase {
    const char* name;
    std::function<SurfaceModel()> make;
    int pointU, pointV;  // the point moved
    GridQuantity quantity;
    double mostShare;  // the region's share of the grid's vertices is at most this
};

void PrintTo(const MovedPointCase& c, std::ostream* out) {
    *out << c.name;
}

const MovedPointCase kMovedPoint[] = {
    {"corner_of_a_40x30_sheet", [] { return sheet(40, 30, straight, 0.5f); }, 0, 0,
     GridQuantity::normals, 0.05},
    {"middle_of_a_40x30_sheet", [] { return sheet(40, 30, straight, 0.5f); }, 20, 14,
     GridQuantity::curvature, 0.05},
    {"last_of_a_12x50_sheet", [] { return sheet(12, 50, straight); }, 11, 49, GridQuantity::points,
     0.15},
    {"rational_uneven", testsupport::rationalUnevenSurface, 2, 1, GridQuantity::curvature, 1.0},
    {"egg_pole", testsupport::revolvedEgg, 3, 0, GridQuantity::normals, 1.0},
};

class GridRegionOfMovedPoint : public testing::TestWithParam<MovedPointCase> {};

TEST_P(GridRegionOfMovedPoint, MatchesTheWholeGridOfTheMovedNet) {
    const MovedPointCase& c = GetParam();
    SurfaceModel surface = c.make();
    const GridParameters parameters =
        chooseGridParameters(netSurfaceOf(surface), flatView(150.0f), GridDensity());
    SurfaceGrid kept;
    evaluateSurfaceGrid(netSurfaceOf(surface), parameters, c.quantity, kept);
    PointH& P = surface.controlNet[static_cast<size_t>(c.pointV) * surface.countU + c.pointU];
    P = {P.x + 0.3f * P.w, P.y - 0.2f * P.w, P.z + 0.1f * P.w, P.w};
    const GridRegion region = gridRegionOfNetChange(netSurfaceOf(surface), parameters, c.pointU,
                                                    c.pointU, c.pointV, c.pointV);
    evaluateSurfaceGridRegion(netSurfaceOf(surface), parameters, c.quantity, region, kept);
    SurfaceGrid whole;
    evaluateSurfaceGrid(netSurfaceOf(surface), parameters, c.quantity, whole);
    EXPECT_EQ(kept.positions, whole.positions);
    EXPECT_EQ(kept.normals, whole.normals);
    EXPECT_EQ(kept.gaussian, whole.gaussian);
    EXPECT_EQ(kept.mean, whole.mean);
    EXPECT_EQ(kept.defined, whole.defined);
    const double share = static_cast<double>(region.endColumn - region.firstColumn) *
                         (region.endRow - region.firstRow) / (whole.columns * whole.rows);
    EXPECT_GT(share, 0.0);
    EXPECT_LE(share, c.mostShare);
}

INSTANTIATE_TEST_SUITE_P(Nets, GridRegionOfMovedPoint, testing::ValuesIn(kMovedPoint),
                         [](const auto& info) { return std::string(info.param.name); });
