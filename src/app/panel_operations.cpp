// The "operations" group of the panel: which section, the multiplicity, the section's rotation,
// translation and scale, the picked point's weight, a new surface and the degrees, the loft's
// options, the section commands and the shading of the main view.
#include "app/panel_operations.h"

#include <imgui.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "app/knot_controls.h"
#include "app/panel_rows.h"
#include "app/panel_widgets.h"
#include "app/rebuild_popup.h"
#include "app/section_callbacks.h"
#include "app/surface_callbacks.h"
#include "model/editor_state.h"
#include "model/loft_ends.h"
#include "model/loft_settings.h"
#include "model/rational_sections.h"
#include "model/section_correspondence.h"
#include "model/skinning.h"
#include "model/surface_commands.h"
#include "model/surface_edit.h"
#include "model/transforms.h"
#include "view/grid_renderer.h"

namespace panel {

namespace {

// Drag speeds, in units per pixel of pointer movement.
constexpr float kWeightSpeed = 0.5f;
constexpr float kDegreeSpeed = 1.0f;
// GLUI's 0.002 for "multipl." took 500 pixels a step; 0.05 takes 20.
constexpr float kMultiplicitySpeed = 0.05f;
constexpr float kTranslationSpeed = 0.002f;
constexpr float kDestPlaneSpeed = 0.1f;
// "z_rot" is reset to 0 after every turn; GLUI stepped an unbounded float spinner by
// 0.001 * speed per pixel at that value, so with its speed of 100 it always stepped 0.1 radian
// per pixel; taken literally as ImGui's per-pixel speed, 100 radians per pixel would turn the
// section to an arbitrary angle on the smallest drag.
constexpr float kZRotSpeed = 0.1f;

constexpr float kArcballDiameter = 92.0f;

void listBox(const char* label, int* value) {
    static const char* const kSurfaceTypes[] = {"Revolving surface"};
    ImGui::SetNextItemWidth(-kLabelRoom);
    if (ImGui::Combo(label, value, kSurfaceTypes, IM_ARRAYSIZE(kSurfaceTypes))) {
        changed(nullptr, kSurfTypeId);
    }
    note("list", label, *value);
}

// The loft's section parameters, in the order of LoftParameters.
void loftParametersList(const char* label, int* value) {
    static const char* const kChoices[] = {"chord", "centripetal", "uniform"};
    // The label is longer than the room other rows leave for theirs.
    const float labelWidth = ImGui::CalcTextSize(label).x + ImGui::GetStyle().ItemInnerSpacing.x;
    ImGui::SetNextItemWidth(ImGui::GetContentRegionAvail().x - labelWidth);
    if (ImGui::Combo(label, value, kChoices, IM_ARRAYSIZE(kChoices))) {
        changed(loftOptionsCallback, kControlId);
    }
    note("list", label, *value);
}

// A list of fixed choices bound to *value; a change redraws the main view.
void choiceList(const char* label, int* value, const char* const* choices, int count) {
    ImGui::SetNextItemWidth(-kLabelRoom);
    if (ImGui::Combo(label, value, choices, count)) changed(nullptr, kControlId);
    note("list", label, *value);
}

// "shading" beside "fill surf": GLU's drawing or an analysis; the curvature map's choice of
// curvature and the range of its colour scale; "comb" for the section window.
void analysisRows(PanelVariables& panel, ViewState& view) {
    static const char* const kShadings[] = {"GLU", "zebra", "curvature"};
    static const char* const kCurvatures[] = {"Gaussian", "mean"};
    choiceList("shading", &panel.shading, kShadings, IM_ARRAYSIZE(kShadings));
    if (panel.shading == kShadingCurvature) {
        choiceList("curvature", &panel.curvatureKind, kCurvatures, IM_ARRAYSIZE(kCurvatures));
        char range[64];
        snprintf(range, sizeof range, "blue -%.4g .. red +%.4g",
                 static_cast<double>(lastAnalysisFrame().curvatureRange),
                 static_cast<double>(lastAnalysisFrame().curvatureRange));
        staticText(range);
    }
    checkBox("comb", &view.curvatureComb, nullptr);
    ImGui::SameLine();
    rebuildButton();
}

void rotation(const char* label, float* matrix, ControlCallback callback, const std::string& step) {
    const bool edited = arcballControl(label, matrix, kArcballDiameter);
    startGesture(step);
    if (edited) changed(callback, kControlId);
    endGesture();
    note("rotation", label);
}

void translation(const char* label, PadKind kind, float* values, ControlCallback callback,
                 const std::string& step) {
    const bool edited = translationPad(label, kind, values, kTranslationSpeed);
    startGesture(step);
    if (edited) changed(callback, kControlId);
    endGesture();
    note("translation", label, values[0]);
}

// One radio button per section, "0" to countV - 1, bound to currentSection; they wrap onto
// further lines when the column is full.
void sectionButtons(int* currentSection, int sections) {
    const char* outer = rowState().group;
    rowState().group = "plane";
    ImGui::PushID("plane");
    const float right = ImGui::GetCursorScreenPos().x + ImGui::GetContentRegionAvail().x;
    const ImGuiStyle& style = ImGui::GetStyle();
    for (int i = 0; i < sections; ++i) {
        char name[16];
        snprintf(name, sizeof name, "%d", i);
        if (i > 0) {
            const float width =
                ImGui::GetFrameHeight() + style.ItemInnerSpacing.x + ImGui::CalcTextSize(name).x;
            if (ImGui::GetItemRectMax().x + style.ItemSpacing.x + width <= right) {
                ImGui::SameLine();
            }
        }
        if (ImGui::RadioButton(name, currentSection, i)) {
            changed(currentSectionCallback, kControlId);
        }
        note("radio", name, i, *currentSection == i);
    }
    if (sections < 1) ImGui::TextDisabled("no sections");
    ImGui::PopID();
    rowState().group = outer;
}

void subgroupTitle(const char* label) {
    rowState().group = label;
    ImGui::TextColored(ImVec4(0.75f, 0.82f, 0.95f, 1.0f), "%s", label);
    note("group", label);
    ImGui::Separator();
}

// The name of a weight change of the picked point, or "weight" when none is picked.
std::string pickedPointStepName(const SurfaceModel& surface, const Selection& selection) {
    const int point = selection.pickedPointOffset / 4;
    if (selection.pickedPointOffset < 0 || surface.countU < 1) return "weight";
    return "weight of point " + std::to_string(point % surface.countU) + " of section " +
           std::to_string(point / surface.countU);
}

// "rational sections": sections whose weights differ lofted as homogeneous
// points, or brought to common weights first. A change is one undoable step; one the sections
// refuse leaves the choice as it was.
void rationalSectionsCombo(const PanelVariables& panel) {
    static const char* const kChoices[] = {"homogeneous", "compatible"};
    const char* label = "rational sections";
    int choice = panel.rationalSections == 1 ? 1 : 0;
    const float labelWidth = ImGui::CalcTextSize(label).x + ImGui::GetStyle().ItemInnerSpacing.x;
    ImGui::SetNextItemWidth(ImGui::GetContentRegionAvail().x - labelWidth);
    if (ImGui::Combo(label, &choice, kChoices, IM_ARRAYSIZE(kChoices))) {
        setRationalSections(editor, static_cast<LoftRational>(choice));
    }
    note("list", label, choice);
}

// "start" / "end": how an open loft ends at its first / last section (free, closing to a pole,
// or leaving along a direction), side by side on one row. Every change is one undoable step; a
// refused one leaves the row as it was.
void loftEndCombo(const char* label, const LoftEnd& end, bool atStart, float width) {
    static const char* const kKinds[] = {"free", "point", "tangent"};
    int kind = static_cast<int>(end.kind);
    ImGui::SetNextItemWidth(width);
    if (ImGui::Combo(label, &kind, kKinds, IM_ARRAYSIZE(kKinds))) {
        LoftEnd wanted = end;
        wanted.kind = static_cast<LoftEndKind>(kind);
        setLoftEnd(editor, atStart, wanted);
    }
    note("list", label, kind);
}

// The pole or direction of a non-free end ("default" takes the centroid pushed out / the
// section's normal), its bulge and a default pole's distance, in the "ends..." popup.
void loftEndDetails(const char* label, const LoftEnd& end, bool atStart) {
    if (end.kind == LoftEndKind::free) return;
    ImGui::PushID(label);
    ImGui::TextUnformatted(label);
    LoftEnd wanted = end;
    float typed[3] = {end.vector[0], end.vector[1], end.vector[2]};
    ImGui::SetNextItemWidth(220.0f);
    if (ImGui::InputFloat3(end.kind == LoftEndKind::point ? "at" : "along", typed, kTypedFormat,
                           kTypedFlags)) {
        std::copy_n(typed, 3, wanted.vector);
        wanted.given = true;
    }
    ImGui::SameLine();
    if (ImGui::Button(end.given ? "default" : "(default)")) wanted.given = false;
    float bulge = end.bulge;
    ImGui::SetNextItemWidth(100.0f);
    if (ImGui::InputFloat("bulge", &bulge, 0.0f, 0.0f, kTypedFormat, kTypedFlags)) {
        wanted.bulge = bulge;
    }
    if (end.kind == LoftEndKind::point && !end.given) {
        float distance = end.length;
        ImGui::SameLine();
        ImGui::SetNextItemWidth(100.0f);
        if (ImGui::InputFloat("out (0: radius)", &distance, 0.0f, 0.0f, kTypedFormat,
                              kTypedFlags)) {
            wanted.length = distance;
        }
    }
    ImGui::PopID();
    if (wanted != end) setLoftEnd(editor, atStart, wanted);
}

void loftEndRows(PanelVariables& panel) {
    const ImGuiStyle& style = ImGui::GetStyle();
    const float labels = ImGui::CalcTextSize("start").x + ImGui::CalcTextSize("end").x +
                         3.0f * style.ItemInnerSpacing.x + style.ItemSpacing.x;
    const float width = (ImGui::GetContentRegionAvail().x - labels) * 0.5f;
    loftEndCombo("start", panel.loftStart, true, width);
    ImGui::SameLine();
    loftEndCombo("end", panel.loftEnd, false, width);
}

// Beside "closed loft" while an end is not free: opens the details of the ends.
void loftEndsButton(PanelVariables& panel) {
    if (panel.loftStart.kind == LoftEndKind::free && panel.loftEnd.kind == LoftEndKind::free) {
        return;
    }
    ImGui::SameLine();
    if (ImGui::SmallButton("ends...")) ImGui::OpenPopup("loft ends");
    if (ImGui::BeginPopup("loft ends")) {
        loftEndDetails("start", panel.loftStart, true);
        loftEndDetails("end", panel.loftEnd, false);
        ImGui::EndPopup();
    }
}

}  // namespace

void operationsGroup(EditorState& s) {
    const ImGuiTableFlags columns = ImGuiTableFlags_BordersInnerV;
    groupTitle("operations");
    if (ImGui::BeginTable("operations", 2, columns)) {
        ImGui::TableNextColumn();
        subgroupTitle("plane");
        sectionButtons(&s.selection.currentSection, s.surface.countV);
        subgroupTitle("multiplicity");
        clampedIntSpinner("multipl.", &s.derived.multiplicity, kMultiplicitySpeed, 1,
                          s.surface.orderV - 1, multiplicityCallback, "multiplicity");
        rowState().group = "operations";
        ImGui::Separator();
        const std::string section = " section " + std::to_string(s.selection.currentSection);
        rotation("rotation", s.panel.rotationMatrix, rotationCallback, "rotate" + section);
        floatSpinner("z_rot", &s.panel.zRotAngle, kZRotSpeed, zRotCallback, "rotate" + section);
        staticText("ctrl: around y");
        staticText("alt: around x");
        staticText("z_rot: around z");
        floatSpinner("weight", &s.selection.weightValue, kWeightSpeed, weightCallback,
                     pickedPointStepName(s.surface, s.selection));
        listBox("surf type", &s.panel.surfType);
        button("create new surf", createSurfaceCallback);
        intSpinner("degree S", &s.panel.degreeS, kDegreeSpeed, degreeSCallback, "degree S");
        intSpinner("degree T", &s.panel.degreeT, kDegreeSpeed, degreeTCallback, "degree T");

        ImGui::TableNextColumn();
        const std::string move = "move" + section;
        translation("x", PadKind::horizontal, &s.panel.translateX, translateXCallback, move);
        translation("y", PadKind::vertical, &s.panel.translateY, translateYCallback, move);
        translation("z", PadKind::vertical, &s.panel.translateZ, translateZCallback, move);
        translation("zy", PadKind::both, s.panel.translateZY, translateZYCallback, move);
        button("scaleUp", scaleUpCallback);
        ImGui::SameLine();  // one row for both, which leaves room for the loft's ends
        button("scaleDown", scaleDownCallback);
        checkBox("skinning", &s.panel.skinningEnabled, skinningCallback);
        ImGui::SameLine();  // one row for both, which leaves room for "rational sections"
        checkBox("closed loft", &s.panel.closedLoft, loftOptionsCallback);
        loftEndsButton(s.panel);
        loftParametersList("loft parameters", &s.panel.loftParameters);
        rationalSectionsCombo(s.panel);
        loftEndRows(s.panel);
        button("flip", flipSectionCallback);
        ImGui::SameLine();
        button("align all", alignSectionsCallback);
        button("start -1", startBackCallback);
        ImGui::SameLine();
        button("start +1", startForwardCallback);
        clampedIntSpinner("dest. plane", &s.selection.destPlane, kDestPlaneSpeed, 0,
                          s.surface.countV - 1, nullptr);
        button("copy", copySectionCallback);
        checkBox("fill surf", &s.panel.fillSurface, fillSurfaceCallback);
        analysisRows(s.panel, s.view);
        ImGui::EndTable();
    }
}

}  // namespace panel
