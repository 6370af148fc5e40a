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
#include <TopoDS_Compound.hxx>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "exchange/occt_surface.h"

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

}  // namespace

bool formatStep(const std::vector<const SurfaceModel*>& faces, const std::string& folder,
                std::string& out, std::string& error) {
    silenceOcct();
    // One face is written as it is; more go into one compound.
    TopoDS_Shape shape;
    TopoDS_Compound compound;
    BRep_Builder builder;
    builder.MakeCompound(compound);
    for (const SurfaceModel* surface : faces) {
        const Handle(Geom_BSplineSurface) bspline = makeOcctSurface(*surface, error);
        if (bspline.IsNull()) return false;
        const TopoDS_Face face = makeOcctFace(bspline, error);
        if (face.IsNull()) return false;
        builder.Add(compound, face);
        if (faces.size() == 1) shape = face;
    }
    if (faces.size() != 1) shape = compound;

    std::string temporary = (folder.empty() ? std::string(".") : folder) + "/.loftwork-step-XXXXXX";
    const int fd = mkstemp(&temporary[0]);
    if (fd < 0) {
        error = std::string("cannot create a file in its folder: ") + strerror(errno);
        return false;
    }
    close(fd);
    bool ok = false;
    try {
        STEPControl_Writer writer;
        Interface_Static::SetCVal("write.step.schema", "AP214IS");
        if (writer.Transfer(shape, STEPControl_AsIs) != IFSelect_RetDone) {
            error = "Open CASCADE cannot translate the surface to STEP";
        } else if (writer.Write(temporary.c_str()) != IFSelect_RetDone) {
            error = "Open CASCADE cannot write the STEP file";
        } else if (!readWhole(temporary, out)) {
            error = std::string("cannot read back the STEP text: ") + strerror(errno);
        } else {
            ok = true;
        }
    } catch (const Standard_Failure& failure) {
        error = std::string("Open CASCADE failed writing STEP: ") + failure.GetMessageString();
    }
    unlink(temporary.c_str());
    return ok;
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
