// Exports as other programs take them. Open CASCADE's readers find a closed surface (revolved,
// the sample bottle, closed lofts) as one face with a seam edge and no free edge along it, the
// part named after the surface's file and as large as the unit chosen says; OBJ corners on a
// crease take their side's normal, each the normal of that side's plane.
#include <gtest/gtest.h>
#include <BRepAdaptor_Surface.hxx>
#include <BRepBndLib.hxx>
#include <BRep_Tool.hxx>
#include <IGESControl_Reader.hxx>
#include <IGESData_IGESModel.hxx>
#include <RWStl.hxx>
#include <STEPControl_Reader.hxx>
#include <StepBasic_Product.hxx>
#include <StepData_StepModel.hxx>
#include <TColStd_SequenceOfAsciiString.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_IndexedDataMapOfShapeListOfShape.hxx>
#include <TopoDS.hxx>

#include <map>
#include <set>
#include <sstream>

#include "exchange/export_checks.h"
#include "exchange/export_surface.h"
#include "model/knots.h"
#include "support/export_surfaces.h"
#include "support/scratch_files.h"

namespace {

std::string exported(const SurfaceModel& s, const std::string& name,
                     LengthUnit unit = LengthUnit::mm) {
    const std::string path = testsupport::scratchDir() + "/" + name;
    ExportReport report;
    std::string message;
    EXPECT_TRUE(exportSurface(path, s, std::nullopt, report, message, nullptr, unit)) << message;
    return path;
}

// The sample vase's sections (closed curves), or the first four points of each (open arcs),
// lofted closed: the last section runs back into the first.
SurfaceModel closedLoft(bool wholeSections) {
    SurfaceModel s = testsupport::exampleSurface("vase.surf");
    std::vector<PointH> arcs;
    for (int j = 0; j < s.countV; ++j)
        arcs.insert(arcs.end(), sectionPoints(s, j), sectionPoints(s, j) + 4);
    if (!wholeSections)
        s = testsupport::makeSurface(4, s.countV, 4, 3, {0, 0, 0, 0, 1, 1, 1, 1}, s.knotsV, arcs);
    DerivedNets derived;
    std::string refusal;
    EXPECT_TRUE(skinSurface(s, LoftOptions(LoftParameters::chord, true), derived, refusal));
    SurfaceModel skinned;
    return surfaceToSave(s, true, derived, skinned);
}

struct SeamCase {
    const char* name;
    std::function<SurfaceModel()> make;
    int seams, freeEdges;  // free: of one face only, not collapsed into a pole
} const kSeams[] = {
    {"goblet", testsupport::revolvedGoblet, 1, 1},  // its rim; the bottom is a pole
    {"egg", testsupport::revolvedEgg, 1, 0},
    {"bottle", [] { return testsupport::exampleSurface("bottle.surf"); }, 1, 1},  // its neck
    {"closed_loft_of_arcs", [] { return closedLoft(false); }, 1, 2},
    {"closed_loft_of_closed_sections", [] { return closedLoft(true); }, 2, 0},
};

class ClosedExport : public testing::TestWithParam<SeamCase> {};

TEST_P(ClosedExport, ReadsBackWithASeamAndNoFreeEdgeAlongIt) {
    const SurfaceModel surface = GetParam().make();
    for (const char* extension : {".step", ".igs"}) {
        const std::string path = exported(surface, GetParam().name + std::string(extension));
        std::unique_ptr<XSControl_Reader> reader(
            extension[1] == 's' ? static_cast<XSControl_Reader*>(new STEPControl_Reader)
                                : new IGESControl_Reader);
        ASSERT_EQ(reader->ReadFile(path.c_str()), IFSelect_RetDone);
        reader->TransferRoots();
        const TopoDS_Shape shape = reader->OneShape();
        TopTools_IndexedDataMapOfShapeListOfShape edgeFaces;
        TopExp::MapShapesAndAncestors(shape, TopAbs_EDGE, TopAbs_FACE, edgeFaces);
        ASSERT_GT(edgeFaces.Extent(), 0);
        const TopoDS_Face face = TopoDS::Face(edgeFaces(1).First());
        int seams = 0, free = 0;
        for (int i = 1; i <= edgeFaces.Extent(); ++i) {
            const TopoDS_Edge& edge = TopoDS::Edge(edgeFaces.FindKey(i));
            seams += BRep_Tool::IsClosed(edge, face);
            free += !BRep_Tool::IsClosed(edge, face) && !BRep_Tool::Degenerated(edge) &&
                    edgeFaces(i).Extent() == 1;
        }
        EXPECT_EQ(seams, GetParam().seams) << path;
        EXPECT_EQ(free, GetParam().freeEdges) << path;
        // Closing the seam moved the surface by float rounding at most.
        const float u1 = surface.knotsU[surface.countU], v1 = surface.knotsV[surface.countV];
        for (const float t : {0.0f, 0.4f, 1.0f}) {
            float x, y, z;
            ASSERT_TRUE(evaluateSurfacePoint(surface, x, y, z, t * u1, (1 - t) * v1));
            EXPECT_LE(
                BRepAdaptor_Surface(face).Value(t * u1, (1 - t) * v1).Distance(gp_Pnt(x, y, z)),
                1e-6 * controlBoxDiagonal(surface));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Surfaces, ClosedExport, testing::ValuesIn(kSeams),
                         [](const auto& info) { return std::string(info.param.name); });

double diagonal(const TopoDS_Shape& shape) {
    Bnd_Box box;
    BRepBndLib::AddOptimal(shape, box, false, false);
    return std::sqrt(box.SquareExtent());
}

// Read in millimetres, the vase is as large as the unit says; the files name the unit and the
// part after the surface's file.
TEST(ExportUnits, DeclaredAndNamed) {
    SurfaceModel vase = testsupport::exampleSurface("vase.surf");
    vase.fileName = "boats/Vase 2.surf";
    STEPControl_Reader reference;
    reference.ReadFile(exported(vase, "mm.step").c_str());
    reference.TransferRoots();
    const double size = diagonal(reference.OneShape());
    const struct {
        LengthUnit unit;
        double millimetres;
        const char* step;
        int iges;
    } kUnits[] = {{LengthUnit::cm, 10.0, "centimetre", 10},
                  {LengthUnit::m, 1000.0, "metre", 6},
                  {LengthUnit::in, 25.4, "INCH", 1}};
    for (const auto& u : kUnits) {
        STEPControl_Reader step;
        ASSERT_EQ(step.ReadFile(exported(vase, "u.step", u.unit).c_str()), IFSelect_RetDone);
        TColStd_SequenceOfAsciiString lengths, angles, solidAngles;
        step.FileUnits(lengths, angles, solidAngles);
        EXPECT_EQ(std::string(lengths.First().ToCString()), u.step);
        std::vector<std::string> products;
        for (int i = 1; i <= step.StepModel()->NbEntities(); ++i) {
            const auto product = Handle(StepBasic_Product)::DownCast(step.StepModel()->Value(i));
            if (!product.IsNull()) products.push_back(product->Name()->ToCString());
        }
        EXPECT_EQ(products, std::vector<std::string>{"Vase 2"});
        step.TransferRoots();
        EXPECT_NEAR(diagonal(step.OneShape()), size * u.millimetres, 1e-6 * size * u.millimetres);

        IGESControl_Reader iges;
        ASSERT_EQ(iges.ReadFile(exported(vase, "u.igs", u.unit).c_str()), IFSelect_RetDone);
        const IGESData_GlobalSection& global = iges.IGESModel()->GlobalSection();
        EXPECT_EQ(global.UnitFlag(), u.iges);
        EXPECT_EQ(std::string(global.FileName()->ToCString()), "u.igs");
        EXPECT_EQ(std::string(global.SendName()->ToCString()), "Vase 2");
        iges.TransferRoots();
        EXPECT_NEAR(diagonal(iges.OneShape()), size * u.millimetres, 1e-6 * size * u.millimetres);
    }
}

// A roof along z on the knots 0 0 0 .5 .5 1 1 1 of degree 2: rising at slope 1 to the ridge at
// x = 0, y = 1, falling at slope 1/2; alongV puts the crease in v.
SurfaceModel roof(bool alongV) {
    const float xy[5][2] = {{-1, 0}, {-0.5f, 0.5f}, {0, 1}, {1, 0.5f}, {2, 0}};
    std::vector<PointH> net;
    for (int a = 0; a < 10; ++a) {
        const int k = alongV ? a / 2 : a % 5, z = alongV ? a % 2 : a / 5;
        net.push_back({xy[k][0], xy[k][1], 1.5f * z, 1.0f});
    }
    const std::vector<float> ridge = {0, 0, 0, .5f, .5f, 1, 1, 1}, line = {0, 0, 1, 1};
    return alongV ? testsupport::makeSurface(2, 5, 2, 3, line, ridge, net)
                  : testsupport::makeSurface(5, 2, 3, 2, ridge, line, net);
}

// The normals each vertex of an OBJ file takes in its faces.
std::map<std::array<double, 3>, std::set<std::array<double, 3>>> normalsByPosition(
    const std::string& path) {
    std::istringstream in(testsupport::readAll(path));
    std::vector<std::array<double, 3>> v, vn;
    std::map<std::array<double, 3>, std::set<std::array<double, 3>>> out;
    for (std::string kind, word; in >> kind;) {
        if (kind == "v" || kind == "vn") {
            std::array<double, 3> value;
            in >> value[0] >> value[1] >> value[2];
            (kind == "v" ? v : vn).push_back(value);
        } else if (kind == "f") {
            for (int c = 0; c < 3 && in >> word; ++c) {
                out[v.at(std::stoul(word) - 1)].insert(
                    vn.at(std::stoul(word.substr(word.find("//") + 2)) - 1));
            }
        } else {
            std::getline(in, kind);
        }
    }
    return out;
}

TEST(ObjCreases, EachSideOfARidgeHasItsPlanesNormal) {
    const double r = std::sqrt(0.5), f = 1 / std::sqrt(1.25);  // the planes' normals' scales
    for (const bool alongV : {false, true}) {
        size_t ridge = 0;
        for (const auto& [p, normals] : normalsByPosition(exported(roof(alongV), "roof.obj"))) {
            if (std::fabs(p[0]) > 1e-6 || std::fabs(p[1] - 1) > 1e-6) {
                EXPECT_EQ(normals.size(), 1u);
                continue;
            }
            ++ridge;
            ASSERT_EQ(normals.size(), 2u);
            for (const auto& n : normals) {  // (-1, 1, 0) * r or (1/2, 1, 0) * f, either way
                EXPECT_NEAR(
                    std::max(std::fabs(r * (n[1] - n[0])), std::fabs(f * (0.5 * n[0] + n[1]))), 1.0,
                    1e-5);
            }
        }
        EXPECT_GE(ridge, 2u);
    }
    // A rational circle's joints repeat their knots as often as the degree, yet are smooth.
    const auto egg = normalsByPosition(exported(testsupport::revolvedEgg(), "egg.obj"));
    for (const auto& vertex : egg) EXPECT_EQ(vertex.second.size(), 1u);
}

// A circle-to-square duct lofted with compatible rational sections exports in every format:
// Open CASCADE reads STEP and IGES back as its surface and the STL as the mesh written.
TEST(DuctExport, EveryFormatReadsBack) {
    const float cx[9] = {1, 1, 0, -1, -1, -1, 0, 1, 1}, cy[9] = {0, 1, 1, 1, 0, -1, -1, -1, 0};
    std::vector<PointH> net;
    for (int j = 0; j < 3; ++j) {  // a circle, a square with corners at 1.4, a circle
        for (int t = 0; t < 9; ++t) {
            const float w = j != 1 && t % 2 ? 0.70710678f : 1.0f;
            const float r = j != 1 ? 1.0f : t % 2 ? 0.7f : 1.4f;
            net.push_back({r * cx[t] * w, r * cy[t] * w, 2.0f * j * w, w});
        }
    }
    const SurfaceModel sections = testsupport::makeSurface(
        9, 3, 3, 3, {0, 0, 0, .25f, .25f, .5f, .5f, .75f, .75f, 1, 1, 1}, {0, 0, 0, 1, 1, 1}, net);
    LoftOptions options;
    options.rational = LoftRational::compatible;
    DerivedNets derived;
    std::string refusal;
    ASSERT_TRUE(skinSurface(sections, options, derived, refusal)) << refusal;
    SurfaceModel skinned;
    const SurfaceModel& duct = surfaceToSave(sections, true, derived, skinned);
    for (const char* name : {"duct.step", "duct.igs"}) {
        std::unique_ptr<XSControl_Reader> reader(
            name[5] == 's' ? static_cast<XSControl_Reader*>(new STEPControl_Reader)
                           : new IGESControl_Reader);
        ASSERT_EQ(reader->ReadFile(exported(duct, name).c_str()), IFSelect_RetDone);
        reader->TransferRoots();
        TopExp_Explorer face(reader->OneShape(), TopAbs_FACE);
        ASSERT_TRUE(face.More()) << name;
        const BRepAdaptor_Surface read(TopoDS::Face(face.Current()));
        for (const float t : {0.0f, 0.3f, 0.6f, 1.0f}) {
            float x, y, z;
            ASSERT_TRUE(evaluateSurfacePoint(duct, x, y, z, t, 1 - t));
            EXPECT_LE(read.Value(t, 1 - t).Distance(gp_Pnt(x, y, z)),
                      1e-6 * controlBoxDiagonal(duct))
                << name;
        }
    }
    ExportReport report;
    std::string message;
    const std::string stl = testsupport::scratchDir() + "/duct.stl";
    ASSERT_TRUE(exportSurface(stl, duct, std::nullopt, report, message)) << message;
    EXPECT_EQ(static_cast<size_t>(RWStl::ReadFile(stl.c_str())->NbTriangles()), report.triangles);
    EXPECT_FALSE(normalsByPosition(exported(duct, "duct.obj")).empty());
}

}  // namespace
