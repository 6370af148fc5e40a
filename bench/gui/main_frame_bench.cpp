// Cost of one frame of each window of the running editor: the main view (surface, net, points,
// axes) on the sample surfaces and on a 50 x 50 net, outline and fill, with the surface from the
// kept tessellation, tessellated again, or drawn by GLU itself; the section view; the panel; and
// a control-point pick that misses. Wall time, since llvmpipe rasterises on its own threads; the
// CPU column is the whole process.
// Needs a display (scripts/bench runs it under xvfb-run).
#include <GL/freeglut.h>
#include <benchmark/benchmark.h>

#include <cstring>

#include "app/control_panel.h"
#include "bench_editor.h"
#include "input/main_input.h"
#include "model/editor_state.h"
#include "view/main_view.h"
#include "view/section_view.h"
#include "view/surface_cache.h"

namespace {

// Loads a sample by file name, or builds the 50 x 50 hull for "hull50x50".
bool setSurface(const char* name) {
    if (strcmp(name, "hull50x50") == 0) {
        benchsupport::setHullSurface(50, false);
        return true;
    }
    return benchsupport::loadSample(name);
}

using benchsupport::drawMainFrame;

// How the surface reaches the frame: from the kept tessellation (an animation frame), tessellated
// again (a frame after the surface changed), or evaluated and drawn by GLU itself every frame.
enum class Path { cached, retessellated, gluDirect };

void MainFrame(benchmark::State& state, const char* surface, float displayMode, Path path) {
    if (!setSurface(surface)) {
        state.SkipWithError("surface did not load");
        return;
    }
    editor.panel.surfaceDisplayMode = displayMode;
    setSurfaceCaching(path != Path::gluDirect);
    drawMainFrame();
    for (auto _ : state) {
        // The probe moves between frames, as it does while the editor idles.
        editor.view.probeU = editor.view.probeU < 1.0f ? editor.view.probeU + 0.01f : 0.0f;
        if (path == Path::retessellated) clearSurfaceCache();
        drawMainFrame();
    }
    setSurfaceCaching(true);
    editor.panel.surfaceDisplayMode = kDisplayModeOutline;
}

#define MAIN_FRAME_PATHS(surface, mode, constant)                                             \
    BENCHMARK_CAPTURE(MainFrame, surface##_##mode##_cached, #surface, constant, Path::cached) \
        ->Unit(benchmark::kMillisecond)                                                       \
        ->MeasureProcessCPUTime()                                                             \
        ->UseRealTime();                                                                      \
    BENCHMARK_CAPTURE(MainFrame, surface##_##mode##_retessellated, #surface, constant,        \
                      Path::retessellated)                                                    \
        ->Unit(benchmark::kMillisecond)                                                       \
        ->MeasureProcessCPUTime()                                                             \
        ->UseRealTime();                                                                      \
    BENCHMARK_CAPTURE(MainFrame, surface##_##mode##_glu_direct, #surface, constant,           \
                      Path::gluDirect)                                                        \
        ->Unit(benchmark::kMillisecond)                                                       \
        ->MeasureProcessCPUTime()                                                             \
        ->UseRealTime()

#define MAIN_FRAME(surface)                                  \
    MAIN_FRAME_PATHS(surface, outline, kDisplayModeOutline); \
    MAIN_FRAME_PATHS(surface, fill, kDisplayModeFill)

MAIN_FRAME(vase.surf);
MAIN_FRAME(hull.surf);
MAIN_FRAME(bottle.surf);
MAIN_FRAME(hull50x50);

void SectionFrame(benchmark::State& state) {
    benchsupport::loadSample("vase.surf");
    glutSetWindow(editor.handles.sectionWindow);
    for (auto _ : state) {
        sectionDisplay();
        glFinish();
    }
}
BENCHMARK(SectionFrame)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void PanelFrame(benchmark::State& state) {
    benchsupport::loadSample("vase.surf");
    glutSetWindow(editor.handles.controlPanel);
    for (auto _ : state) {
        controlPanelDisplay();
        glFinish();
    }
}
BENCHMARK(PanelFrame)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// A right click that lands on the background, so every control point is visited.
void PickMiss(benchmark::State& state) {
    benchsupport::setHullSurface(static_cast<int>(state.range(0)), false);
    drawMainFrame();
    for (auto _ : state) mainMouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, 2, 2);
}
BENCHMARK(PickMiss)->Arg(6)->Arg(24)->Arg(96);

}  // namespace

int main(int argc, char** argv) {
    return benchsupport::runWithEditor(argc, argv);
}
