// STEP and IGES exports read back by Open CASCADE's own readers: the surface in the file is a
// B-spline surface with the same points at the same parameters as evaluateSurfacePoint gives.
#include <gtest/gtest.h>
#include <BRep_Tool.hxx>
#include <Geom_BSplineSurface.hxx>
#include <IGESControl_Reader.hxx>
#include <STEPControl_Reader.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS.hxx>

#include <functional>
#include <string>

#include "exchange/export_checks.h"
#include "exchange/export_surface.h"
#include "model/knots.h"
#include "support/export_surfaces.h"
#include "support/scratch_files.h"

namespace {

struct ExactCase {
    const char* name;
    std::function<SurfaceModel()> make;
};

const ExactCase kCases[] = {
    {"rational_uneven_knots", testsupport::rationalUnevenSurface},
    {"unclamped_knots", testsupport::unclampedSurface},
    {"revolved_goblet", testsupport::revolvedGoblet},
    {"skinned", testsupport::skinnedSurface},
    {"sample_vase", [] { return testsupport::exampleSurface("vase.surf"); }},
};

void PrintTo(const ExactCase& c, std::ostream* out) {
    *out << c.name;
}

// True when some weights differ, so that the file must carry them.
bool weightsDiffer(const SurfaceModel& surface) {
    for (const PointH& P : surface.controlNet) {
        if (P.w != surface.controlNet[0].w) return true;
    }
    return false;
}

const char* const kExtensions[] = {"step", "stp", "igs", "iges"};

// The one face's surface in a file, as the format's reader gives it back.
Handle(Geom_BSplineSurface) readBack(const std::string& path, bool step) {
    TopoDS_Shape shape;
    if (step) {
        STEPControl_Reader reader;
        if (reader.ReadFile(path.c_str()) != IFSelect_RetDone) return nullptr;
        reader.TransferRoots();
        shape = reader.OneShape();
    } else {
        IGESControl_Reader reader;
        if (reader.ReadFile(path.c_str()) != IFSelect_RetDone) return nullptr;
        reader.TransferRoots();
        shape = reader.OneShape();
    }
    int faces = 0;
    Handle(Geom_Surface) surface;
    for (TopExp_Explorer face(shape, TopAbs_FACE); face.More(); face.Next(), ++faces) {
        surface = BRep_Tool::Surface(TopoDS::Face(face.Current()));
    }
    if (faces != 1) return nullptr;
    return Handle(Geom_BSplineSurface)::DownCast(surface);
}

class ExactExport : public testing::TestWithParam<std::tuple<ExactCase, const char*>> {};

TEST_P(ExactExport, ReadsBackAsTheSameSurface) {
    const ExactCase& c = std::get<0>(GetParam());
    const std::string extension = std::get<1>(GetParam());
    const SurfaceModel surface = c.make();
    ASSERT_TRUE(surfaceIsUsable(surface));
    const std::string path = testsupport::scratchDir() + "/" + c.name + "." + extension;
    ExportReport report;
    std::string message;
    ASSERT_TRUE(exportSurface(path, surface, std::nullopt, report, message)) << message;
    EXPECT_TRUE(report.exact);

    const bool step = extension == "step" || extension == "stp";
    const Handle(Geom_BSplineSurface) read = readBack(path, step);
    ASSERT_FALSE(read.IsNull()) << "no single B-spline face in " << path;
    EXPECT_EQ(read->UDegree(), surface.orderU - 1);
    EXPECT_EQ(read->VDegree(), surface.orderV - 1);
    EXPECT_EQ(read->IsURational() || read->IsVRational(), weightsDiffer(surface));

    const float u0 = surface.knotsU[surface.orderU - 1], u1 = surface.knotsU[surface.countU];
    const float v0 = surface.knotsV[surface.orderV - 1], v1 = surface.knotsV[surface.countV];
    const double allowed = 1e-6 * controlBoxDiagonal(surface);
    const int steps = 12;
    for (int a = 0; a <= steps; ++a) {
        for (int b = 0; b <= steps; ++b) {
            const float u = a == steps ? u1 : u0 + (u1 - u0) * a / steps;
            const float v = b == steps ? v1 : v0 + (v1 - v0) * b / steps;
            float x, y, z;
            ASSERT_TRUE(evaluateSurfacePoint(surface, x, y, z, u, v));
            const gp_Pnt p = read->Value(u, v);
            EXPECT_LE(p.Distance(gp_Pnt(x, y, z)), allowed) << "at (" << u << ", " << v << ")";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Surfaces, ExactExport,
                         testing::Combine(testing::ValuesIn(kCases),
                                          testing::ValuesIn(kExtensions)),
                         [](const testing::TestParamInfo<ExactExport::ParamType>& info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    std::get<1>(info.param);
                         });

}  // namespace
