// The rebuild popup: its fields, the preview rebuilt whenever they or the surface change, the
// deviation map it shows, and "apply".
#include "app/rebuild_popup.h"

#include <imgui.h>

#include <cstdio>
#include <string>

#include "model/editor_state.h"
#include "model/surface_rebuild.h"
#include "view/deviation_overlay.h"
#include "view/redraw.h"

namespace {

// The popup's own state: its fields, and the preview with what it was computed from.
struct RebuildPopup {
    bool open = false;
    int scope = 0;  // a RebuildScope: the surface, its sections, the current section
    int mode = 0;   // 0: point counts, 1: a tolerance
    int points[2] = {4, 4};
    double tolerance = 1e-3;
    double fairness = 0.0;

    bool previewValid = false;
    SurfaceModel previewOf;
    RebuildOptions previewOptions;
    int previewScope = -1;
    int previewSkinning = -1;
    int previewSection = -1;
    bool previewDone = false;
    std::string previewText;
};

RebuildPopup gRebuild;

// Fields take their value on Enter, as the panel's typed fields do: a rebuild of a large net
// takes a moment, and is not run for every digit typed.
constexpr ImGuiInputTextFlags kOnEnter =
    ImGuiInputTextFlags_EnterReturnsTrue | ImGuiInputTextFlags_AutoSelectAll;

RebuildScope scopeOf(const RebuildPopup& p) {
    return static_cast<RebuildScope>(p.scope);
}

RebuildOptions optionsOf(const RebuildPopup& p) {
    RebuildOptions o;
    if (p.mode == 0) {
        o.pointsU = p.points[0];
        o.pointsV = scopeOf(p) == RebuildScope::surface ? p.points[1] : 0;
    } else {
        o.tolerance = p.tolerance;
    }
    o.fairness = p.fairness;
    return o;
}

bool sameOptions(const RebuildOptions& a, const RebuildOptions& b) {
    return a.pointsU == b.pointsU && a.pointsV == b.pointsV && a.tolerance == b.tolerance &&
           a.fairness == b.fairness;
}

// Rebuilds the preview when the fields, the surface or skinning changed since the last one.
void refreshPreview(RebuildPopup& p) {
    const EditorState& s = editor;
    const RebuildOptions options = optionsOf(p);
    if (p.previewValid && p.previewScope == p.scope &&
        p.previewSkinning == s.panel.skinningEnabled &&
        p.previewSection == s.selection.currentSection && sameOptions(options, p.previewOptions) &&
        sameSurface(p.previewOf, s.surface)) {
        return;
    }
    p.previewValid = true;
    p.previewOf = s.surface;
    p.previewOptions = options;
    p.previewScope = p.scope;
    p.previewSkinning = s.panel.skinningEnabled;
    p.previewSection = s.selection.currentSection;
    RebuildReport report;
    std::string refusal;
    p.previewDone = rebuildPreview(s, options, scopeOf(p), report, refusal);
    if (p.previewDone) {
        const bool curves = scopeOf(p) != RebuildScope::surface;
        const float red = showDeviationMap(report.positions, report.deviation, report.samplesU,
                                           report.samplesV, curves);
        char map[80];
        snprintf(map, sizeof map, "\nmap on the %s: blue 0 .. red %.3g",
                 curves ? "sections" : "surface", static_cast<double>(red));
        p.previewText = rebuildReportText(report) + map;
    } else {
        p.previewText = "refused: " + refusal;
        hideDeviationMap();
    }
    requestMainRedraw();
}

void close(RebuildPopup& p) {
    p.open = false;
    p.previewValid = false;
    p.previewOf = SurfaceModel();
    hideDeviationMap();
    requestMainRedraw();
}

void popupRows(RebuildPopup& p) {
    ImGui::RadioButton("surface", &p.scope, static_cast<int>(RebuildScope::surface));
    ImGui::SameLine();
    ImGui::RadioButton("sections", &p.scope, static_cast<int>(RebuildScope::sections));
    ImGui::SameLine();
    const std::string current = "section " + std::to_string(editor.selection.currentSection);
    ImGui::RadioButton(current.c_str(), &p.scope, static_cast<int>(RebuildScope::currentSection));
    ImGui::RadioButton("points", &p.mode, 0);
    ImGui::SameLine();
    ImGui::RadioButton("tolerance", &p.mode, 1);
    ImGui::SetNextItemWidth(160.0f);
    if (p.mode == 0) {
        if (scopeOf(p) == RebuildScope::surface) {
            ImGui::InputInt2("points U, V", p.points, kOnEnter);
        } else {
            ImGui::InputInt("points U", &p.points[0], 0, 0, kOnEnter);
        }
    } else {
        ImGui::InputDouble("distance", &p.tolerance, 0.0, 0.0, "%.4g", kOnEnter);
    }
    ImGui::SetNextItemWidth(160.0f);
    ImGui::InputDouble("fair", &p.fairness, 0.0, 0.0, "%.3g", kOnEnter);
    refreshPreview(p);
    ImGui::PushTextWrapPos(ImGui::GetCursorPosX() + 380.0f);
    ImGui::TextUnformatted(p.previewText.c_str());
    ImGui::PopTextWrapPos();
    ImGui::BeginDisabled(!p.previewDone);
    if (ImGui::Button("apply")) {
        std::string message;
        if (rebuildInEditor(editor, optionsOf(p), scopeOf(p), message)) {
            ImGui::CloseCurrentPopup();
            close(p);
        }
    }
    ImGui::EndDisabled();
    ImGui::SameLine();
    if (ImGui::Button("close")) {
        ImGui::CloseCurrentPopup();
        close(p);
    }
}

}  // namespace

void rebuildButton() {
    RebuildPopup& p = gRebuild;
    if (ImGui::SmallButton("rebuild...")) {
        ImGui::OpenPopup("rebuild");
        const SurfaceModel& surface = editor.surface;
        p.points[0] = surface.countU > 0 ? surface.countU : 4;
        p.points[1] = surface.countV > 0 ? surface.countV : 4;
        p.previewValid = false;
    }
    if (ImGui::BeginPopup("rebuild")) {
        p.open = true;
        popupRows(p);
        ImGui::EndPopup();
    } else if (p.open) {
        close(p);
    }
}
