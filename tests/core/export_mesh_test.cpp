// Meshes of surfaces within a tolerance: their vertices on the surface, the surface inside every
// triangle near it, seams and poles closed, and the STL and OBJ files carrying that mesh.
#include <gtest/gtest.h>
#include <RWStl.hxx>

#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <utility>

#include "exchange/export_checks.h"
#include "exchange/export_surface.h"
#include "exchange/mesh_files.h"
#include "exchange/surface_mesh.h"
#include "model/knots.h"
#include "support/export_surfaces.h"
#include "support/scratch_files.h"

namespace {

enum class Openings { open, onlyEnds, none };  // which boundary edges the mesh may have

struct MeshCase {
    const char* name;
    std::function<SurfaceModel()> make;
    double toleranceShare;  // of the control box's diagonal
    Openings openings;
};

void PrintTo(const MeshCase& c, std::ostream* out) {
    *out << c.name;
}

const MeshCase kCases[] = {
    {"rational_uneven_knots", testsupport::rationalUnevenSurface, 1e-3, Openings::open},
    {"rational_coarse", testsupport::rationalUnevenSurface, 2e-2, Openings::open},
    {"unclamped_knots", testsupport::unclampedSurface, 1e-3, Openings::open},
    {"skinned", testsupport::skinnedSurface, 5e-4, Openings::open},
    {"hull", [] { return testsupport::exampleSurface("hull.surf"); }, 1e-3, Openings::open},
    {"vase", [] { return testsupport::exampleSurface("vase.surf"); }, 1e-3, Openings::onlyEnds},
    {"vase_coarse", [] { return testsupport::exampleSurface("vase.surf"); }, 1e-2,
     Openings::onlyEnds},
    {"capped_vase", testsupport::cappedVase, 1e-3, Openings::none},
    {"revolved_egg", testsupport::revolvedEgg, 1e-3, Openings::none},
    {"revolved_egg_coarse", testsupport::revolvedEgg, 3e-2, Openings::none},
    // Tolerances past the surface's size still give the surface's shape: such a mesh once
    // welded every boundary vertex into one and kept no triangle.
    {"vase_past_its_size", [] { return testsupport::exampleSurface("vase.surf"); }, 10.0,
     Openings::onlyEnds},
    {"revolved_egg_past_its_size", testsupport::revolvedEgg, 1e6, Openings::none},
    // The mesh once had no triangle: the end of the range lay on an empty span.
    {"range_ending_on_a_full_knot", testsupport::rangeEndingOnAFullKnot, 1e-3, Openings::open},
    {"ring_in_the_plane_x0", testsupport::ringInPlaneX0, 1e-3, Openings::open},
};

struct Vec {
    double x, y, z;
};
Vec operator-(Vec a, Vec b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
double norm(Vec a) {
    return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
}

Vec surfaceAt(const SurfaceModel& s, double u, double v) {
    float x = NAN, y = NAN, z = NAN;
    EXPECT_TRUE(evaluateSurfacePoint(s, x, y, z, static_cast<float>(u), static_cast<float>(v)));
    return {x, y, z};
}

class MeshExport : public testing::TestWithParam<MeshCase> {
protected:
    void SetUp() override {
        surface = GetParam().make();
        ASSERT_TRUE(surfaceIsUsable(surface));
        tolerance = GetParam().toleranceShare * controlBoxDiagonal(surface);
        std::string error;
        ASSERT_TRUE(meshSurface(surface, tolerance, mesh, error)) << error;
        ASSERT_GT(mesh.triangleCount(), 0u);
        ASSERT_EQ(mesh.cornerParameters.size(), 6 * mesh.triangleCount());
    }
    Vec corner(size_t t, int k) const {
        const float* p = &mesh.positions[3 * mesh.triangles[3 * t + k]];
        return {p[0], p[1], p[2]};
    }

    SurfaceModel surface;
    double tolerance = 0.0;
    SurfaceMesh mesh;
};

// The surface at the corners, the centre, the edge midpoints and a few more points of every
// triangle lies within the tolerance of the triangle's point at the same barycentric
// coordinates, so within the tolerance of the mesh, and that mesh point within the tolerance of
// the surface.
TEST_P(MeshExport, FollowsTheSurfaceWithinTheTolerance) {
    const double barycentric[][3] = {
        {1, 0, 0},       {0, 1, 0},       {0, 0, 1},        {1. / 3, 1. / 3, 1. / 3},
        {0.5, 0.5, 0},   {0, 0.5, 0.5},   {0.5, 0, 0.5},    {0.7, 0.2, 0.1},
        {0.1, 0.6, 0.3}, {0.2, 0.1, 0.7}, {0.45, 0.45, 0.1}};
    double worst = 0.0;
    for (size_t t = 0; t < mesh.triangleCount(); ++t) {
        const float* uv = &mesh.cornerParameters[6 * t];
        for (const auto& b : barycentric) {
            const double u = b[0] * uv[0] + b[1] * uv[2] + b[2] * uv[4];
            const double v = b[0] * uv[1] + b[1] * uv[3] + b[2] * uv[5];
            const Vec a = corner(t, 0), c1 = corner(t, 1), c2 = corner(t, 2);
            const Vec onMesh = {b[0] * a.x + b[1] * c1.x + b[2] * c2.x,
                                b[0] * a.y + b[1] * c1.y + b[2] * c2.y,
                                b[0] * a.z + b[1] * c1.z + b[2] * c2.z};
            worst = std::max(worst, norm(surfaceAt(surface, u, v) - onMesh));
        }
    }
    EXPECT_LE(worst, tolerance);
}

// Every undirected edge, with how often each of its two directions is used.
std::map<std::pair<uint32_t, uint32_t>, std::pair<int, int>> edgeUses(const SurfaceMesh& mesh) {
    std::map<std::pair<uint32_t, uint32_t>, std::pair<int, int>> uses;
    for (size_t t = 0; t < mesh.triangleCount(); ++t) {
        for (int k = 0; k < 3; ++k) {
            const uint32_t a = mesh.triangles[3 * t + k], b = mesh.triangles[3 * t + (k + 1) % 3];
            auto& use = uses[{std::min(a, b), std::max(a, b)}];
            (a < b ? use.first : use.second) += 1;
        }
    }
    return uses;
}

// Seams share their vertices and poles leave no sliver: the only boundary edges are the
// surface's real openings, every other edge joins two triangles that agree on their orientation,
// no triangle is degenerate, and a closed mesh faces outwards.
TEST_P(MeshExport, IsClosedExceptAtItsOpenings) {
    const float v0 = surface.knotsV[surface.orderV - 1], v1 = surface.knotsV[surface.countV];
    std::map<uint32_t, float> vertexV;  // v of each vertex, from the triangles' corners
    for (size_t k = 0; k < mesh.triangles.size(); ++k) {
        vertexV[mesh.triangles[k]] = mesh.cornerParameters[2 * k + 1];
    }
    size_t boundary = 0;
    for (const auto& [edge, use] : edgeUses(mesh)) {
        if (use.first + use.second == 2) {
            EXPECT_EQ(use.first, 1) << "two triangles disagree on their orientation";
            continue;
        }
        ASSERT_EQ(use.first + use.second, 1) << "an edge of more than two triangles";
        ++boundary;
        if (GetParam().openings == Openings::onlyEnds) {
            for (uint32_t k : {edge.first, edge.second}) {
                EXPECT_TRUE(vertexV[k] == v0 || vertexV[k] == v1)
                    << "boundary edge inside the surface at v = " << vertexV[k];
            }
        }
    }
    if (GetParam().openings == Openings::none) {
        EXPECT_EQ(boundary, 0u);
        double volume = 0.0;  // positive when the triangles face outwards
        for (size_t t = 0; t < mesh.triangleCount(); ++t) {
            const Vec a = corner(t, 0), b = corner(t, 1), c = corner(t, 2);
            volume += a.x * (b.y * c.z - b.z * c.y) + a.y * (b.z * c.x - b.x * c.z) +
                      a.z * (b.x * c.y - b.y * c.x);
        }
        EXPECT_GT(volume, 0.0);
    } else {
        EXPECT_GT(boundary, 0u);
    }
    for (size_t t = 0; t < mesh.triangleCount(); ++t) {
        const Vec a = corner(t, 0), b = corner(t, 1), c = corner(t, 2);
        const Vec e = b - a, f = c - a;
        const Vec n = {e.y * f.z - e.z * f.y, e.z * f.x - e.x * f.z, e.x * f.y - e.y * f.x};
        EXPECT_GT(norm(n), 0.0) << "degenerate triangle " << t;
    }
}

// The binary STL read by Open CASCADE's reader holds the mesh's triangles, corner for corner.
TEST_P(MeshExport, StlReadsBackAsTheMesh) {
    const std::string path = testsupport::scratchDir() + "/" + GetParam().name + ".stl";
    std::string data;
    formatStl(mesh, data);
    testsupport::writeText(path, data);
    ASSERT_EQ(data.size(), 84 + 50 * mesh.triangleCount());
    const Handle(Poly_Triangulation) read = RWStl::ReadFile(path.c_str());
    ASSERT_FALSE(read.IsNull());
    ASSERT_EQ(static_cast<size_t>(read->NbTriangles()), mesh.triangleCount());
    for (int t = 1; t <= read->NbTriangles(); ++t) {
        int k[3];
        read->Triangle(t).Get(k[0], k[1], k[2]);
        for (int c = 0; c < 3; ++c) {
            const gp_Pnt p = read->Node(k[c]);
            const Vec expected = corner(static_cast<size_t>(t - 1), c);
            EXPECT_EQ(norm(Vec{p.X(), p.Y(), p.Z()} - expected), 0.0);
        }
    }
}

// The OBJ's vertices, normals and faces are the mesh's, the numbers read back exactly.
TEST_P(MeshExport, ObjReadsBackAsTheMesh) {
    std::string data;
    formatObj(mesh, data);
    std::istringstream lines(data);
    std::vector<float> positions, normals;
    std::vector<uint32_t> triangles;
    std::string kind;
    while (lines >> kind) {
        if (kind == "#") {
            std::getline(lines, kind);
        } else if (kind == "v" || kind == "vn") {
            std::vector<float>& out = kind == "v" ? positions : normals;
            for (int k = 0; k < 3; ++k) {
                std::string number;
                lines >> number;
                out.push_back(std::strtof(number.c_str(), nullptr));
            }
        } else {
            ASSERT_EQ(kind, "f");
            for (int k = 0; k < 3; ++k) {
                std::string corner;
                lines >> corner;
                const size_t slashes = corner.find("//");
                ASSERT_NE(slashes, std::string::npos);
                // A corner on a crease names its side's normal, listed after the vertices' own.
                const size_t at = triangles.size();
                const uint32_t side =
                    mesh.cornerNormals.empty() ? kVertexNormal : mesh.cornerNormals[at];
                const uint32_t vertex = static_cast<uint32_t>(std::stoul(corner));
                EXPECT_EQ(std::stoul(corner.substr(slashes + 2)),
                          side == kVertexNormal ? vertex : mesh.vertexCount() + side + 1);
                triangles.push_back(vertex - 1);
            }
        }
    }
    EXPECT_EQ(positions, mesh.positions);
    EXPECT_EQ(triangles, mesh.triangles);
    ASSERT_EQ(normals.size(), positions.size() + mesh.sideNormals.size());
    for (size_t k = 0; k < normals.size(); k += 3) {
        EXPECT_NEAR(norm(Vec{normals[k], normals[k + 1], normals[k + 2]}), 1.0, 1e-6);
    }
}

INSTANTIATE_TEST_SUITE_P(Surfaces, MeshExport, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<MeshCase>& info) {
                             return std::string(info.param.name);
                         });

// The ring's seam is welded though every boundary vertex shares x = 0 (the weld once compared
// every pair of such vertices): its only boundary edges run along the inner and outer circles.
TEST(MeshSurface, WeldsTheSeamOfARingInAPlane) {
    SurfaceMesh mesh;
    std::string error;
    const SurfaceModel ring = testsupport::ringInPlaneX0();
    ASSERT_TRUE(meshSurface(ring, 1e-3, mesh, error)) << error;
    size_t boundary = 0;
    for (const auto& [edge, use] : edgeUses(mesh)) {
        if (use.first + use.second != 1) continue;
        ++boundary;
        for (uint32_t k : {edge.first, edge.second}) {
            const float* p = &mesh.positions[3 * k];
            EXPECT_EQ(p[0], 0.0f);
            const double radius = std::hypot(p[1], p[2]);
            EXPECT_LT(std::min(std::fabs(radius - 1.0), std::fabs(radius - 2.0)), 1e-5) << radius;
        }
    }
    EXPECT_GT(boundary, 0u);
}

// A net whose distinct knots alone pass the vertex cap says so, whatever the tolerance: a
// tolerance of 1e30 was called "too fine".
TEST(MeshSurface, NamesTheKnotGridWhenItPassesTheVertexCap) {
    const int count = 1500;  // degree 1: 1500 x 1500 knot lines, past 2^21 vertices
    std::vector<float> U(count + 2);
    for (int i = 0; i < count; ++i) U[i + 1] = static_cast<float>(i) / (count - 1);
    U[count + 1] = 1.0f;
    const SurfaceModel s = testsupport::makeSurface(
        count, count, 2, 2, U, U,
        std::vector<PointH>(static_cast<size_t>(count) * count, PointH{0, 0, 0, 1}));
    SurfaceMesh mesh;
    std::string error;
    EXPECT_FALSE(meshSurface(s, 1e30, mesh, error));
    EXPECT_NE(error.find("distinct knots alone make a grid of 1500 x 1500"), std::string::npos)
        << error;
    EXPECT_EQ(error.find("too fine"), std::string::npos) << error;
}

// A tolerance finer than single precision can follow is refused, not looped on or allocated for.
TEST(MeshSurface, RefusesAToleranceBeyondSinglePrecision) {
    const SurfaceModel surface = testsupport::rationalUnevenSurface();
    SurfaceMesh mesh;
    std::string error;
    EXPECT_FALSE(meshSurface(surface, 1e-12, mesh, error));
    EXPECT_NE(error.find("single precision"), std::string::npos) << error;
}

}  // namespace
