// Half-models exported with their mirror image: the mesh halves join along the mirror plane
// (read back by Open CASCADE's STL reader and by ADMesh), and STEP and IGES carry the mirror
// image as a second face sewn to the first.
#include <gtest/gtest.h>
#include <BRepAdaptor_Curve.hxx>
#include <BRepAdaptor_Surface.hxx>
#include <BRepLProp_SLProps.hxx>
#include <BRep_Tool.hxx>
#include <Geom_Surface.hxx>
#include <IGESControl_Reader.hxx>
#include <RWStl.hxx>
#include <STEPControl_Reader.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_IndexedDataMapOfShapeListOfShape.hxx>
#include <TopoDS.hxx>

#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <sstream>
#include <string>

#include "exchange/export_checks.h"
#include "exchange/export_surface.h"
#include "model/knots.h"
#include "support/export_surfaces.h"
#include "support/scratch_files.h"

namespace {

using Corner = std::array<double, 3>;

// The starboard half of the sample hull: each section's three points of positive z and a keel
// point on z = 0 below the last, so that the keel line lies on the centre plane.
SurfaceModel halfHull() {
    const SurfaceModel hull = testsupport::exampleSurface("hull.surf");
    std::vector<PointH> net;
    for (int s = 0; s < hull.countV; ++s) {
        const PointH* P = sectionPoints(hull, s);
        for (int k = 0; k < 3; ++k) net.push_back(P[k]);
        net.push_back({P[2].x, P[2].y, 0.0f, P[2].w});
    }
    return testsupport::makeSurface(4, hull.countV, 4, hull.orderV, {0, 0, 0, 0, 1, 1, 1, 1},
                                    hull.knotsV, net);
}

// The half of the closed egg from angle 0 to pi about the y axis: its first and last rows lie
// on z = 0, so its mirror image closes it.
SurfaceModel halfEgg() {
    const SurfaceModel egg = testsupport::revolvedEgg();
    std::vector<PointH> net(egg.controlNet.begin(), egg.controlNet.begin() + 5 * egg.countU);
    for (int k = 0; k < egg.countU; ++k) {
        net[k].z = 0.0f;
        net[4 * egg.countU + k].z = 0.0f;
    }
    return testsupport::makeSurface(egg.countU, 5, egg.orderU, 3, egg.knotsU,
                                    {0, 0, 0, 0.25f, 0.25f, 0.5f, 0.5f, 0.5f}, net);
}

// The half hull moved by 0.5 along z, to be mirrored across z = 0.5.
SurfaceModel shiftedHalfHull() {
    SurfaceModel hull = halfHull();
    for (PointH& P : hull.controlNet) P.z += 0.5f * P.w;
    return hull;
}

struct MirrorCase {
    const char* name;
    std::function<SurfaceModel()> make;
    float plane;       // the mirror plane z = plane
    bool closesWhole;  // the joined mesh has no boundary at all
};

const MirrorCase kCases[] = {
    {"half_hull", halfHull, 0.0f, false},
    {"half_egg", halfEgg, 0.0f, true},
    {"half_hull_off_the_origin", shiftedHalfHull, 0.5f, false},
};

void PrintTo(const MirrorCase& c, std::ostream* out) {
    *out << c.name;
}

// Triangle corners of a binary STL as Open CASCADE's reader gives them back.
std::vector<std::array<Corner, 3>> readStlCorners(const std::string& path) {
    std::vector<std::array<Corner, 3>> out;
    const Handle(Poly_Triangulation) read = RWStl::ReadFile(path.c_str());
    if (read.IsNull()) return out;
    for (int t = 1; t <= read->NbTriangles(); ++t) {
        int k[3];
        read->Triangle(t).Get(k[0], k[1], k[2]);
        std::array<Corner, 3> corners;
        for (int c = 0; c < 3; ++c) {
            const gp_Pnt p = read->Node(k[c]);
            corners[c] = {p.X(), p.Y(), p.Z()};
        }
        out.push_back(corners);
    }
    return out;
}

// Triangle corners of an OBJ file, each vertex given as its index in the file (so corners that
// only share a position are not taken for one vertex): x is the index, y and z its y and z.
std::vector<std::array<Corner, 3>> readObjCorners(const std::string& path) {
    std::istringstream lines(testsupport::readAll(path));
    std::vector<Corner> vertices;
    std::vector<std::array<Corner, 3>> out;
    std::string kind;
    while (lines >> kind) {
        if (kind == "v") {
            double x, y, z;
            lines >> x >> y >> z;
            vertices.push_back({static_cast<double>(vertices.size()), y, z});
        } else if (kind == "f") {
            std::array<Corner, 3> corners;
            for (Corner& c : corners) {
                std::string word;
                lines >> word;
                const size_t k = std::stoul(word) - 1;
                c = k < vertices.size() ? vertices[k] : Corner{-1.0, 0.0, 0.0};
            }
            out.push_back(corners);
        } else {
            std::getline(lines, kind);
        }
    }
    return out;
}

// Edges used by one triangle only, keyed by their corners' coordinates: all of them, and those
// with both ends on the plane z = plane (within the weld the export joins by).
struct Boundary {
    size_t edges = 0;
    size_t onPlane = 0;
};

Boundary boundaryOf(const std::vector<std::array<Corner, 3>>& triangles, double plane,
                    double weld) {
    std::map<std::pair<Corner, Corner>, int> uses;
    for (const auto& t : triangles) {
        for (int k = 0; k < 3; ++k) {
            const Corner a = t[k], b = t[(k + 1) % 3];
            ++uses[a < b ? std::make_pair(a, b) : std::make_pair(b, a)];
        }
    }
    Boundary out;
    for (const auto& [edge, count] : uses) {
        if (count != 1) continue;
        ++out.edges;
        if (std::fabs(edge.first[2] - plane) <= weld && std::fabs(edge.second[2] - plane) <= weld) {
            ++out.onPlane;
        }
    }
    return out;
}

// ADMesh's report on a file, joining exactly matched edges only and checking that the facets
// around each edge face the same way.
std::string admeshReport(const std::string& path) {
    std::string out;
    FILE* pipe = popen(("admesh --exact --normal-directions " + path + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return out;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
    pclose(pipe);
    return out;
}

// The first number after label in an ADMesh report, or -1.
double admeshValue(const std::string& report, const std::string& label) {
    const size_t at = report.find(label);
    if (at == std::string::npos) return -1.0;
    const size_t colon = report.find(':', at);
    return colon == std::string::npos ? -1.0 : std::atof(report.c_str() + colon + 1);
}

// The face's point and normal (turned with the face's orientation) at (u, v).
std::pair<gp_Pnt, gp_Dir> pointAndNormal(const TopoDS_Face& face, double u, double v) {
    BRepLProp_SLProps props(BRepAdaptor_Surface(face), u, v, 1, 1e-9);
    const gp_Dir n = props.IsNormalDefined() ? props.Normal() : gp_Dir(0, 0, 1);
    return {props.Value(), face.Orientation() == TopAbs_REVERSED ? n.Reversed() : n};
}

// Edges of one face only (collapsed ones left out): all, and those whose middle is on z = plane.
std::pair<int, int> freeEdges(const TopoDS_Shape& shape, double plane) {
    TopTools_IndexedDataMapOfShapeListOfShape edgeFaces;
    TopExp::MapShapesAndAncestors(shape, TopAbs_EDGE, TopAbs_FACE, edgeFaces);
    std::pair<int, int> free = {0, 0};
    for (int i = 1; i <= edgeFaces.Extent(); ++i) {
        const TopoDS_Edge& edge = TopoDS::Edge(edgeFaces.FindKey(i));
        if (BRep_Tool::Degenerated(edge) || edgeFaces(i).Extent() != 1) continue;
        BRepAdaptor_Curve curve(edge);
        ++free.first;
        free.second +=
            std::fabs(curve.Value(curve.FirstParameter() * 0.5 + curve.LastParameter() * 0.5).Z() -
                      plane) < 1e-6;
    }
    return free;
}

class MirrorExport : public testing::TestWithParam<MirrorCase> {
protected:
    void SetUp() override {
        surface = GetParam().make();
        std::string error;
        ASSERT_TRUE(checkExportable(surface, error)) << error;
    }
    // Exports to name.extension, with the mirror image or without.
    std::string exportTo(const std::string& extension, bool mirrored) {
        const std::string path = testsupport::scratchDir() + "/" + GetParam().name +
                                 (mirrored ? "_whole." : "_half.") + extension;
        ExportReport report;
        std::string message;
        const MirrorPlane plane = {2, GetParam().plane};
        EXPECT_TRUE(exportSurface(path, surface, std::nullopt, report, message,
                                  mirrored ? &plane : nullptr))
            << message;
        return path;
    }
    SurfaceModel surface;
};

// The half alone is open along the plane; with its mirror image no edge along the plane is left
// open, and a half that closes with its image gives a closed mesh.
TEST_P(MirrorExport, MeshHasNoBoundaryAlongThePlane) {
    const double weld = defaultTolerance(surface) / 20.0;
    const Boundary half =
        boundaryOf(readStlCorners(exportTo("stl", false)), GetParam().plane, weld);
    EXPECT_GT(half.onPlane, 0u) << "the half should be open along the plane";
    const auto whole = readStlCorners(exportTo("stl", true));
    ASSERT_FALSE(whole.empty());
    const Boundary joined = boundaryOf(whole, GetParam().plane, weld);
    EXPECT_EQ(joined.onPlane, 0u);
    if (GetParam().closesWhole) {
        EXPECT_EQ(joined.edges, 0u);
    }
    // The OBJ names the vertices the halves share.
    const Boundary obj = boundaryOf(readObjCorners(exportTo("obj", true)), GetParam().plane, weld);
    EXPECT_EQ(obj.onPlane, 0u);
    if (GetParam().closesWhole) {
        EXPECT_EQ(obj.edges, 0u);
    }
}

// ADMesh, matching edges exactly, finds the two halves one part facing one way, and a closed
// whole with no open edge and a positive volume.
TEST_P(MirrorExport, AdmeshReadsOnePart) {
    const std::string report = admeshReport(exportTo("stl", true));
    ASSERT_NE(report.find("Number of parts"), std::string::npos) << report;
    EXPECT_EQ(admeshValue(report, "Number of parts"), 1.0) << report;
    EXPECT_EQ(admeshValue(report, "Facets reversed"), 0.0) << report;
    if (GetParam().closesWhole) {
        EXPECT_EQ(admeshValue(report, "Facets with 1 disconnected edge"), 0.0) << report;
        EXPECT_GT(admeshValue(report, "Volume"), 0.0) << report;
    }
    const std::string half = admeshReport(exportTo("stl", false));
    EXPECT_GT(admeshValue(half, "Facets with 1 disconnected edge"), 0.0) << half;
}

// STEP and IGES hold one shell: the half and its mirror image (u running the other way), point
// for point, sewn along the plane and facing one side (normals at mirror-image points are
// mirror images); a half that closes with its image leaves no free edge.
TEST_P(MirrorExport, ExactFormatsCarryTheMirrorImage) {
    for (const bool step : {true, false}) {
        const std::string path = exportTo(step ? "step" : "igs", true);
        TopoDS_Shape shape;
        if (step) {
            STEPControl_Reader reader;
            ASSERT_EQ(reader.ReadFile(path.c_str()), IFSelect_RetDone);
            reader.TransferRoots();
            shape = reader.OneShape();
        } else {
            IGESControl_Reader reader;
            ASSERT_EQ(reader.ReadFile(path.c_str()), IFSelect_RetDone);
            reader.TransferRoots();
            shape = reader.OneShape();
        }
        EXPECT_EQ(shape.ShapeType(), TopAbs_SHELL) << path;
        std::vector<TopoDS_Face> faces;
        for (TopExp_Explorer e(shape, TopAbs_FACE); e.More(); e.Next()) {
            faces.push_back(TopoDS::Face(e.Current()));
        }
        ASSERT_EQ(faces.size(), 2u) << path;
        const auto free = freeEdges(shape, GetParam().plane);
        EXPECT_EQ(free.second, 0) << path;  // none along the plane
        if (GetParam().closesWhole) EXPECT_EQ(free.first, 0) << path;
        const double size = controlBoxDiagonal(surface);
        float x = 0.0f, y = 0.0f, z = 0.0f;
        ASSERT_TRUE(evaluateSurfacePoint(surface, x, y, z, 0.5f, 0.5f));
        if (pointAndNormal(faces[0], 0.5, 0.5).first.Distance(gp_Pnt(x, y, z)) > 1e-6 * size) {
            std::swap(faces[0], faces[1]);
        }
        for (const float u : {0.0f, 0.3f, 0.75f, 1.0f}) {
            for (const float v : {0.0f, 0.5f, 1.0f}) {
                ASSERT_TRUE(evaluateSurfacePoint(surface, x, y, z, u, v));
                const auto [a, n] = pointAndNormal(faces[0], u, v);
                const auto [b, m] = pointAndNormal(faces[1], 1.0 - u, v);
                EXPECT_NEAR(a.Distance(gp_Pnt(x, y, z)), 0.0, 1e-6 * size);
                EXPECT_NEAR(b.Distance(gp_Pnt(x, y, 2.0 * GetParam().plane - z)), 0.0, 1e-6 * size);
                if (u > 0.0f && u < 1.0f) EXPECT_GT(m.Dot(gp_Dir(n.X(), n.Y(), -n.Z())), 0.999);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(HalfModels, MirrorExport, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<MirrorCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
