// STEP and IGES files of a surface through Open CASCADE's writers.
#include "exchange/cad_files.h"

#include <unistd.h>
#include <APIHeaderSection_MakeHeader.hxx>
#include <BRepBuilderAPI_Sewing.hxx>
#include <BRep_Builder.hxx>
#include <IGESControl_Controller.hxx>
#include <IGESControl_Writer.hxx>
#include <IGESData_GlobalSection.hxx>
#include <IGESData_IGESModel.hxx>
#include <Interface_Static.hxx>
#include <Message.hxx>
#include <Message_Messenger.hxx>
#include <Message_PrinterOStream.hxx>
#include <STEPControl_Controller.hxx>
#include <STEPControl_Writer.hxx>
#include <Standard_Failure.hxx>
#include <StepBasic_Product.hxx>
#include <StepData_StepModel.hxx>
#include <StepGeom_BSplineSurface.hxx>
#include <TCollection_HAsciiString.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Compound.hxx>
#include <UnitsMethods.hxx>
#include <gp_Ax2.hxx>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <sstream>
#include <tuple>

#include "exchange/export_checks.h"
#include "exchange/occt_surface.h"
#include "io/file_size_signal.h"
#include "io/temporary_files.h"

namespace {

struct UnitNames {
    LengthUnit unit;
    const char* name;      // as the user names it
    const char* stepName;  // OCCT's name of the STEP unit
    int igesFlag;          // the IGES global section's unit flag
    const char* igesName;  // and the unit's name there
};

const UnitNames kUnits[] = {
    {LengthUnit::mm, "mm", "MM", 2, "MM"},
    {LengthUnit::cm, "cm", "CM", 10, "CM"},
    {LengthUnit::m, "m", "M", 6, "M"},
    {LengthUnit::in, "in", "INCH", 1, "IN"},
};

const UnitNames& namesOf(LengthUnit unit) {
    for (const UnitNames& names : kUnits) {
        if (names.unit == unit) return names;
    }
    return kUnits[0];
}

}  // namespace

const char* lengthUnitName(LengthUnit unit) {
    return namesOf(unit).name;
}

bool parseLengthUnit(const char* text, LengthUnit& unit) {
    for (const UnitNames& names : kUnits) {
        if (strcmp(text, names.name) == 0) {
            unit = names.unit;
            return true;
        }
    }
    return false;
}

void silenceOcct() {
    static bool silenced = false;
    if (silenced) return;
    Message::DefaultMessenger()->RemovePrinters(STANDARD_TYPE(Message_PrinterOStream));
    silenced = true;
}

namespace {

bool readWhole(const std::string& path, std::string& out) {
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    char buffer[65536];
    size_t got;
    out.clear();
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) out.append(buffer, got);
    const bool ok = ferror(file) == 0;
    fclose(file);
    return ok;
}

// Poles and degrees of one B-spline surface.
struct SurfaceShape {
    int poles[2];
    int degrees[2];
    bool operator<(const SurfaceShape& o) const {
        return std::tie(poles[0], poles[1], degrees[0], degrees[1]) <
               std::tie(o.poles[0], o.poles[1], o.degrees[0], o.degrees[1]);
    }
    bool operator==(const SurfaceShape& o) const { return !(*this < o) && !(o < *this); }
};

// True when the model's B-spline surfaces are exactly the expected ones.
bool modelHoldsSurfaces(const Handle(StepData_StepModel) & model,
                        std::vector<SurfaceShape> expected) {
    if (model.IsNull()) return false;
    std::vector<SurfaceShape> found;
    for (int i = 1; i <= model->NbEntities(); ++i) {
        const Handle(StepGeom_BSplineSurface) surface =
            Handle(StepGeom_BSplineSurface)::DownCast(model->Value(i));
        if (surface.IsNull()) continue;
        found.push_back({{surface->NbControlPointsListI(), surface->NbControlPointsListJ()},
                         {surface->UDegree(), surface->VDegree()}});
    }
    std::sort(found.begin(), found.end());
    std::sort(expected.begin(), expected.end());
    return found == expected;
}

// OCCT's unit settings are process-wide: the unit in which shapes are held ("xstep.cascade.unit",
// also kept by UnitsMethods) and the unit a STEP file declares. The writers convert from the one to
// the other; set to the same unit, the numbers are written as they are. Restored on leaving.
class UnitsHeld {
public:
    UnitsHeld(const char* cascadeUnit, const char* stepUnit)
        : cascade_(Interface_Static::CVal("xstep.cascade.unit")),
          step_(Interface_Static::CVal("write.step.unit")),
          cascadeValue_(UnitsMethods::GetCasCadeLengthUnit()) {
        Interface_Static::SetCVal("xstep.cascade.unit", cascadeUnit);
        Interface_Static::SetCVal("write.step.unit", stepUnit);
        UnitsMethods::SetCasCadeLengthUnit(
            UnitsMethods::GetLengthUnitScale(UnitsMethods::LengthUnitFromString(cascadeUnit, false),
                                             UnitsMethods_LengthUnit_Millimeter));
    }
    ~UnitsHeld() {
        Interface_Static::SetCVal("xstep.cascade.unit", cascade_.c_str());
        Interface_Static::SetCVal("write.step.unit", step_.c_str());
        UnitsMethods::SetCasCadeLengthUnit(cascadeValue_);
    }
    UnitsHeld(const UnitsHeld&) = delete;
    UnitsHeld& operator=(const UnitsHeld&) = delete;

private:
    std::string cascade_, step_;
    double cascadeValue_;
};

// The poles and degrees a surface is written with: the writers open a periodic direction into
// its clamped form.
SurfaceShape writtenShape(const Handle(Geom_BSplineSurface) & surface) {
    Handle(Geom_BSplineSurface) open = surface;
    if (surface->IsUPeriodic() || surface->IsVPeriodic()) {
        open = Handle(Geom_BSplineSurface)::DownCast(surface->Copy());
        if (open->IsUPeriodic()) open->SetUNotPeriodic();
        if (open->IsVPeriodic()) open->SetVNotPeriodic();
    }
    return {{open->NbUPoles(), open->NbVPoles()}, {open->UDegree(), open->VDegree()}};
}

// The content as one shape: a face, or the faces sewn into one shell. expected receives the
// written shape of every face's surface.
bool makeCadShape(const CadContent& content, TopoDS_Shape& shape,
                  std::vector<SurfaceShape>& expected, std::string& error) {
    std::vector<TopoDS_Face> faces;
    double sewing = 0.0;
    for (const SurfaceModel* surface : content.faces) {
        // Rows of a seam or a pole agree to float rounding, 2^-16 of the surface's size, the
        // distance the meshes weld them within.
        const double weld = std::ldexp(controlBoxDiagonal(*surface), -16);
        sewing = std::max(sewing, weld);
        Handle(Geom_BSplineSurface) bspline = makeOcctSurface(*surface, error);
        if (bspline.IsNull()) return false;
        bspline = closeSeams(bspline, weld);
        std::vector<Handle(Geom_BSplineSurface)> sides = {bspline};
        if (content.mirror != nullptr) {
            const MirrorPlane& plane = *content.mirror;
            const double normal[3] = {plane.axis == 0 ? 1.0 : 0.0, plane.axis == 1 ? 1.0 : 0.0,
                                      plane.axis == 2 ? 1.0 : 0.0};
            const gp_Ax2 frame(gp_Pnt(normal[0] * plane.offset, normal[1] * plane.offset,
                                      normal[2] * plane.offset),
                               gp_Dir(normal[0], normal[1], normal[2]));
            const Handle(Geom_BSplineSurface) image =
                Handle(Geom_BSplineSurface)::DownCast(bspline->Mirrored(frame));
            // A reflection turns the surface inside out; running u the other way turns it back,
            // so both halves face the same side, whatever a reader makes of face orientations.
            image->UReverse();
            sides.push_back(image);
        }
        for (const Handle(Geom_BSplineSurface) & side : sides) {
            expected.push_back(writtenShape(side));
            const TopoDS_Face face = makeOcctFace(side, error);
            if (face.IsNull()) return false;
            faces.push_back(face);
        }
    }
    if (faces.size() == 1) {
        shape = faces[0];
        return true;
    }
    // A half and its image are sewn where they meet, along the plane.
    if (content.mirror != nullptr) {
        BRepBuilderAPI_Sewing sewer(sewing);
        for (const TopoDS_Face& face : faces) sewer.Add(face);
        sewer.Perform();
        const TopoDS_Shape sewn = sewer.SewedShape();
        if (!sewn.IsNull() && sewn.ShapeType() == TopAbs_SHELL) {
            shape = sewn;
            return true;
        }
    }
    // Faces that do not meet (surfaces given side by side, or a half that keeps off the plane)
    // go into one compound in their order.
    TopoDS_Compound compound;
    BRep_Builder builder;
    builder.MakeCompound(compound);
    for (const TopoDS_Face& face : faces) builder.Add(compound, face);
    shape = compound;
    return true;
}

std::string nameOr(const std::string& name, const char* otherwise) {
    return name.empty() ? std::string(otherwise) : name;
}

}  // namespace

bool formatStep(const CadContent& content, const std::string& folder, std::string& out,
                std::string& error) {
    silenceOcct();
    // Removed on every way out of this function, and by a signal that ends the process.
    TemporaryFile temporary((folder.empty() ? std::string(".") : folder) +
                            "/.loftwork-step-XXXXXX");
    const int fd = temporary.create();
    if (fd < 0) {
        error = std::string("cannot create a file in its folder: ") + strerror(errno);
        return false;
    }
    close(fd);
    try {
        std::vector<SurfaceShape> expected;
        TopoDS_Shape shape;
        if (!makeCadShape(content, shape, expected, error)) return false;
        STEPControl_Controller::Init();
        const char* unit = namesOf(content.unit).stepName;
        const UnitsHeld units(unit, unit);
        STEPControl_Writer writer;
        Interface_Static::SetCVal("write.step.schema", "AP214IS");
        if (writer.Transfer(shape, STEPControl_AsIs) != IFSelect_RetDone) {
            error = "Open CASCADE cannot translate the surface to STEP";
            return false;
        }
        // The translator catches its own failures, out of memory among them, and may then
        // report success with a model that lacks the surface.
        const Handle(StepData_StepModel) model = writer.Model();
        if (!modelHoldsSurfaces(model, expected)) {
            error = "Open CASCADE's STEP model lacks the surface (out of memory?)";
            return false;
        }
        const Handle(TCollection_HAsciiString) name =
            new TCollection_HAsciiString(nameOr(content.name, "surface").c_str());
        for (int i = 1; i <= model->NbEntities(); ++i) {
            const Handle(StepBasic_Product) product =
                Handle(StepBasic_Product)::DownCast(model->Value(i));
            if (product.IsNull()) continue;
            product->SetId(name);
            product->SetName(name);
        }
        APIHeaderSection_MakeHeader header(model);
        header.SetName(new TCollection_HAsciiString(nameOr(content.fileName, "surface").c_str()));
        IFSelect_ReturnStatus written;
        {
            const FileSizeSignalHeld held;
            written = writer.Write(temporary.path());
        }
        if (written != IFSelect_RetDone) {
            error = "Open CASCADE cannot write the STEP file";
            return false;
        }
        if (!readWhole(temporary.path(), out)) {
            error = std::string("cannot read back the STEP text: ") + strerror(errno);
            return false;
        }
        return checkStepText(out, expected.size(), error);
    } catch (const Standard_Failure& failure) {
        error = std::string("Open CASCADE failed writing STEP: ") + failure.GetMessageString();
    } catch (const std::bad_alloc&) {
        error = "out of memory writing STEP";
    }
    return false;
}

bool formatStep(const std::vector<const SurfaceModel*>& faces, const std::string& folder,
                std::string& out, std::string& error) {
    CadContent content;
    content.faces = faces;
    return formatStep(content, folder, out, error);
}

bool formatIges(const CadContent& content, std::string& out, std::string& error) {
    silenceOcct();
    try {
        std::vector<SurfaceShape> expected;
        TopoDS_Shape shape;
        if (!makeCadShape(content, shape, expected, error)) return false;
        IGESControl_Controller::Init();
        // Written in millimetres from millimetres (no number changes); the unit the file
        // declares is set in its global section afterwards.
        const UnitsHeld units("MM", "MM");
        // BRep mode: faces, their shared edges and the shell they form, not loose surfaces.
        IGESControl_Writer writer("MM", 1);
        if (!writer.AddShape(shape)) {
            error = "Open CASCADE cannot translate the surface to IGES";
            return false;
        }
        writer.ComputeModel();
        const UnitNames& unit = namesOf(content.unit);
        IGESData_GlobalSection global = writer.Model()->GlobalSection();
        global.SetUnitFlag(unit.igesFlag);
        global.SetUnitName(new TCollection_HAsciiString(unit.igesName));
        global.SetFileName(
            new TCollection_HAsciiString(nameOr(content.fileName, "surface").c_str()));
        global.SetSendName(new TCollection_HAsciiString(nameOr(content.name, "surface").c_str()));
        writer.Model()->SetGlobalSection(global);
        std::ostringstream text;
        if (!writer.Write(text)) {
            error = "Open CASCADE cannot write the IGES file";
            return false;
        }
        out = text.str();
        return true;
    } catch (const Standard_Failure& failure) {
        error = std::string("Open CASCADE failed writing IGES: ") + failure.GetMessageString();
        return false;
    }
}

bool formatIges(const std::vector<const SurfaceModel*>& faces, std::string& out,
                std::string& error) {
    CadContent content;
    content.faces = faces;
    return formatIges(content, out, error);
}
