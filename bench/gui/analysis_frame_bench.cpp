// Cost of one main-view frame in the analysis shadings (zebra stripes, curvature map) on
// lofted hulls of 50 x 50 and 200 x 200 points: a frame after the surface changed (the grid is
// evaluated again on both cores, then drawn) and an animation frame (the kept grid drawn again).
// Wall time, since llvmpipe rasterises on its own threads; the CPU column is the whole process.
// Needs a display (scripts/bench runs it under xvfb-run).
#include <GL/freeglut.h>
#include <benchmark/benchmark.h>

#include "bench_editor.h"
#include "model/editor_state.h"
#include "view/grid_renderer.h"
#include "view/main_view.h"

namespace {

using benchsupport::drawMainFrame;

// changed: the middle control point moves a little between frames, as in a drag.
void AnalysisFrame(benchmark::State& state, int shading, bool changed) {
    const int count = static_cast<int>(state.range(0));
    benchsupport::setHullSurface(count, false);
    editor.panel.shading = shading;
    drawMainFrame();
    PointH& middle = editor.surface.controlNet[editor.surface.controlNet.size() / 2];
    const float home = middle.y;
    bool out = false;
    for (auto _ : state) {
        editor.view.probeU = editor.view.probeU < 1.0f ? editor.view.probeU + 0.01f : 0.0f;
        if (changed) {
            out = !out;
            middle.y = out ? home + 0.01f * middle.w : home;
        }
        drawMainFrame();
    }
    middle.y = home;
    const AnalysisFrameInfo info = lastAnalysisFrame();
    state.counters["grid_vertices"] = static_cast<double>(info.columns) * info.rows;
    editor.panel.shading = kShadingGlu;
}

void frameOptions(benchmark::internal::Benchmark* b) {
    b->Arg(50)->Arg(200)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
}

BENCHMARK_CAPTURE(AnalysisFrame, zebra_changed, kShadingZebra, true)->Apply(frameOptions);
BENCHMARK_CAPTURE(AnalysisFrame, curvature_changed, kShadingCurvature, true)->Apply(frameOptions);
BENCHMARK_CAPTURE(AnalysisFrame, zebra_kept, kShadingZebra, false)->Apply(frameOptions);
BENCHMARK_CAPTURE(AnalysisFrame, curvature_kept, kShadingCurvature, false)->Apply(frameOptions);

}  // namespace

int main(int argc, char** argv) {
    return benchsupport::runWithEditor(argc, argv);
}
