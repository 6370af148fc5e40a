// Export of a 200 x 200 surface to STEP, IGES, STL and OBJ, of a long strip in a plane to STL,
// and Loftwork's mesher side by side with Open CASCADE's BRepMesh_IncrementalMesh at the same
// guaranteed deviation: triangles and time for each.
//
// The deviation is measured the same way for both meshes: at the corners, centre, edge midpoints
// and four more points of every triangle's parameters, the distance of the surface point from
// the triangle. OCCT's deflection is a target, not a bound, so it is lowered until that measure
// keeps the tolerance. (Loftwork's mesher holds itself to a stricter measure: the distance to
// the triangle's point at the same barycentric coordinates.)
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <BRepMesh_IncrementalMesh.hxx>
#include <BRepTools.hxx>
#include <BRep_Tool.hxx>
#include <Poly_Triangulation.hxx>

#include <cmath>
#include <cstdio>
#include <string>

#include "exchange/export_checks.h"
#include "exchange/export_surface.h"
#include "exchange/occt_surface.h"
#include "exchange/surface_mesh.h"
#include "model/knots.h"

#include "wavy_sheet.h"

namespace {

constexpr int kCount = 200;

SurfaceModel largeSurface() { return wavySheet(kCount); }

const SurfaceModel& surface() {
    static const SurfaceModel s = largeSurface();
    return s;
}

double tolerance() {
    return defaultTolerance(surface());
}

struct P3 {
    double x, y, z;
};
P3 operator-(P3 a, P3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
P3 operator+(P3 a, P3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
P3 operator*(double k, P3 a) {
    return {k * a.x, k * a.y, k * a.z};
}
double dot(P3 a, P3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// Distance of p from the triangle abc (Ericson, Real-Time Collision Detection, 5.1.5).
double distanceToTriangle(P3 p, P3 a, P3 b, P3 c) {
    const P3 ab = b - a, ac = c - a, ap = p - a;
    auto from = [&](P3 q) { return std::sqrt(dot(p - q, p - q)); };
    const double d1 = dot(ab, ap), d2 = dot(ac, ap);
    if (d1 <= 0 && d2 <= 0) return from(a);
    const P3 bp = p - b;
    const double d3 = dot(ab, bp), d4 = dot(ac, bp);
    if (d3 >= 0 && d4 <= d3) return from(b);
    const double vc = d1 * d4 - d3 * d2;
    if (vc <= 0 && d1 >= 0 && d3 <= 0) return from(a + (d1 / (d1 - d3)) * ab);
    const P3 cp = p - c;
    const double d5 = dot(ab, cp), d6 = dot(ac, cp);
    if (d6 >= 0 && d5 <= d6) return from(c);
    const double vb = d5 * d2 - d1 * d6;
    if (vb <= 0 && d2 >= 0 && d6 <= 0) return from(a + (d2 / (d2 - d6)) * ac);
    const double va = d3 * d6 - d5 * d4;
    if (va <= 0 && d4 - d3 >= 0 && d5 - d6 >= 0) {
        return from(b + ((d4 - d3) / ((d4 - d3) + (d5 - d6))) * (c - b));
    }
    const double denominator = 1.0 / (va + vb + vc);
    return from(a + (vb * denominator) * ab + (vc * denominator) * ac);
}

// The largest distance of the surface from a triangle, over the sample points of every
// triangle's parameters; corner parameters uv (u, v per corner) and positions p.
template <typename CornerParameters, typename CornerPoint>
double measuredDeviation(size_t triangles, CornerParameters uv, CornerPoint p) {
    const double barycentric[][3] = {
        {1, 0, 0},       {0, 1, 0},       {0, 0, 1},        {1. / 3, 1. / 3, 1. / 3},
        {0.5, 0.5, 0},   {0, 0.5, 0.5},   {0.5, 0, 0.5},    {0.7, 0.2, 0.1},
        {0.1, 0.6, 0.3}, {0.2, 0.1, 0.7}, {0.45, 0.45, 0.1}};
    double worst = 0.0;
    for (size_t t = 0; t < triangles; ++t) {
        double u[3], v[3], x[3][3];
        for (int k = 0; k < 3; ++k) {
            uv(t, k, u[k], v[k]);
            p(t, k, x[k]);
        }
        for (const auto& b : barycentric) {
            float sx, sy, sz;
            evaluateSurfacePoint(surface(), sx, sy, sz,
                                 static_cast<float>(b[0] * u[0] + b[1] * u[1] + b[2] * u[2]),
                                 static_cast<float>(b[0] * v[0] + b[1] * v[1] + b[2] * v[2]));
            const double d =
                distanceToTriangle({sx, sy, sz}, {x[0][0], x[0][1], x[0][2]},
                                   {x[1][0], x[1][1], x[1][2]}, {x[2][0], x[2][1], x[2][2]});
            worst = std::max(worst, d);
        }
    }
    return worst;
}

double deviationOf(const SurfaceMesh& mesh) {
    return measuredDeviation(
        mesh.triangleCount(),
        [&](size_t t, int k, double& u, double& v) {
            u = mesh.cornerParameters[6 * t + 2 * k];
            v = mesh.cornerParameters[6 * t + 2 * k + 1];
        },
        [&](size_t t, int k, double* x) {
            const float* p = &mesh.positions[3 * mesh.triangles[3 * t + k]];
            for (int c = 0; c < 3; ++c) x[c] = p[c];
        });
}

struct OcctMesh {
    TopoDS_Face face;
    double deflection = 0.0;
    double angle = 0.0;
    size_t triangles = 0;
    double deviation = 0.0;
};

// Meshes face afresh with OCCT and measures the result.
void occtMesh(OcctMesh& m) {
    BRepTools::Clean(m.face);
    BRepMesh_IncrementalMesh(m.face, m.deflection, false, m.angle, false);
    TopLoc_Location location;
    const Handle(Poly_Triangulation) mesh = BRep_Tool::Triangulation(m.face, location);
    m.triangles = static_cast<size_t>(mesh->NbTriangles());
    m.deviation = measuredDeviation(
        m.triangles,
        [&](size_t t, int k, double& u, double& v) {
            int n[3];
            mesh->Triangle(static_cast<int>(t) + 1).Get(n[0], n[1], n[2]);
            const gp_Pnt2d uv = mesh->UVNode(n[k]);
            u = uv.X();
            v = uv.Y();
        },
        [&](size_t t, int k, double* x) {
            int n[3];
            mesh->Triangle(static_cast<int>(t) + 1).Get(n[0], n[1], n[2]);
            const gp_Pnt p = mesh->Node(n[k]);
            x[0] = p.X(), x[1] = p.Y(), x[2] = p.Z();
        });
}

// OCCT's face meshed with the largest deflection (within 5 %, by bisection) whose mesh keeps
// the tolerance, for the angular deflection given.
OcctMesh occtAtTolerance(double angle) {
    std::string error;
    OcctMesh m;
    m.face = makeOcctFace(makeOcctSurface(surface(), error), error);
    m.angle = angle;
    double keeps = 0.0, breaks = 0.0;  // deflections known to keep or break the tolerance
    // From the tolerance, doubling while the tolerance is kept, halving while it is not.
    for (m.deflection = tolerance(); keeps == 0.0 || breaks == 0.0;) {
        occtMesh(m);
        (m.deviation <= tolerance() ? keeps : breaks) = m.deflection;
        if (keeps != 0.0 && breaks == 0.0 && m.deflection > 16 * tolerance()) break;
        m.deflection *= breaks == 0.0 ? 2.0 : 0.5;
    }
    while (breaks != 0.0 && breaks - keeps > 0.05 * keeps) {
        m.deflection = 0.5 * (keeps + breaks);
        occtMesh(m);
        (m.deviation <= tolerance() ? keeps : breaks) = m.deflection;
    }
    m.deflection = keeps;
    occtMesh(m);
    return m;
}

void report(benchmark::State& state, size_t triangles, double deviation) {
    state.counters["triangles"] = static_cast<double>(triangles);
    state.counters["deviation/tol"] = deviation / tolerance();
}

void LoftworkMesher(benchmark::State& state) {
    SurfaceMesh mesh;
    std::string error;
    for (auto _ : state) {
        if (!meshSurface(surface(), tolerance(), mesh, error)) state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(mesh.triangles.data());
    }
    report(state, mesh.triangleCount(), deviationOf(mesh));
}
BENCHMARK(LoftworkMesher)->Unit(benchmark::kMillisecond);

// OCCT with its default angular deflection (0.5 rad) and with the angle left free (a right
// angle), so that only the deflection decides.
void OcctMesher(benchmark::State& state) {
    OcctMesh m = occtAtTolerance(state.range(0) == 0 ? 0.5 : M_PI / 2);
    for (auto _ : state) occtMesh(m);
    report(state, m.triangles, m.deviation);
    state.counters["deflection/tol"] = m.deflection / tolerance();
}
BENCHMARK(OcctMesher)->Arg(0)->Arg(1)->ArgName("free_angle")->Unit(benchmark::kMillisecond);

// The whole export, checks, meshing, formatting and the atomic write, to each format.
void Export(benchmark::State& state) {
    const char* extensions[] = {"step", "igs", "stl", "obj"};
    const char* tmp = getenv("TMPDIR");
    const std::string path = std::string(tmp ? tmp : "/tmp") + "/loftwork-export-bench-" +
                             std::to_string(getpid()) + "." + extensions[state.range(0)];
    ExportReport result;
    std::string message;
    for (auto _ : state) {
        if (!exportSurface(path, surface(), std::nullopt, result, message)) {
            state.SkipWithError(message.c_str());
        }
    }
    FILE* file = fopen(path.c_str(), "rb");
    if (file != nullptr) {
        fseek(file, 0, SEEK_END);
        state.counters["bytes"] = static_cast<double>(ftell(file));
        fclose(file);
    }
    if (!result.exact) state.counters["triangles"] = static_cast<double>(result.triangles);
    state.SetLabel(exportFormatName(result.format));
    remove(path.c_str());
}
BENCHMARK(Export)->DenseRange(0, 3)->ArgName("format")->Unit(benchmark::kMillisecond);

// A strip of 2 sections of 50,000 points each, a spiral of 400 turns lying in the plane x = 0
// (or, for comparison, in z = 0), degree 3 along it, exported as STL: every boundary vertex of
// the mesh shares one x, which made the boundary weld compare each pair of them.
SurfaceModel strip(bool inPlaneX0) {
    constexpr int kPoints = 50000;
    SurfaceModel s;
    s.countU = kPoints;
    s.countV = 2;
    s.orderU = 4;
    s.orderV = 2;
    s.knotCountU = kPoints + 4;
    s.knotCountV = 4;
    s.knotsU.resize(kPoints + 4);
    fillUniformKnots(s.knotsU.data(), kPoints + 4, 4);
    s.knotsV = {0, 0, 1, 1};
    for (int v = 0; v < 2; ++v) {
        for (int u = 0; u < kPoints; ++u) {
            const float a = 1.0f + v * 1.0f, t = 0.05f * u;
            const float p = a * std::cos(t), q = a * std::sin(t);
            s.controlNet.push_back(inPlaneX0 ? PointH{0.0f, p, q, 1.0f} : PointH{p, q, 0.0f, 1.0f});
        }
    }
    return s;
}

void StripExport(benchmark::State& state) {
    const SurfaceModel s = strip(state.range(0) == 1);
    const char* tmp = getenv("TMPDIR");
    const std::string path = std::string(tmp ? tmp : "/tmp") + "/loftwork-strip-bench-" +
                             std::to_string(getpid()) + ".stl";
    ExportReport result;
    std::string message;
    for (auto _ : state) {
        if (!exportSurface(path, s, std::nullopt, result, message)) {
            state.SkipWithError(message.c_str());
        }
    }
    state.counters["triangles"] = static_cast<double>(result.triangles);
    remove(path.c_str());
}
BENCHMARK(StripExport)->Arg(0)->Arg(1)->ArgName("in_plane_x0")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
