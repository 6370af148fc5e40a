// Surfaces that close on themselves (a surface of revolution, the sample bottle, closed lofts)
// read back from STEP and IGES by Open CASCADE as faces with a seam edge and no free edge along
// it, still the same surface.
#include <gtest/gtest.h>
#include <BRepAdaptor_Surface.hxx>
#include <BRep_Tool.hxx>
#include <IGESControl_Reader.hxx>
#include <STEPControl_Reader.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_IndexedDataMapOfShapeListOfShape.hxx>
#include <TopoDS.hxx>

#include <cmath>
#include <functional>
#include <string>

#include "exchange/export_checks.h"
#include "exchange/export_surface.h"
#include "model/knots.h"
#include "support/export_surfaces.h"
#include "support/scratch_files.h"

namespace {

// Sections of a ring about the y axis: each a circle of radius 0.5 (nine rational points, a full
// turn) or its upper half (five points), centred at distance 3 and widening from one section to
// the next, lofted closed across the sections.
SurfaceModel closedLoft(bool fullCircles) {
    const int countU = fullCircles ? 9 : 5, countV = 6;
    const float cx[9] = {1, 1, 0, -1, -1, -1, 0, 1, 1}, cy[9] = {0, 1, 1, 1, 0, -1, -1, -1, 0};
    std::vector<float> U = fullCircles
                               ? std::vector<float>{0, 0, 0, 0.25f, 0.25f, 0.5f, 0.5f, 0.75f,
                                                    0.75f, 1, 1, 1}
                               : std::vector<float>{0, 0, 0, 0.5f, 0.5f, 1, 1, 1};
    std::vector<float> V;
    for (int i = 0; i < countV + 4; ++i) V.push_back(i < 4 ? 0.0f : i >= countV ? 1.0f : (i - 3.0f) / 3);
    std::vector<PointH> net;
    for (int j = 0; j < countV; ++j) {
        const float angle = 6.2831853f * j / countV;
        for (int i = 0; i < countU; ++i) {
            const float w = i % 2 ? std::sqrt(0.5f) : 1.0f;
            const float r = 3.0f + 0.5f * cx[i] * (1.0f + 0.2f * j), y = 0.5f * cy[i];
            net.push_back({r * std::cos(angle) * w, y * w, r * std::sin(angle) * w, w});
        }
    }
    const SurfaceModel sections = testsupport::makeSurface(countU, countV, 3, 4, U, V, net);
    DerivedNets derived;
    std::string refusal;
    EXPECT_TRUE(skinSurface(sections, LoftOptions(LoftParameters::chord, true), derived, refusal))
        << refusal;
    SurfaceModel skinned;
    return surfaceToSave(sections, true, derived, skinned);
}

struct SeamCase {
    const char* name;
    std::function<SurfaceModel()> make;
    int seams;      // seam edges of the face
    int freeEdges;  // edges of one face only, seams and collapsed edges (poles) left out
};

void PrintTo(const SeamCase& c, std::ostream* out) {
    *out << c.name;
}

const SeamCase kCases[] = {
    {"revolved_goblet", testsupport::revolvedGoblet, 1, 1},  // the rim; the bottom is a pole
    {"revolved_egg", testsupport::revolvedEgg, 1, 0},
    {"sample_bottle", [] { return testsupport::exampleSurface("bottle.surf"); }, 1, 1},  // its neck
    {"closed_loft_of_half_circles", [] { return closedLoft(false); }, 1, 2},
    {"closed_loft_of_circles", [] { return closedLoft(true); }, 2, 0},
};

class ClosedExport : public testing::TestWithParam<std::tuple<SeamCase, const char*>> {};

TEST_P(ClosedExport, ReadsBackWithASeam) {
    const SeamCase& c = std::get<0>(GetParam());
    const std::string extension = std::get<1>(GetParam());
    const SurfaceModel surface = c.make();
    const std::string path = testsupport::scratchDir() + "/" + c.name + "." + extension;
    ExportReport report;
    std::string message;
    ASSERT_TRUE(exportSurface(path, surface, std::nullopt, report, message)) << message;

    TopoDS_Shape shape;
    if (extension == "step") {
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
    TopExp_Explorer faces(shape, TopAbs_FACE);
    ASSERT_TRUE(faces.More());
    const TopoDS_Face face = TopoDS::Face(faces.Current());
    faces.Next();
    EXPECT_FALSE(faces.More()) << "more than one face";

    TopTools_IndexedDataMapOfShapeListOfShape edgeFaces;
    TopExp::MapShapesAndAncestors(shape, TopAbs_EDGE, TopAbs_FACE, edgeFaces);
    int seams = 0, free = 0;
    for (int i = 1; i <= edgeFaces.Extent(); ++i) {
        const TopoDS_Edge& edge = TopoDS::Edge(edgeFaces.FindKey(i));
        if (BRep_Tool::IsClosed(edge, face)) {
            ++seams;
        } else if (!BRep_Tool::Degenerated(edge) && edgeFaces(i).Extent() == 1) {
            ++free;
        }
    }
    EXPECT_EQ(seams, c.seams);
    EXPECT_EQ(free, c.freeEdges);

    // Closing the seam moved the surface by no more than float rounding.
    const BRepAdaptor_Surface read(face);
    const float u0 = surface.knotsU[surface.orderU - 1], u1 = surface.knotsU[surface.countU];
    const float v0 = surface.knotsV[surface.orderV - 1], v1 = surface.knotsV[surface.countV];
    const double size = controlBoxDiagonal(surface);
    for (int a = 0; a <= 8; ++a) {
        for (int b = 0; b <= 8; ++b) {
            const float u = a == 8 ? u1 : u0 + (u1 - u0) * a / 8;
            const float v = b == 8 ? v1 : v0 + (v1 - v0) * b / 8;
            float x, y, z;
            ASSERT_TRUE(evaluateSurfacePoint(surface, x, y, z, u, v));
            EXPECT_LE(read.Value(u, v).Distance(gp_Pnt(x, y, z)), 1e-6 * size)
                << "at (" << u << ", " << v << ")";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Surfaces, ClosedExport,
                         testing::Combine(testing::ValuesIn(kCases),
                                          testing::Values("step", "igs")),
                         [](const testing::TestParamInfo<ClosedExport::ParamType>& info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    std::get<1>(info.param);
                         });

}  // namespace
