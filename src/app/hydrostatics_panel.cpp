// The "hydrostatics" group of the panel. The figures belong to the surface the editor shows (the
// skinned one while skinning is on), about the "mirror" plane when it is z = C. They are computed
// on the panel's frame once the surface, the draft and the plane have stayed the same for a
// moment and no button is held, so dragging a point costs nothing; a timer wakes the panel for
// that moment.
#include "app/hydrostatics_panel.h"

#include <GL/freeglut.h>
#include <imgui.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "hull/hydrostatics.h"
#include "io/editor_file_io.h"
#include "model/editor_state.h"
#include "view/hydrostatics_overlay.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kSettleTime = std::chrono::milliseconds(300);
constexpr int kStations = 41;

struct HydrostaticsPanel {
    SurfaceModel seen;  // the surface as last seen, with the draft and plane it was seen with
    float seenDraft = -1.0f;
    double seenMirrorZ = 0.0;
    bool computed = false;  // the figures belong to what was last seen
    Clock::time_point changedAt;
    bool ok = false;
    std::string message;
    Hydrostatics figures;
    std::vector<float> sectionAreas;
    bool timerPending = false;
};

HydrostaticsPanel gHydro;

void wakePanel(int) {
    gHydro.timerPending = false;
    if (editor.handles.controlPanel != 0) glutPostWindowRedisplay(editor.handles.controlPanel);
}

// One frame of the panel once the surface may have settled; one timer at a time.
void wakeLater() {
    if (gHydro.timerPending) return;
    gHydro.timerPending = true;
    glutTimerFunc(static_cast<unsigned>(kSettleTime.count()) + 20, wakePanel, 0);
}

double mirrorZ(const PanelVariables& panel) {
    return panel.mirrorPlane.axis == 2 ? static_cast<double>(panel.mirrorPlane.offset) : 0.0;
}

void compute(const SurfaceModel& surface, double mirror) {
    HydrostaticsOverlay& overlay = hydrostaticsOverlay();
    overlay.shown = false;
    gHydro.ok = false;
    HullModel model;
    HydrostaticsOptions options;
    options.stations = kStations;
    Hydrostatics h;
    const double draft = editor.panel.hydrostaticsDraft;
    if (!prepareHull(surface, mirror, model, gHydro.message) ||
        !computeHydrostatics(model, draft, options, h, gHydro.message)) {
        return;
    }
    gHydro.ok = true;
    gHydro.figures = h;
    gHydro.sectionAreas.clear();
    for (const HullFigure& a : h.sectionArea)
        gHydro.sectionAreas.push_back(static_cast<float>(a.value));
    const std::vector<double> segments = hullWaterline(model, draft, 6);
    overlay.waterline.assign(segments.begin(), segments.end());
    overlay.mirrored = h.halfModel;
    overlay.mirrorZ = static_cast<float>(mirror);
    overlay.buoyancy[0] = static_cast<float>(h.lcb.value);
    overlay.buoyancy[1] = static_cast<float>(h.vcb.value);
    overlay.buoyancy[2] = static_cast<float>(h.tcb.value);
    overlay.shown = true;
}

void figureRow(const char* name, const HullFigure& f, const char* format = "%.6g") {
    ImGui::TextUnformatted(name);
    ImGui::SameLine(130.0f);
    char value[64];
    snprintf(value, sizeof value, format, f.value);
    ImGui::TextUnformatted(value);
}

}  // namespace

void hydrostaticsRows() {
    EditorState& s = editor;
    bool on = s.panel.hydrostaticsEnabled != 0;
    if (ImGui::Checkbox("waterline and figures", &on)) {
        s.panel.hydrostaticsEnabled = on ? 1 : 0;
        if (s.handles.mainWindow != 0) glutPostWindowRedisplay(s.handles.mainWindow);
    }
    ImGui::SetNextItemWidth(160.0f);
    ImGui::DragFloat("draft", &s.panel.hydrostaticsDraft, 0.002f, 0.0f, 1.0e6f, "%.4f",
                     ImGuiSliderFlags_AlwaysClamp);
    if (s.panel.hydrostaticsEnabled == 0) {
        hydrostaticsOverlay().shown = false;
        gHydro.seenDraft = -1.0f;  // look again when turned on
        return;
    }

    SurfaceModel skinned;
    const SurfaceModel& surface =
        surfaceToSave(s.surface, s.panel.skinningEnabled != 0, s.derived, skinned);
    const double mirror = mirrorZ(s.panel);
    if (gHydro.seenDraft != s.panel.hydrostaticsDraft || gHydro.seenMirrorZ != mirror ||
        !sameSurface(gHydro.seen, surface)) {
        gHydro.seen = surface;
        gHydro.seenDraft = s.panel.hydrostaticsDraft;
        gHydro.seenMirrorZ = mirror;
        gHydro.computed = false;
        gHydro.changedAt = Clock::now();
    }
    const bool held = ImGui::IsAnyMouseDown();
    if (!gHydro.computed && !held && Clock::now() - gHydro.changedAt >= kSettleTime) {
        compute(gHydro.seen, mirror);
        gHydro.computed = true;
        if (s.handles.mainWindow != 0) glutPostWindowRedisplay(s.handles.mainWindow);
    } else if (!gHydro.computed) {
        wakeLater();
    }

    if (!gHydro.ok) {
        ImGui::PushTextWrapPos(0.0f);
        ImGui::TextColored(ImVec4(1.0f, 0.55f, 0.4f, 1.0f), "%s",
                           gHydro.computed ? gHydro.message.c_str() : "waiting for the surface");
        ImGui::PopTextWrapPos();
        return;
    }
    const Hydrostatics& h = gHydro.figures;
    if (ImGui::BeginTable("hydrostatics", 2, ImGuiTableFlags_BordersInnerV)) {
        ImGui::TableNextColumn();
        figureRow("volume", h.volume);
        figureRow("displacement", h.displacement);
        figureRow("LCB (x)", h.lcb);
        figureRow("VCB (y)", h.vcb);
        figureRow("TCB (z)", h.tcb);
        figureRow("waterplane", h.waterplaneArea);
        figureRow("LCF (x)", h.lcf);
        figureRow("wetted area", h.wettedArea);
        ImGui::TableNextColumn();
        figureRow("BMt", h.bmt);
        figureRow("BMl", h.bml);
        figureRow("KMt", h.kmt);
        figureRow("LWL", h.lwl);
        figureRow("BWL", h.bwl);
        figureRow("Cb  Cp", h.cb, "%.4f");
        ImGui::SameLine();
        ImGui::Text("%.4f", h.cp.value);
        figureRow("Cm  Cwp", h.cm, "%.4f");
        ImGui::SameLine();
        ImGui::Text("%.4f", h.cwp.value);
        ImGui::EndTable();
    }
    if (h.halfModel) ImGui::TextUnformatted("half model: counted with its mirror image");
    float most = 0.0f;
    for (float a : gHydro.sectionAreas) most = std::max(most, a);
    char caption[96];
    snprintf(caption, sizeof caption, "sectional area, x %.4g to %.4g", h.stationX.front(),
             h.stationX.back());
    ImGui::PlotLines(
        "##sectional area", gHydro.sectionAreas.data(),
        static_cast<int>(gHydro.sectionAreas.size()), 0, caption, 0.0f, most * 1.1f,
        ImVec2(ImGui::GetWindowWidth() - 2.0f * ImGui::GetStyle().WindowPadding.x, 90.0f));
}
