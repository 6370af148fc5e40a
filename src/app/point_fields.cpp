// Typed coordinates of one control point through the edit history, and the mirror plane's
// fields.
#include "app/point_fields.h"

#include <string>

#include "model/surface_edit.h"
#include "view/redraw.h"

namespace {

bool typeValue(EditorState& s, long index, const std::string& point, PointField field,
               double value) {
    if (index < 0) {
        setStatusLinef(editor.panel, "%s: no such point to type into", point.c_str());
        return false;
    }
    bool typed = false;
    const std::string name = std::string(pointFieldName(field)) + " of " + point;
    runEdit(s, name, [&] {
        std::string error;
        if (!typePointValue(s.surface, static_cast<size_t>(index), field, value, error)) {
            setStatusLinef(editor.panel, "%s refused: %s", name.c_str(), error.c_str());
            return;
        }
        typed = true;
        setStatusLinef(editor.panel, "%s set to %g", name.c_str(), value);
        surfaceEdited(
            s, field == PointField::weight ? EditEffect::reweighted : EditEffect::movedPoints);
    });
    return typed;
}

std::string pointName(const SurfaceModel& surface, long index) {
    if (index < 0 || surface.countU < 1) return "no point";
    return "point " + std::to_string(index % surface.countU) + " of section " +
           std::to_string(index / surface.countU);
}

}  // namespace

long selectedSectionPointIndex(const SurfaceModel& surface, const Selection& selection) {
    if (!hasSection(surface, selection.currentSection) || selection.selectedPoint < 0 ||
        selection.selectedPoint >= surface.countU) {
        return -1;
    }
    return static_cast<long>(selection.currentSection) * surface.countU + selection.selectedPoint;
}

long pickedPointIndex(const SurfaceModel& surface, const Selection& selection) {
    if (selection.pickedPointOffset < 0 || selection.pickedPointOffset % 4 != 0) return -1;
    const long index = selection.pickedPointOffset / 4;
    return static_cast<size_t>(index) < surface.controlNet.size() ? index : -1;
}

void typeSectionPointValue(PointField field, double value) {
    EditorState& s = editor;
    const long index = selectedSectionPointIndex(s.surface, s.selection);
    typeValue(s, index, pointName(s.surface, index), field, value);
}

void typePickedPointValue(PointField field, double value) {
    EditorState& s = editor;
    const long index = pickedPointIndex(s.surface, s.selection);
    // The "weight" spinner shows the picked point's weight.
    if (typeValue(s, index, "picked " + pointName(s.surface, index), field, value) &&
        field == PointField::weight) {
        s.selection.weightValue = s.surface.controlNet[index].w;
    }
}

void mirrorCallback(int /*id*/) {
    PanelVariables& panel = editor.panel;
    if (!mirrorPlaneIsSound(panel.mirrorPlane)) {
        panel.mirrorPlane = MirrorPlane();
        setStatusLinef(editor.panel, "mirror: the plane needs a finite offset; back to z = 0");
    }
    requestViewsRedraw();
}
