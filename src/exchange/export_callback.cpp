// The panel's "export" button: the editor's surface to the file named in the "export" box.
#include "exchange/export_callback.h"

#include <string>

#include "exchange/export_surface.h"
#include "io/editor_file_io.h"
#include "model/editor_state.h"

void exportEditorSurface(EditorState& state) {
    const EditorState& s = state;
    SurfaceModel skinned;
    skinned.fileName = s.surface.fileName;  // the skinned surface is the same document
    const SurfaceModel& surface =
        surfaceToSave(s.surface, s.panel.skinningEnabled != 0, s.derived, skinned);
    ExportReport report;
    std::string message;
    // With "mirror" on, the half-model is exported together with its mirror image.
    const MirrorPlane* mirror = s.panel.mirrorEnabled != 0 ? &s.panel.mirrorPlane : nullptr;
    // The panel lists the units in the order of LengthUnit.
    const LengthUnit units[] = {LengthUnit::mm, LengthUnit::cm, LengthUnit::m, LengthUnit::in};
    const int chosen = s.panel.exportUnit >= 0 && s.panel.exportUnit < 4 ? s.panel.exportUnit : 0;
    exportSurface(s.panel.exportFileName, surface, std::nullopt, report, message, mirror,
                  units[chosen]);
    setStatusLinef(state.panel, "%s", message.c_str());
}
