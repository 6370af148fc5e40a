// The "tracing" group of the panel: calibrating and placing the background image, the mirror
// plane, typed coordinates of the selected and the picked point, and the lines of the hull.
#include "app/panel_tracing.h"

#include <imgui.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/file_callbacks.h"
#include "app/panel_rows.h"
#include "app/point_fields.h"
#include "exchange/lines_callback.h"
#include "input/calibration_input.h"
#include "model/editor_state.h"
#include "model/typed_point.h"

namespace panel {

namespace {

// True when a typed field was given a new value: Enter on a field left as shown, whose text is
// rounded, or on another field of the same row, leaves the value as it was.
bool typedOverShown(float typed, float value) {
    if (std::memcmp(&typed, &value, sizeof typed) == 0) return false;
    char shown[64];
    snprintf(shown, sizeof shown, kTypedFormat, static_cast<double>(value));
    const float asShown = std::strtof(shown, nullptr);
    return std::memcmp(&typed, &asShown, sizeof typed) != 0;
}

// x, y, z and weight of one point of the net (index, or -1 for none), each applied on Enter.
void pointFields(const char* label, long index, void (*apply)(PointField, double)) {
    float values[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    const bool exists =
        index >= 0 && typedPointValues(editor.surface, static_cast<size_t>(index), values);
    float typed[4] = {values[0], values[1], values[2], values[3]};
    ImGui::BeginDisabled(!exists);
    ImGui::SetNextItemWidth(-kLabelRoom);
    if (ImGui::InputFloat4(label, typed, kTypedFormat, kTypedFlags) && exists) {
        for (int k = 0; k < 4; ++k) {
            if (typedOverShown(typed[k], values[k])) apply(static_cast<PointField>(k), typed[k]);
        }
        changed(nullptr, kControlId);
    }
    ImGui::EndDisabled();
    note("point fields", label, values[0], false, exists);
}

// The background image's calibration, in one row: "calibrate" and "done", the distance of the
// two marks, and where the image's lower-left corner lies.
void calibrationRow(ViewState& view) {
    button("calibrate", calibrateCallback);
    ImGui::SameLine();
    const bool calibrating = view.calibration.step != CalibrationStep::idle;
    ImGui::BeginDisabled(!calibrating);
    if (ImGui::Button("done")) changed(calibrationDoneCallback, kControlId);
    ImGui::EndDisabled();
    note("button", "done", 0.0, false, calibrating);

    ImGui::SameLine();
    ImGui::SetNextItemWidth(70.0f);
    if (ImGui::InputFloat("distance", &view.calibration.distance, 0.0f, 0.0f, "%g", kTypedFlags))
        changed(calibrationDistanceCallback, kControlId);
    note("typed", "distance", view.calibration.distance);

    BackgroundPlacement& placement = view.backgroundPlacement;
    float origin[2] = {placement.originZ, placement.originY};
    ImGui::SameLine();
    ImGui::SetNextItemWidth(-kLabelRoom);
    if (ImGui::InputFloat2("origin z y", origin, kTypedFormat, kTypedFlags) &&
        (typedOverShown(origin[0], placement.originZ) ||
         typedOverShown(origin[1], placement.originY))) {
        if (typedOverShown(origin[0], placement.originZ)) placement.originZ = origin[0];
        if (typedOverShown(origin[1], placement.originY)) placement.originY = origin[1];
        changed(backgroundPlacementCallback, kControlId);
    }
    note("typed", "origin z y", placement.originZ);
}

// The image's opacity, then "mirror", the axis its plane is normal to and the plane's offset.
void opacityAndMirrorRow(BackgroundPlacement& placement, PanelVariables& panel) {
    ImGui::SetNextItemWidth(100.0f);
    if (ImGui::SliderFloat("opacity", &placement.opacity, 0.0f, 1.0f, "%.2f",
                           ImGuiSliderFlags_AlwaysClamp)) {
        changed(nullptr, kControlId);
    }
    if (ImGui::IsItemDeactivatedAfterEdit()) changed(backgroundPlacementCallback, kControlId);
    note("slider", "opacity", placement.opacity);

    ImGui::SameLine(0.0f, 24.0f);
    checkBox("mirror", &panel.mirrorEnabled, mirrorCallback);
    static const char* const kAxes[] = {"x =", "y =", "z ="};
    ImGui::SameLine();
    ImGui::SetNextItemWidth(60.0f);
    if (ImGui::Combo("##mirror axis", &panel.mirrorPlane.axis, kAxes, IM_ARRAYSIZE(kAxes)))
        changed(mirrorCallback, kControlId);
    note("list", "mirror axis", panel.mirrorPlane.axis);
    ImGui::SameLine();
    ImGui::SetNextItemWidth(-kLabelRoom);
    if (ImGui::InputFloat("mirror plane", &panel.mirrorPlane.offset, 0.0f, 0.0f, kTypedFormat,
                          kTypedFlags)) {
        changed(mirrorCallback, kControlId);
    }
    note("typed", "mirror plane", panel.mirrorPlane.offset);
}

// The "lines" rollout: the stations, waterlines and buttocks the views show, and the files the
// lines plan and the offset table are written to.
void linesRows(PanelVariables& panel) {
    rowState().group = "lines";
    const bool open = ImGui::CollapsingHeader("lines");
    note("rollout", "lines", 0.0, open);
    if (!open) return;
    checkBox("show lines", &panel.showLines, nullptr);
    textBox("stations", panel.linesStations);
    textBox("waterlines", panel.linesWaterlines);
    textBox("buttocks", panel.linesButtocks);
    textBox("lines plan", panel.linesFileName);
    button("write lines plan", linesPlanCallback);
    browseButton("lines plan", panel.linesFileName, "lines plan (.dxf, .svg, .pdf)", true);
    textBox("offsets", panel.offsetsFileName);
    button("write offsets", offsetTableCallback);
    browseButton("offsets", panel.offsetsFileName, "offset table (.csv)", true);
}

}  // namespace

void tracingGroup(EditorState& s) {
    groupTitle("tracing");
    calibrationRow(s.view);
    opacityAndMirrorRow(s.view.backgroundPlacement, s.panel);
    pointFields("section point", selectedSectionPointIndex(s.surface, s.selection),
                typeSectionPointValue);
    pointFields("picked point", pickedPointIndex(s.surface, s.selection), typePickedPointValue);
    linesRows(s.panel);
}

}  // namespace panel
