// One drag step in the section window with skinning on: unproject the pointer, move the
// selected point, draw the section view, skin again and draw the main view (which redraws the
// section view). Surfaces of 10 x 10 to 200 x 200 points, outline (the start-up mode) and fill;
// with glu=1 the main view draws the surface through GLU whatever its cost (the picture small
// nets keep), with glu=0 it picks GLU or its own grid by GLU's measured cost as the editor does.
// Wall time, since llvmpipe rasterises on its own threads; the CPU column is the whole process.
// Needs a display (scripts/bench runs it under xvfb-run).
#include <GL/freeglut.h>
#include <benchmark/benchmark.h>

#include "bench_editor.h"
#include "input/section_input.h"
#include "model/editor_state.h"
#include "view/main_view.h"
#include "view/section_view.h"

namespace {

void SectionDragStep(benchmark::State& state) {
    benchsupport::setHullSurface(static_cast<int>(state.range(0)), true);
    editor.panel.surfaceDisplayMode = state.range(1) != 0 ? kDisplayModeFill : kDisplayModeOutline;
    setSurfaceTessellator(state.range(2) != 0 ? SurfaceTessellator::glu
                                              : SurfaceTessellator::byCost);
    glutSetWindow(editor.handles.sectionWindow);
    sectionDisplay();
    sectionMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 200, 120);
    int step = 0;
    for (auto _ : state) {
        // Back and forth over a few pixels, so every step really moves the point.
        sectionMotion(200 + (step % 8), 120 + (step % 5));
        ++step;
    }
    sectionMouse(GLUT_LEFT_BUTTON, GLUT_UP, 200, 120);
    if (editor.derived.skinnedNet.empty()) state.SkipWithError("skinning produced no net");
    editor.panel.surfaceDisplayMode = kDisplayModeOutline;
    setSurfaceTessellator(SurfaceTessellator::byCost);
}
BENCHMARK(SectionDragStep)
    ->ArgNames({"net", "fill", "glu"})
    ->Args({10, 0, 0})
    ->Args({50, 0, 0})
    ->Args({50, 1, 0})
    ->Args({100, 0, 0})
    ->Args({100, 1, 0})
    ->Args({100, 0, 1})
    ->Args({100, 1, 1})
    ->Args({200, 0, 0})
    ->Args({200, 1, 0})
    ->Args({200, 0, 1})
    ->Args({200, 1, 1})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    if (!benchsupport::startEditor(&argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    benchsupport::stopEditor();
    return 0;
}
