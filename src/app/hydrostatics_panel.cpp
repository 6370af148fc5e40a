// The "hydrostatics" group of the panel. The figures belong to the surface the editor shows (the
// skinned one while skinning is on), about the "mirror" plane when it is z = C. Once the
// surface, the draft and the plane have stayed the same for a moment and no button is held, a
// worker thread computes them from a copy of the surface; the panel keeps showing the previous
// figures meanwhile and takes the new ones on a later frame, unless what they were computed
// for has changed since, in which case they are dropped and the worker runs again. A timer
// wakes the panel for the moment of settling and to look for the worker's result, so neither
// a drag nor the panel's frames ever wait for the figures.
#include "app/hydrostatics_panel.h"

#include <GL/freeglut.h>
#include <imgui.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <string>
#include <system_error>
#include <vector>

#include "hull/hydrostatics.h"
#include "io/editor_file_io.h"
#include "model/editor_state.h"
#include "view/hydrostatics_overlay.h"
#include "view/redraw.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kSettleTime = std::chrono::milliseconds(300);
constexpr unsigned kPollMilliseconds = 40;  // how often the panel looks for the worker's result
constexpr int kStations = 41;

// Counts the changes of what the figures are asked for; a worker whose count is no longer the
// current one stops at its next step, and its result is dropped.
std::atomic<unsigned> gGeneration{0};

// What the worker hands back: the figures, or why there are none, and the waterline.
struct HydrostaticsResult {
    unsigned generation = 0;
    bool current = true;  // false: the worker stopped early because its request went stale
    bool ok = false;
    std::string message;
    Hydrostatics figures;
    std::vector<double> waterline;
};

// Runs on the worker thread with its own copies of everything; touches nothing shared but
// gGeneration.
HydrostaticsResult computeFigures(const SurfaceModel& surface, double draft, double mirror,
                                  unsigned generation) {
    HydrostaticsResult r;
    r.generation = generation;
    const auto stale = [&] {
        r.current = gGeneration.load() == generation;
        return !r.current;
    };
    HullModel model;
    if (!prepareHull(surface, mirror, model, r.message) || stale()) return r;
    HydrostaticsOptions options;
    options.stations = kStations;
    if (!computeHydrostatics(model, draft, options, r.figures, r.message) || stale()) return r;
    r.waterline = hullWaterline(model, draft, 6);
    r.ok = true;
    return r;
}

struct HydrostaticsPanel {
    SurfaceModel seen;  // the surface as last seen, with the draft and plane it was seen with
    float seenDraft = -1.0f;
    double seenMirrorZ = 0.0;
    bool computed = false;  // the figures belong to what was last seen
    Clock::time_point changedAt;
    std::future<HydrostaticsResult> worker;  // valid while a worker runs or its result waits
    bool ok = false;
    std::string message;
    Hydrostatics figures;
    std::vector<float> sectionAreas;
    bool timerPending = false;
};

HydrostaticsPanel gHydro;

void wakePanel(int) {
    gHydro.timerPending = false;
    requestPanelRedraw();
}

// One frame of the panel after the given time; one timer at a time.
void wakeLater(unsigned milliseconds) {
    if (gHydro.timerPending) return;
    gHydro.timerPending = true;
    glutTimerFunc(milliseconds, wakePanel, 0);
}

double mirrorZ(const PanelVariables& panel) {
    return panel.mirrorPlane.axis == 2 ? static_cast<double>(panel.mirrorPlane.offset) : 0.0;
}

// Shows a result of the current request in the group and in the main view.
void apply(const HydrostaticsResult& r, double mirror) {
    HydrostaticsOverlay& overlay = hydrostaticsOverlay();
    gHydro.ok = r.ok;
    gHydro.message = r.message;
    overlay.shown = false;
    if (!r.ok) return;
    const Hydrostatics& h = r.figures;
    gHydro.figures = h;
    gHydro.sectionAreas.clear();
    for (const HullFigure& a : h.sectionArea)
        gHydro.sectionAreas.push_back(static_cast<float>(a.value));
    overlay.waterline.assign(r.waterline.begin(), r.waterline.end());
    overlay.mirrored = h.halfModel;
    overlay.mirrorZ = static_cast<float>(mirror);
    overlay.buoyancy[0] = static_cast<float>(h.lcb.value);
    overlay.buoyancy[1] = static_cast<float>(h.vcb.value);
    overlay.buoyancy[2] = static_cast<float>(h.tcb.value);
    overlay.shown = true;
}

bool workerRunning() {
    return gHydro.worker.valid() &&
           gHydro.worker.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
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
        requestMainRedraw();
    }
    ImGui::SetNextItemWidth(160.0f);
    ImGui::DragFloat("draft", &s.panel.hydrostaticsDraft, 0.002f, 0.0f, 1.0e6f, "%.4f",
                     ImGuiSliderFlags_AlwaysClamp);
    if (s.panel.hydrostaticsEnabled == 0) {
        hydrostaticsOverlay().shown = false;
        gHydro.seenDraft = -1.0f;  // look again when turned on
        if (gHydro.worker.valid()) gGeneration.fetch_add(1);  // a running worker may stop
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
        gGeneration.fetch_add(1);
    }
    // A finished worker: its figures are shown if they are still of what is seen.
    if (gHydro.worker.valid() && !workerRunning()) {
        const HydrostaticsResult r = gHydro.worker.get();
        if (r.current && r.generation == gGeneration.load()) {
            apply(r, mirror);
            gHydro.computed = true;
            requestMainRedraw();
        }
    }
    const bool held = ImGui::IsAnyMouseDown();
    if (!gHydro.computed && !gHydro.worker.valid() && !held &&
        Clock::now() - gHydro.changedAt >= kSettleTime) {
        try {
            gHydro.worker = std::async(std::launch::async, computeFigures, gHydro.seen,
                                       static_cast<double>(gHydro.seenDraft), mirror,
                                       gGeneration.load());
        } catch (const std::system_error&) {
            // No thread to be had: the figures are computed here, as they were before.
            apply(computeFigures(gHydro.seen, gHydro.seenDraft, mirror, gGeneration.load()),
                  mirror);
            gHydro.computed = true;
            requestMainRedraw();
        }
    }
    if (gHydro.worker.valid()) {
        wakeLater(kPollMilliseconds);
    } else if (!gHydro.computed) {
        wakeLater(static_cast<unsigned>(kSettleTime.count()) + 20);
    }

    const char* pending = gHydro.worker.valid() ? "computing..." : "waiting for the surface";
    if (!gHydro.ok) {
        ImGui::PushTextWrapPos(0.0f);
        ImGui::TextColored(ImVec4(1.0f, 0.55f, 0.4f, 1.0f), "%s",
                           gHydro.computed ? gHydro.message.c_str() : pending);
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
    // While new figures are on their way the shown ones are the last, and the caption says so.
    if (gHydro.computed) {
        snprintf(caption, sizeof caption, "sectional area, x %.4g to %.4g", h.stationX.front(),
                 h.stationX.back());
    } else {
        snprintf(caption, sizeof caption, "%s", pending);
    }
    ImGui::PlotLines(
        "##sectional area", gHydro.sectionAreas.data(),
        static_cast<int>(gHydro.sectionAreas.size()), 0, caption, 0.0f, most * 1.1f,
        ImVec2(ImGui::GetWindowWidth() - 2.0f * ImGui::GetStyle().WindowPadding.x, 90.0f));
}

bool hydrostaticsPending() {
    return !gHydro.computed;
}
