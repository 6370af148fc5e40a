// The panel's "write lines plan" and "write offsets" buttons.
#include "exchange/lines_callback.h"

#include <cctype>
#include <string>

#include "exchange/lines_plan.h"
#include "exchange/lines_print.h"
#include "exchange/offset_table.h"
#include "io/editor_file_io.h"
#include "io/surface_file.h"
#include "model/editor_state.h"

namespace {

std::string extensionOf(const std::string& path) {
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return "";
    std::string extension = path.substr(dot + 1);
    for (char& c : extension) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return extension;
}

// The request the panel's boxes make, as a lines plan.
bool requestOfPanel(const SurfaceModel& shown, const PanelVariables& panel, LinesRequest& request,
                    std::string& error) {
    LinesValues values;
    if (!linesValuesOfPanel(shown, panel, values, error)) return false;
    request = LinesRequest();
    request.stations = values.stations;
    request.waterlines = values.waterlines;
    request.buttocks = values.buttocks;
    request.mirror = values.mirror;
    return true;
}

}  // namespace

void writeEditorLinesPlan(EditorState& state) {
    const EditorState& s = state;
    SurfaceModel skinned;
    const SurfaceModel& shown = surfaceToSave(s.surface, s.panel.skinningEnabled != 0, s.derived, skinned);
    const std::string path = s.panel.linesFileName;
    const std::string extension = extensionOf(path);
    if (extension != "dxf" && extension != "svg" && extension != "pdf") {
        setStatusLinef(state.panel, "lines plan: give a file name ending in .dxf, .svg or .pdf");
        return;
    }
    LinesRequest request;
    LinesPlan plan;
    std::string error;
    if (!requestOfPanel(shown, s.panel, request, error) ||
        !makeLinesPlan(shown, request, plan, error)) {
        setStatusLinef(state.panel, "lines plan: %s", error.c_str());
        return;
    }
    const LinesDrawing drawing = layOutLinesPlan(plan);
    std::string message;
    if (extension == "dxf") {
        if (writeFileReplacing(path.c_str(), formatLinesDxf(drawing), error)) {
            message = "wrote the lines plan " + path + " (DXF R12, model units)";
        } else {
            message = "cannot write " + path + ": " + error;
        }
    } else {
        writeLinesPrint(path, extension == "svg" ? PrintFormat::svg : PrintFormat::pdf, drawing,
                        PrintScale(), message);
    }
    setStatusLinef(state.panel, "lines plan: %s", message.c_str());
}

void writeEditorOffsetTable(EditorState& state) {
    const EditorState& s = state;
    SurfaceModel skinned;
    const SurfaceModel& shown = surfaceToSave(s.surface, s.panel.skinningEnabled != 0, s.derived, skinned);
    LinesRequest request;
    std::string error;
    if (!requestOfPanel(shown, s.panel, request, error)) {
        setStatusLinef(state.panel, "offsets: %s", error.c_str());
        return;
    }
    const bool zMirror = s.panel.mirrorEnabled != 0 && s.panel.mirrorPlane.axis == 2;
    const double centre = zMirror ? s.panel.mirrorPlane.offset : 0.0;
    OffsetTable table;
    if (!makeOffsetTable(shown, request.stations, request.waterlines, centre, 0.0, table, error) ||
        !writeFileReplacing(s.panel.offsetsFileName, formatOffsetTable(table), error)) {
        setStatusLinef(state.panel, "offsets: %s", error.c_str());
        return;
    }
    setStatusLinef(state.panel, "offsets: wrote %zu stations x %zu waterlines to %s",
                   table.stations.size(), table.waterlines.size(), s.panel.offsetsFileName);
}
