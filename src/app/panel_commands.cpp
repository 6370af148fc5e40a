// The "commands" group of the panel: the surface file, undo and redo, export, the background
// image and the knot rollouts.
#include "app/panel_commands.h"

#include <imgui.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/file_callbacks.h"
#include "app/file_chooser.h"
#include "app/panel_rows.h"
#include "app/surface_callbacks.h"
#include "exchange/export_callback.h"
#include "exchange/import_callback.h"
#include "io/serializator.h"
#include "model/editor_state.h"
#include "model/surface_edit.h"
#include "view/background_image.h"

namespace panel {

namespace {

// An unbounded float spinner of GLUI steps by sqrt(|value|) * 0.05 per pixel (at least 0.001),
// times its speed. A knot in [0, 1] therefore moved by 0.001 to 0.05 per pixel; 0.01 keeps that
// feel.
constexpr float kKnotSpeed = 0.01f;
constexpr int kKnotRowsShown = 7;     // an open knot rollout scrolls past this many spinners,
constexpr int kKnotRowsBothOpen = 4;  // or this many while the other one is open too

// The unit of the export's STEP and IGES files, on the row of its buttons.
void exportUnitList(int* value) {
    static const char* const kUnits[] = {"mm", "cm", "m", "in"};
    ImGui::SameLine();
    ImGui::SetNextItemWidth(ImGui::CalcTextSize("mm").x + ImGui::GetFrameHeight() * 1.6f);
    if (ImGui::Combo("##export unit", value, kUnits, IM_ARRAYSIZE(kUnits))) {
        changed(nullptr, kControlId);
    }
    note("list", "export unit", *value);
}

// A knot spinner changed its knot in place.
void knotChanged(int /*id*/) {
    surfaceEdited(editor, EditEffect::display);
}

// One rollout of knot spinners, labelled "0", "1", ..., bound to the knots themselves; `other`
// is the label of the other rollout.
void knotRollout(const char* label, const char* other, const char* direction,
                 std::vector<float>& knots) {
    if (editor.panel.closeKnotRollouts) ImGui::SetNextItemOpen(false);
    const bool open = ImGui::CollapsingHeader(label);
    note("rollout", label, static_cast<double>(knots.size()), open);
    if (!open) return;
    const char* outer = rowState().group;
    rowState().group = label;
    ImGui::PushID(label);
    // The spinners scroll in a box of a few rows, so the groups below stay in the window however
    // many knots there are. (A box of height 0 would take all the room left.)
    ImGui::PopID();
    const bool otherOpen = ImGui::GetStateStorage()->GetInt(ImGui::GetID(other), 0) != 0;
    ImGui::PushID(label);
    const int most = otherOpen ? kKnotRowsBothOpen : kKnotRowsShown;
    const int rows = std::clamp(static_cast<int>(knots.size()), 1, most);
    ImGui::BeginChild("knots", ImVec2(0.0f, rows * ImGui::GetFrameHeightWithSpacing()));
    for (size_t i = 0; i < knots.size(); ++i) {
        char name[24];
        snprintf(name, sizeof name, "%zu", i);
        floatSpinner(name, &knots[i], kKnotSpeed, knotChanged,
                     "knot " + std::to_string(i) + " in " + direction);
    }
    ImGui::EndChild();
    ImGui::PopID();
    rowState().group = outer;
}

// Whether the surface has changes that were not saved, under the "file" box.
void unsavedMark(bool unsaved) {
    if (unsaved) {
        ImGui::TextColored(ImVec4(0.95f, 0.55f, 0.35f, 1.0f), "unsaved changes");
    } else {
        ImGui::TextDisabled("no unsaved changes");
    }
    note("static text", unsaved ? "unsaved changes" : "no unsaved changes");
}

// "undo" and "redo" with the number of steps each way; greyed out when there are none.
void historyButtons(const EditHistory& history) {
    const size_t undo = history.undoSteps.size();
    const size_t redo = history.redoSteps.size();
    char label[48];
    snprintf(label, sizeof label, "undo (%zu)###undo", undo);
    ImGui::BeginDisabled(undo == 0);
    if (ImGui::Button(label)) changed(undoCallback, kControlId);
    ImGui::EndDisabled();
    note("button", "undo", static_cast<double>(undo), false, undo != 0);
    ImGui::SameLine();
    snprintf(label, sizeof label, "redo (%zu)###redo", redo);
    ImGui::BeginDisabled(redo == 0);
    if (ImGui::Button(label)) changed(redoCallback, kControlId);
    ImGui::EndDisabled();
    note("button", "redo", static_cast<double>(redo), false, redo != 0);
}
}  // namespace

void commandsGroup(EditorState& s) {
    const ImGuiTableFlags columns = ImGuiTableFlags_BordersInnerV;
    groupTitle("commands");
    if (ImGui::BeginTable("commands", 2, columns)) {
        ImGui::TableNextColumn();
        textBox("file", s.panel.surfaceFileName);
        unsavedMark(s.history.unsavedChanges);
        button("load points", loadOrImportCallback);
        browseButton("file", s.panel.surfaceFileName, "surface file", false, kSurfaceFileFilters);
        button("save points", savePointsCallback);
        historyButtons(s.history);
        textBox("export", s.panel.exportFileName);
        button("export", exportCallback);
        browseButton("export", s.panel.exportFileName, "export to", true);
        exportUnitList(&s.panel.exportUnit);
        ImGui::TableNextColumn();
        textBox("background", s.panel.backgroundFileName);
        button("background", backgroundCallback);
        browseButton("background", s.panel.backgroundFileName, "background image", false);
        knotRollout("knots in s", "knots in t", "s", s.surface.knotsU);
        knotRollout("knots in t", "knots in s", "t", s.surface.knotsV);
        s.panel.closeKnotRollouts = false;
        ImGui::EndTable();
    }
}

}  // namespace panel
