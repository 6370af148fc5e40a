// Import of STEP and IGES faces: our exports come back as the same net, analytic surfaces that
// Open CASCADE writes come back on their sphere and cylinder, faces are chosen by area or
// number, units stay as written, and bad files are refused with nothing written.
#include <gtest/gtest.h>
#include <BRepBuilderAPI_MakeEdge.hxx>
#include <BRepBuilderAPI_MakeFace.hxx>
#include <BRepPrimAPI_MakeCylinder.hxx>
#include <BRepPrimAPI_MakeSphere.hxx>
#include <Geom_BSplineSurface.hxx>
#include <IGESControl_Controller.hxx>
#include <IGESControl_Writer.hxx>
#include <STEPControl_Writer.hxx>
#include <TColStd_Array1OfInteger.hxx>
#include <TColStd_Array1OfReal.hxx>
#include <TColgp_Array2OfPnt.hxx>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

#include "exchange/cad_files.h"
#include "exchange/cad_import.h"
#include "exchange/export_surface.h"
#include "exchange/import_callback.h"
#include "io/editor_file_io.h"
#include "model/editor_state.h"
#include "model/knots.h"
#include "model/surface_edit.h"
#include "support/export_surfaces.h"
#include "support/scratch_files.h"

namespace {

using testsupport::readAll;
using testsupport::runLoftwork;
using testsupport::scratchDir;
using testsupport::writeText;

std::string scratch(const std::string& name) {
    return scratchDir() + "/" + name;
}

// Open CASCADE's own STEP writer, lengths in millimetres.
void writeStepShape(const TopoDS_Shape& shape, const std::string& path) {
    silenceOcct();
    STEPControl_Writer writer;
    ASSERT_EQ(writer.Transfer(shape, STEPControl_AsIs), IFSelect_RetDone);
    ASSERT_EQ(writer.Write(path.c_str()), IFSelect_RetDone);
}

double largestCoordinate(const SurfaceModel& s) {
    double extent = 0.0;
    for (const PointH& P : s.controlNet) {
        extent = std::max({extent, std::fabs(double{P.x} / P.w), std::fabs(double{P.y} / P.w),
                           std::fabs(double{P.z} / P.w)});
    }
    return extent;
}

// Same counts, orders and knots; points and weights equal up to float rounding.
void expectSameNet(const SurfaceModel& got, const SurfaceModel& want) {
    ASSERT_EQ(got.countU, want.countU);
    ASSERT_EQ(got.countV, want.countV);
    EXPECT_EQ(got.orderU, want.orderU);
    EXPECT_EQ(got.orderV, want.orderV);
    EXPECT_EQ(got.knotsU, want.knotsU);
    EXPECT_EQ(got.knotsV, want.knotsV);
    const double tolerance = 4e-7 * largestCoordinate(want);
    for (size_t i = 0; i < want.controlNet.size(); ++i) {
        const PointH& a = got.controlNet[i];
        const PointH& b = want.controlNet[i];
        EXPECT_NEAR(a.w, b.w, 4e-7 * b.w) << "point " << i;
        EXPECT_NEAR(a.x / a.w, b.x / b.w, tolerance) << "point " << i;
        EXPECT_NEAR(a.y / a.w, b.y / b.w, tolerance) << "point " << i;
        EXPECT_NEAR(a.z / a.w, b.z / b.w, tolerance) << "point " << i;
    }
}

// The surface as its surface file gives it back (six decimals).
SurfaceModel asWritten(const SurfaceModel& surface) {
    std::string text, error;
    formatSurfaceText(surface, "written.surf", text);
    SurfaceModel read;
    EXPECT_TRUE(parseSurfaceText(text.data(), text.size(), read, error)) << error;
    return read;
}

// Surface points over a grid of the knot range, in double.
template <typename Check>
void forSurfacePoints(const SurfaceModel& s, Check check) {
    const float u0 = s.knotsU[static_cast<size_t>(s.orderU - 1)];
    const float u1 = s.knotsU[static_cast<size_t>(s.countU)];
    const float v0 = s.knotsV[static_cast<size_t>(s.orderV - 1)];
    const float v1 = s.knotsV[static_cast<size_t>(s.countV)];
    for (int i = 0; i <= 12; ++i) {
        for (int j = 0; j <= 12; ++j) {
            float x, y, z;
            const float u = u0 + (u1 - u0) * static_cast<float>(i) / 12.0f;
            const float v = v0 + (v1 - v0) * static_cast<float>(j) / 12.0f;
            ASSERT_TRUE(evaluateSurfacePoint(s, x, y, z, std::min(u, u1), std::min(v, v1)));
            check(double{x}, double{y}, double{z});
        }
    }
}

// --- export, then import: the same net -------------------------------------------------------

struct RoundTrip {
    const char* name;
    std::function<SurfaceModel()> make;
    const char* extension;
};

void PrintTo(const RoundTrip& c, std::ostream* out) {
    *out << c.name << "_" << c.extension;
}

class ImportRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(ImportRoundTrip, GivesBackTheExportedNet) {
    const SurfaceModel surface = GetParam().make();
    const std::string path = scratch(std::string(GetParam().name) + "." + GetParam().extension);
    ExportReport exported;
    std::string message;
    ASSERT_TRUE(exportSurface(path, surface, std::nullopt, exported, message)) << message;

    SurfaceModel imported;
    ImportReport report;
    ASSERT_TRUE(importCadSurface(path, 0, imported, report, message)) << message;
    expectSameNet(imported, surface);
    EXPECT_EQ(report.unit, "millimetres");
    EXPECT_FALSE(report.converted);
    EXPECT_FALSE(report.trimDropped);
    EXPECT_EQ(report.faces.size(), 1u);
}

const RoundTrip kRoundTrips[] = {
    {"rational_uneven_knots", testsupport::rationalUnevenSurface, "step"},
    {"rational_uneven_knots", testsupport::rationalUnevenSurface, "igs"},
    {"revolved_goblet", testsupport::revolvedGoblet, "stp"},
    {"revolved_goblet", testsupport::revolvedGoblet, "iges"},
    // Closed across its sections: the readers make v periodic and put its seam a period away.
    {"sample_bottle", [] { return testsupport::exampleSurface("bottle.surf"); }, "step"},
    {"sample_bottle", [] { return testsupport::exampleSurface("bottle.surf"); }, "iges"},
    {"skinned", testsupport::skinnedSurface, "step"},
    {"skinned", testsupport::skinnedSurface, "IGS"},
};
INSTANTIATE_TEST_SUITE_P(Formats, ImportRoundTrip, ::testing::ValuesIn(kRoundTrips),
                         [](const auto& info) {
                             return std::string(info.param.name) + "_" + info.param.extension;
                         });

// --- analytic surfaces written by Open CASCADE ------------------------------------------------

TEST(ImportAnalytic, SphereComesBackOnTheSphere) {
    const gp_Pnt centre(1.0, -2.0, 0.5);
    const double radius = 2.5;
    const std::string path = scratch("sphere.step");
    writeStepShape(BRepPrimAPI_MakeSphere(centre, radius).Shape(), path);

    SurfaceModel s;
    ImportReport report;
    std::string error;
    ASSERT_TRUE(importCadSurface(path, 0, s, report, error)) << error;
    EXPECT_EQ(report.faces[0].kind, "sphere");
    EXPECT_TRUE(report.converted);
    EXPECT_FALSE(report.trimDropped);
    forSurfacePoints(s, [&](double x, double y, double z) {
        const double distance = std::hypot(x - centre.X(), y - centre.Y(), z - centre.Z());
        EXPECT_NEAR(distance, radius, 1e-6 * radius);
    });
}

// A cylinder is three faces: the side, the largest, is taken; a disk is a plane trimmed by a
// circle, whose trim is dropped.
TEST(ImportAnalytic, CylinderSideIsTakenAndADiskDropsItsTrim) {
    const double radius = 1.5, height = 4.0;
    const std::string path = scratch("cylinder.stp");
    writeStepShape(
        BRepPrimAPI_MakeCylinder(gp_Ax2(gp_Pnt(0, 0, 1), gp::DZ()), radius, height).Shape(), path);

    SurfaceModel side;
    ImportReport report;
    std::string error;
    ASSERT_TRUE(importCadSurface(path, 0, side, report, error)) << error;
    ASSERT_EQ(report.faces.size(), 3u);
    EXPECT_EQ(report.faces[static_cast<size_t>(report.face - 1)].kind, "cylinder");
    EXPECT_FALSE(report.trimDropped);
    forSurfacePoints(side, [&](double x, double y, double z) {
        EXPECT_NEAR(std::hypot(x, y), radius, 1e-6 * height);
        EXPECT_GE(z, 1.0 - 1e-6 * height);
        EXPECT_LE(z, 1.0 + height + 1e-6 * height);
    });

    const int disk = report.face == 1 ? 2 : 1;
    SurfaceModel plane;
    ASSERT_TRUE(importCadSurface(path, disk, plane, report, error)) << error;
    EXPECT_EQ(report.faces[static_cast<size_t>(disk - 1)].kind, "plane");
    EXPECT_TRUE(report.trimDropped);
    EXPECT_NE(importMessage(path, plane, report).find("trim was dropped"), std::string::npos);
    // The square around the circle, in the disk's plane.
    double most = 0.0;
    forSurfacePoints(plane, [&](double x, double y, double z) {
        EXPECT_TRUE(std::fabs(z - 1.0) < 1e-6 || std::fabs(z - 1.0 - height) < 1e-6) << z;
        most = std::max({most, std::fabs(x), std::fabs(y)});
    });
    EXPECT_NEAR(most, radius, 1e-6);
}

// --- units: as the file gives them -----------------------------------------------------------

TEST(ImportUnits, StepInMetresStaysInMetres) {
    const std::string millimetres = scratch("unit-mm.step");
    writeStepShape(BRepPrimAPI_MakeSphere(2.0).Shape(), millimetres);
    std::string text = readAll(millimetres);
    const std::string unit = "SI_UNIT(.MILLI.,.METRE.)";
    ASSERT_NE(text.find(unit), std::string::npos);
    text.replace(text.find(unit), unit.size(), "SI_UNIT($,.METRE.)");
    const std::string metres = scratch("unit-m.step");
    writeText(metres, text);

    SurfaceModel s;
    ImportReport report;
    std::string error;
    ASSERT_TRUE(importCadSurface(metres, 0, s, report, error)) << error;
    EXPECT_EQ(report.unit, "metres");
    EXPECT_NE(importMessage(metres, s, report).find("in metres, the file's unit"),
              std::string::npos);
    forSurfacePoints(s, [](double x, double y, double z) {
        EXPECT_NEAR(std::sqrt(x * x + y * y + z * z), 2.0, 2e-6);
    });
}

// The IGES writer converts a 25.4 mm sphere to a 1 inch one; import keeps inches.
TEST(ImportUnits, IgesInInchesStaysInInches) {
    silenceOcct();
    IGESControl_Controller::Init();
    IGESControl_Writer writer("IN", 0);
    ASSERT_TRUE(writer.AddShape(BRepPrimAPI_MakeSphere(25.4).Shape()));
    writer.ComputeModel();
    const std::string path = scratch("inches.iges");
    ASSERT_TRUE(writer.Write(path.c_str()));

    SurfaceModel s;
    ImportReport report;
    std::string error;
    ASSERT_TRUE(importCadSurface(path, 0, s, report, error)) << error;
    EXPECT_EQ(report.unit, "inches");
    forSurfacePoints(s, [](double x, double y, double z) {
        EXPECT_NEAR(std::sqrt(x * x + y * y + z * z), 1.0, 1e-6);
    });
}

// --- several faces: the largest by default, another by number ---------------------------------

// The rational surface, then the same surface three times as large: face 2 is the larger.
SurfaceModel smallFace() {
    return testsupport::rationalUnevenSurface();
}
SurfaceModel largeFace() {
    SurfaceModel s = smallFace();
    for (PointH& P : s.controlNet) P = {3.0f * P.x, 3.0f * P.y, 3.0f * P.z, P.w};
    return s;
}

void writeTwoFaces(const std::string& path) {
    const SurfaceModel small = smallFace(), large = largeFace();
    std::string text, error;
    const bool step = exportFormatOf(path) == ExportFormat::step;
    ASSERT_TRUE(step ? formatStep({&small, &large}, scratchDir(), text, error)
                     : formatIges({&small, &large}, text, error))
        << error;
    writeText(path, text);
}

class ImportTwoFaces : public ::testing::TestWithParam<const char*> {};

TEST_P(ImportTwoFaces, TheLargerByDefaultTheOtherByNumber) {
    const std::string in = scratch(std::string("two.") + GetParam());
    writeTwoFaces(in);
    const std::string out = scratch("two.surf");

    const auto run = runLoftwork({"import", in, out});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("imported face 2 of 2"), std::string::npos) << run.err;
    SurfaceModel got;
    std::string error;
    ASSERT_TRUE(readSurfaceFile(out.c_str(), got, error)) << error;
    expectSameNet(got, asWritten(largeFace()));

    const auto chosen = runLoftwork({"import", in, out, "--face", "1"});
    ASSERT_EQ(chosen.status, 0) << chosen.err;
    ASSERT_TRUE(readSurfaceFile(out.c_str(), got, error)) << error;
    expectSameNet(got, asWritten(smallFace()));

    // Nine times the area, as the list says.
    const auto list = runLoftwork({"import", in, "--list"});
    ASSERT_EQ(list.status, 0) << list.err;
    double area1 = 0, area2 = 0;
    const size_t first = list.out.find("\n1  B-spline surface");
    const size_t second = list.out.find("\n2  B-spline surface");
    ASSERT_NE(first, std::string::npos) << list.out;
    ASSERT_NE(second, std::string::npos) << list.out;
    area1 = std::stod(list.out.substr(list.out.find("area ", first) + 5));
    area2 = std::stod(list.out.substr(list.out.find("area ", second) + 5));
    EXPECT_NEAR(area2 / area1, 9.0, 1e-4);
}

INSTANTIATE_TEST_SUITE_P(Formats, ImportTwoFaces, ::testing::Values("step", "igs"));

// --- refusals: nothing written, the old surface file kept --------------------------------------

// A B-spline face of degree 24 in u, one more than the editor draws.
TopoDS_Shape degree24Face() {
    TColgp_Array2OfPnt poles(1, 25, 1, 2);
    for (int i = 1; i <= 25; ++i) {
        for (int j = 1; j <= 2; ++j) poles(i, j) = gp_Pnt(i, std::sin(i), j);
    }
    TColStd_Array1OfReal knots(1, 2);
    knots(1) = 0.0;
    knots(2) = 1.0;
    TColStd_Array1OfInteger multU(1, 2), multV(1, 2);
    multU.Init(25);
    multV.Init(2);
    Handle(Geom_BSplineSurface) surface =
        new Geom_BSplineSurface(poles, knots, knots, multU, multV, 24, 1);
    return BRepBuilderAPI_MakeFace(surface, 1e-7).Shape();
}

struct Refusal {
    const char* name;
    const char* file;  // written in the scratch folder
    std::function<void(const std::string&)> write;
    const char* reason;
};

void PrintTo(const Refusal& c, std::ostream* out) {
    *out << c.name;
}

const Refusal kRefusals[] = {
    {"surface_file_name", "vase.surf",
     [](const std::string& p) { writeText(p, readAll(testsupport::sample("vase.surf"))); },
     "not a STEP or IGES file name"},
    {"text_named_step", "notes.step", [](const std::string& p) { writeText(p, "a b c\n"); },
     "not a STEP file"},
    {"text_named_iges", "notes.iges",
     [](const std::string& p) { writeText(p, std::string(100, 'x') + "\n"); }, "not an IGES file"},
    {"empty_step", "empty.stp", [](const std::string& p) { writeText(p, ""); }, "empty"},
    {"empty_iges", "empty.igs", [](const std::string& p) { writeText(p, ""); }, "empty"},
    {"missing", "nowhere.step", [](const std::string&) {}, "No such file"},
    {"edge_only", "edge.step",
     [](const std::string& p) {
         writeStepShape(BRepBuilderAPI_MakeEdge(gp_Pnt(0, 0, 0), gp_Pnt(1, 2, 3)).Shape(), p);
     },
     "no face"},
    {"degree_past_the_limit", "degree24.step",
     [](const std::string& p) { writeStepShape(degree24Face(), p); }, "degrees 24 x 1"},
    {"step_cut_short", "short.step",
     [](const std::string& p) {
         std::string text;
         std::string error;
         const SurfaceModel s = testsupport::skinnedSurface();
         ASSERT_TRUE(formatStep({&s}, scratchDir(), text, error)) << error;
         writeText(p, text.substr(0, text.size() / 2));
     },
     "cannot import"},
    // OCCT's reader follows a pole that is not a point as a null pointer.
    {"pole_of_another_type", "wrong-pole.step",
     [](const std::string& p) {
         std::string text, error;
         const SurfaceModel s = testsupport::rationalUnevenSurface();
         ASSERT_TRUE(formatStep({&s}, scratchDir(), text, error)) << error;
         const size_t pole = text.find("(#", text.find("B_SPLINE_SURFACE_WITH_KNOTS"));
         ASSERT_NE(pole, std::string::npos);
         text.replace(pole, text.find(',', pole) - pole, "(#1");
         writeText(p, text);
     },
     "reader crashed on it"},
    {"iges_garbled", "garbled.igs",
     [](const std::string& p) {
         std::string text, error;
         const SurfaceModel s = testsupport::skinnedSurface();
         ASSERT_TRUE(formatIges({&s}, text, error)) << error;
         for (size_t i = 200; i < text.size(); i += 7) text[i] = ",;9E-"[i % 5];
         writeText(p, text);
     },
     "cannot import"},
};

class ImportRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(ImportRefusal, SaysWhyAndKeepsTheOldFile) {
    const std::string in = scratch(GetParam().file);
    GetParam().write(in);
    const std::string out = scratch("kept.surf");
    const std::string old = readAll(testsupport::sample("vase.surf"));
    writeText(out, old);

    const auto run = runLoftwork({"import", in, out});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find(GetParam().reason), std::string::npos) << run.err;
    EXPECT_EQ(readAll(out), old);
}

INSTANTIATE_TEST_SUITE_P(Files, ImportRefusal, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

// --- the command's arguments ------------------------------------------------------------------

struct Usage {
    const char* name;
    std::vector<std::string> arguments;  // IN is a one-face STEP file
    int status;
    const char* message;
};

void PrintTo(const Usage& c, std::ostream* out) {
    *out << c.name;
}

const Usage kUsages[] = {
    {"no_arguments", {}, 2, "import takes a STEP or IGES file and a surface file"},
    {"no_output", {"IN"}, 2, "usage: loftwork import"},
    {"three_files", {"IN", "a.surf", "b.surf"}, 2, "one STEP or IGES file and one surface"},
    {"face_zero", {"IN", "a.surf", "--face", "0"}, 2, "not a face number: \"0\""},
    {"face_word", {"IN", "a.surf", "--face", "two"}, 2, "not a face number"},
    {"face_without_number", {"IN", "a.surf", "--face"}, 2, "needs a face number"},
    {"face_twice", {"IN", "a.surf", "--face", "1", "--face", "1"}, 2, "given twice"},
    {"list_with_output", {"IN", "a.surf", "--list"}, 2, "--list takes the STEP or IGES file"},
    {"unknown_option", {"IN", "a.surf", "--scale"}, 2, "unknown option"},
    {"output_named_step", {"IN", "a.step"}, 2, "not STEP or IGES"},
    {"face_past_the_count", {"IN", "a.surf", "--face", "2"}, 1, "has 1 face, no face 2"},
    {"one_face_listed", {"IN", "--list"}, 0, "1 face, STEP, lengths in millimetres"},
};

class ImportUsage : public ::testing::TestWithParam<Usage> {};

TEST_P(ImportUsage, ExitsAndSays) {
    const std::string in = scratch("usage.step");
    writeStepShape(BRepPrimAPI_MakeSphere(1.0).Shape(), in);
    std::vector<std::string> arguments = {"import"};
    for (const std::string& a : GetParam().arguments) {
        arguments.push_back(a == "IN" ? in : a.find('.') != std::string::npos ? scratch(a) : a);
    }
    const auto run = runLoftwork(arguments);
    EXPECT_EQ(run.status, GetParam().status) << run.err;
    EXPECT_NE((run.err + run.out).find(GetParam().message), std::string::npos)
        << run.err << run.out;
}

INSTANTIATE_TEST_SUITE_P(Arguments, ImportUsage, ::testing::ValuesIn(kUsages),
                         [](const auto& info) { return std::string(info.param.name); });

// --- the editor's "load points" ------------------------------------------------------------------

class ImportInEditor : public ::testing::Test {
protected:
    void SetUp() override {
        std::string message;
        ASSERT_TRUE(loadEditorSurface(editor, testsupport::sample("vase.surf").c_str(), message))
            << message;
        vase_ = editor.surface;
    }
    testsupport::EditorScope scope_;
    SurfaceModel vase_;
};

// One undoable step, as loading a surface file is; undo brings the vase back.
TEST_F(ImportInEditor, LoadsAFaceAsOneUndoableStep) {
    for (const char* extension : {"step", "IGES"}) {
        const SurfaceModel goblet = testsupport::revolvedGoblet();
        const std::string path = scratch(std::string("editor.") + extension);
        ExportReport exported;
        std::string message;
        ASSERT_TRUE(exportSurface(path, goblet, std::nullopt, exported, message)) << message;

        ASSERT_TRUE(loadOrImportEditorSurface(editor, path.c_str(), message)) << message;
        EXPECT_NE(message.find("imported face 1 of 1 (B-spline surface)"), std::string::npos)
            << message;
        expectSameNet(editor.surface, goblet);
        EXPECT_EQ(editor.panel.degreeS, goblet.orderU - 1);
        EXPECT_EQ(editor.panel.degreeT, goblet.orderV - 1);

        ASSERT_TRUE(undoEdit(editor));
        EXPECT_TRUE(sameSurface(editor.surface, vase_));
    }
}

// Every refused file leaves the vase as it was; a save under a STEP name writes nothing over it.
TEST_F(ImportInEditor, RefusalsKeepTheSurface) {
    for (const Refusal& refusal : kRefusals) {
        // The editor loads a surface file as one.
        if (exportFormatOf(refusal.file) == ExportFormat::unknown) continue;
        const std::string path = scratch(std::string("editor-") + refusal.file);
        refusal.write(path);
        std::string message;
        EXPECT_FALSE(loadOrImportEditorSurface(editor, path.c_str(), message)) << refusal.name;
        EXPECT_NE(message.find("cannot load"), std::string::npos) << message;
        EXPECT_TRUE(sameSurface(editor.surface, vase_)) << refusal.name;
    }

    const std::string step = scratch("kept.step");
    const SurfaceModel skinned = testsupport::skinnedSurface();
    ExportReport exported;
    std::string message;
    ASSERT_TRUE(exportSurface(step, skinned, std::nullopt, exported, message)) << message;
    const std::string before = readAll(step);
    EXPECT_FALSE(saveEditorSurface(editor, step.c_str(), message));
    EXPECT_NE(message.find("save it under a .surf name"), std::string::npos) << message;
    EXPECT_EQ(readAll(step), before);
}

}  // namespace
