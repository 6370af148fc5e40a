// The panel's "export" button: the editor's surface to the file named in the "export" box.
#include "exchange/export_callback.h"

#include <string>

#include "exchange/export_surface.h"
#include "io/editor_file_io.h"
#include "model/editor_state.h"

void exportCallback(int) {
    const EditorState& s = editor;
    SurfaceModel skinned;
    const SurfaceModel& surface =
        surfaceToSave(s.surface, s.panel.skinningEnabled != 0, s.derived, skinned);
    ExportReport report;
    std::string message;
    exportSurface(s.panel.exportFileName, surface, std::nullopt, report, message);
    setStatus("%s", message.c_str());
}
