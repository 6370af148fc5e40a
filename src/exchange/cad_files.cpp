// STEP and IGES files of a surface through Open CASCADE's writers.
#include "exchange/cad_files.h"

#include <unistd.h>
#include <BRep_Builder.hxx>
#include <IGESControl_Controller.hxx>
#include <IGESControl_Writer.hxx>
#include <Interface_Static.hxx>
#include <Message.hxx>
#include <Message_Messenger.hxx>
#include <Message_PrinterOStream.hxx>
#include <STEPControl_Writer.hxx>
#include <Standard_Failure.hxx>
#include <StepData_StepModel.hxx>
#include <StepGeom_BSplineSurface.hxx>
#include <TopoDS_Compound.hxx>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <sstream>
#include <tuple>

#include "exchange/export_checks.h"
#include "exchange/occt_surface.h"
#include "io/file_size_signal.h"
#include "io/temporary_files.h"

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
bool modelHoldsSurfaces(const Handle(StepData_StepModel)& model,
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

}  // namespace

bool formatStep(const std::vector<const SurfaceModel*>& faces, const std::string& folder,
                std::string& out, std::string& error) {
    silenceOcct();
    // One face is written as it is; more go into one compound. The model must then hold one
    // B-spline surface per face, with the face's poles and degrees.
    std::vector<SurfaceShape> expected;
    TopoDS_Shape shape;
    TopoDS_Compound compound;
    BRep_Builder builder;
    builder.MakeCompound(compound);
    for (const SurfaceModel* surface : faces) {
        const Handle(Geom_BSplineSurface) bspline = makeOcctSurface(*surface, error);
        if (bspline.IsNull()) return false;
        expected.push_back(
            {{bspline->NbUPoles(), bspline->NbVPoles()}, {bspline->UDegree(), bspline->VDegree()}});
        const TopoDS_Face face = makeOcctFace(bspline, error);
        if (face.IsNull()) return false;
        builder.Add(compound, face);
        if (faces.size() == 1) shape = face;
    }
    if (faces.size() != 1) shape = compound;

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
        STEPControl_Writer writer;
        Interface_Static::SetCVal("write.step.schema", "AP214IS");
        if (writer.Transfer(shape, STEPControl_AsIs) != IFSelect_RetDone) {
            error = "Open CASCADE cannot translate the surface to STEP";
            return false;
        }
        // The translator catches its own failures, out of memory among them, and may then
        // report success with a model that lacks the surface.
        if (!modelHoldsSurfaces(writer.Model(), expected)) {
            error = "Open CASCADE's STEP model lacks the surface (out of memory?)";
            return false;
        }
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
        return checkStepText(out, faces.size(), error);
    } catch (const Standard_Failure& failure) {
        error = std::string("Open CASCADE failed writing STEP: ") + failure.GetMessageString();
    } catch (const std::bad_alloc&) {
        error = "out of memory writing STEP";
    }
    return false;
}

bool formatIges(const std::vector<const SurfaceModel*>& faces, std::string& out,
                std::string& error) {
    silenceOcct();
    try {
        IGESControl_Controller::Init();
        IGESControl_Writer writer("MM", 0);
        for (const SurfaceModel* surface : faces) {
            const Handle(Geom_BSplineSurface) bspline = makeOcctSurface(*surface, error);
            if (bspline.IsNull()) return false;
            if (!writer.AddGeom(bspline)) {
                error = "Open CASCADE cannot translate the surface to IGES";
                return false;
            }
        }
        writer.ComputeModel();
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
