// "load points" with STEP and IGES files: their face is read by the import
// and committed by the same load as a surface file.
#include "exchange/import_callback.h"

#include "exchange/cad_import.h"
#include "io/editor_file_io.h"
#include "model/editor_state.h"

bool loadOrImportEditorSurface(EditorState& state, const char* path, std::string& message) {
    if (path == nullptr || !isCadFileName(path)) return loadEditorSurface(state, path, message);
    const SurfaceReader import = [](const std::string& name, SurfaceModel& out, std::string& error,
                                    std::string& note) {
        ImportReport report;
        if (!importCadSurface(name, 0, out, report, error)) return false;
        note = importMessage(name, out, report);
        return true;
    };
    return loadEditorSurface(state, path, message, import);
}
