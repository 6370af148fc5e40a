// The part's name and the length unit in STEP and IGES, as Open CASCADE's readers take them: the
// product is named after the surface's file, the unit is the one chosen, and a reader working in
// millimetres finds the part as large as the unit says.
#include <gtest/gtest.h>
#include <BRepBndLib.hxx>
#include <Bnd_Box.hxx>
#include <IGESControl_Reader.hxx>
#include <IGESData_IGESModel.hxx>
#include <STEPControl_Reader.hxx>
#include <StepBasic_Product.hxx>
#include <StepData_StepModel.hxx>
#include <TColStd_SequenceOfAsciiString.hxx>

#include <cmath>
#include <string>

#include "exchange/export_checks.h"
#include "exchange/export_surface.h"
#include "support/export_surfaces.h"
#include "support/scratch_files.h"

namespace {

struct UnitCase {
    LengthUnit unit;
    double millimetres;    // one unit
    const char* stepName;  // the unit as the STEP reader names it
    int igesFlag;          // the unit flag of the IGES global section
};

const UnitCase kUnits[] = {
    {LengthUnit::mm, 1.0, "millimetre", 2},
    {LengthUnit::cm, 10.0, "centimetre", 10},
    {LengthUnit::m, 1000.0, "metre", 6},
    {LengthUnit::in, 25.4, "INCH", 1},
};

double diagonal(const TopoDS_Shape& shape) {
    Bnd_Box box;
    BRepBndLib::AddOptimal(shape, box, false, false);
    return box.IsVoid() ? 0.0 : std::sqrt(box.SquareExtent());
}

class ExportUnits : public testing::TestWithParam<UnitCase> {
protected:
    // The sample vase as a file of its own, exported beside it as name.extension.
    std::string exportVase(const std::string& extension) {
        surface = testsupport::exampleSurface("vase.surf");
        surface.fileName = "boats/Vase 2.surf";
        const std::string path = testsupport::scratchDir() + "/out-" +
                                 lengthUnitName(GetParam().unit) + "." + extension;
        ExportReport report;
        std::string message;
        EXPECT_TRUE(exportSurface(path, surface, std::nullopt, report, message, nullptr,
                                  GetParam().unit))
            << message;
        return path;
    }
    // The exact surface's size in millimetres: its box, drawn around the surface the same way.
    double sizeInMillimetres() {
        const std::string path = testsupport::scratchDir() + "/reference.step";
        ExportReport report;
        std::string message;
        EXPECT_TRUE(exportSurface(path, surface, std::nullopt, report, message));
        STEPControl_Reader reader;
        reader.ReadFile(path.c_str());
        reader.TransferRoots();
        return diagonal(reader.OneShape()) * GetParam().millimetres;
    }
    SurfaceModel surface;
};

TEST_P(ExportUnits, StepDeclaresTheUnitAndNamesTheProduct) {
    const std::string path = exportVase("step");
    STEPControl_Reader reader;
    ASSERT_EQ(reader.ReadFile(path.c_str()), IFSelect_RetDone);
    TColStd_SequenceOfAsciiString lengths, angles, solidAngles;
    reader.FileUnits(lengths, angles, solidAngles);
    ASSERT_EQ(lengths.Length(), 1);
    EXPECT_EQ(std::string(lengths(1).ToCString()), GetParam().stepName);
    int products = 0;
    const Handle(StepData_StepModel) model = reader.StepModel();
    for (int i = 1; i <= model->NbEntities(); ++i) {
        const Handle(StepBasic_Product) product =
            Handle(StepBasic_Product)::DownCast(model->Value(i));
        if (product.IsNull()) continue;
        ++products;
        EXPECT_EQ(std::string(product->Name()->ToCString()), "Vase 2");
    }
    EXPECT_EQ(products, 1);
    reader.TransferRoots();
    const double expected = sizeInMillimetres();
    EXPECT_NEAR(diagonal(reader.OneShape()), expected, 1e-6 * expected);
}

TEST_P(ExportUnits, IgesDeclaresTheUnitAndNamesTheFile) {
    const std::string path = exportVase("igs");
    IGESControl_Reader reader;
    ASSERT_EQ(reader.ReadFile(path.c_str()), IFSelect_RetDone);
    const IGESData_GlobalSection& global = reader.IGESModel()->GlobalSection();
    EXPECT_EQ(global.UnitFlag(), GetParam().igesFlag);
    EXPECT_EQ(std::string(global.FileName()->ToCString()),
              std::string("out-") + lengthUnitName(GetParam().unit) + ".igs");
    EXPECT_EQ(std::string(global.SendName()->ToCString()), "Vase 2");
    reader.TransferRoots();
    const double expected = sizeInMillimetres();
    EXPECT_NEAR(diagonal(reader.OneShape()), expected, 1e-6 * expected);
}

INSTANTIATE_TEST_SUITE_P(Units, ExportUnits, testing::ValuesIn(kUnits),
                         [](const testing::TestParamInfo<UnitCase>& info) {
                             return std::string(lengthUnitName(info.param.unit));
                         });

}  // namespace
