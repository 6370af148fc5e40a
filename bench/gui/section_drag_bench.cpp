// One drag step in the section window with skinning on: unproject the pointer, move the
// selected point, skin again, then draw the section view and the main view the step asked for.
// Surfaces of 10 x 10 to 200 x 200 points, outline (the start-up mode) and fill; with glu=1 the
// main view draws the surface through GLU whatever its cost (the picture small nets keep), with
// glu=0 it picks GLU or its own grid by GLU's measured cost as the editor does.
// With thin=1 the control and skinned nets leave out the points and segments that do not show
// (the editor's way), with thin=0 they are drawn whole (the reference).
// Wall time, since llvmpipe rasterises on its own threads; the CPU column is the whole process.
// Needs a display (scripts/bench runs it under xvfb-run).
#include <GL/freeglut.h>
#include <GL/glu.h>
#include <benchmark/benchmark.h>

#include "bench_editor.h"
#include "input/section_input.h"
#include "model/derived_nets.h"
#include "model/editor_state.h"
#include "view/grid_surface.h"
#include "view/main_view.h"
#include "view/net_drawing.h"
#include "view/nurbs_renderers.h"
#include "view/section_view.h"
#include "view/surface_cache.h"

namespace {

void SectionDragStep(benchmark::State& state) {
    benchsupport::setHullSurface(static_cast<int>(state.range(0)), true);
    editor.panel.surfaceDisplayMode = state.range(1) != 0 ? kDisplayModeFill : kDisplayModeOutline;
    setSurfaceTessellator(state.range(2) != 0 ? SurfaceTessellator::glu
                                              : SurfaceTessellator::byCost);
    setNetThinning(state.range(3) != 0);
    glutSetWindow(editor.handles.sectionWindow);
    sectionDisplay();
    sectionMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 200, 120);
    int step = 0;
    for (auto _ : state) {
        // Back and forth over a few pixels, so every step really moves the point.
        sectionMotion(200 + (step % 8), 120 + (step % 5));
        // The frames the step asked for, drawn here as the main loop would draw them once the
        // handler returns (it would not: the panel covers the section window under Xvfb).
        sectionDisplay();
        glutSetWindow(editor.handles.mainWindow);
        mainDisplay();
        glutSetWindow(editor.handles.sectionWindow);
        ++step;
    }
    sectionMouse(GLUT_LEFT_BUTTON, GLUT_UP, 200, 120);
    if (editor.derived.skinnedNet.empty()) state.SkipWithError("skinning produced no net");
    editor.panel.surfaceDisplayMode = kDisplayModeOutline;
    setSurfaceTessellator(SurfaceTessellator::byCost);
    setNetThinning(true);
}
BENCHMARK(SectionDragStep)
    ->ArgNames({"net", "fill", "glu", "thin"})
    ->Args({10, 0, 0, 1})
    ->Args({50, 0, 0, 1})
    ->Args({50, 1, 0, 1})
    ->Args({100, 0, 0, 0})
    ->Args({100, 0, 0, 1})
    ->Args({100, 1, 0, 0})
    ->Args({100, 1, 0, 1})
    ->Args({100, 0, 1, 1})
    ->Args({100, 1, 1, 1})
    ->Args({200, 0, 0, 0})
    ->Args({200, 0, 0, 1})
    ->Args({200, 1, 0, 0})
    ->Args({200, 1, 0, 1})
    ->Args({200, 0, 1, 1})
    ->Args({200, 1, 1, 1})
    ->Args({500, 0, 0, 0})
    ->Args({500, 0, 0, 1})
    ->Args({500, 1, 0, 1})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// The main view's surface alone after a drag step, the way a drag step draws it: the selected
// point moves and the net is skinned again (neither timed), then the skinned net is drawn
// filled or in outline, from the grid (glu=0) or through GLU's tessellation (glu=1), and GL
// finishes. The main window keeps the start-up camera. The 1000 x 1000 rows show what the
// grid's bound by the window's pixels buys: about the cost of 200 x 200.
void SurfaceAfterDragStep(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    benchsupport::setHullSurface(count, true);
    const float mode = state.range(1) != 0 ? kDisplayModeFill : kDisplayModeOutline;
    glutSetWindow(editor.handles.mainWindow);
    drawMainScene(editor.surface, editor.derived, editor.selection, editor.panel, editor.view,
                  editor.handles.surfaceRenderer);
    GLUnurbs* renderer = gluNewNurbsRenderer();
    prepareSurfaceRenderer(renderer, nurbsErrorCallback);
    gluNurbsProperty(renderer, GLU_SAMPLING_METHOD, GLU_PATH_LENGTH);
    gluNurbsProperty(renderer, GLU_SAMPLING_TOLERANCE, 50.0f);
    const DerivedNets& d = editor.derived;
    PointH& moved = editor.surface.controlNet[static_cast<size_t>(count / 2) * count + count / 2];
    int step = 0;
    for (auto _ : state) {
        state.PauseTiming();
        moved.y += (step++ % 2 == 0 ? 0.01f : -0.01f) * moved.w;
        syncDerivedNets(editor);
        state.ResumeTiming();
        NetSurface net;
        net.net = d.skinnedNet.data();
        net.countU = count;
        net.countV = static_cast<int>(d.skinnedNet.size() / static_cast<size_t>(count));
        net.orderU = editor.surface.orderU;
        net.orderV = editor.surface.orderV;
        net.knotsU = editor.surface.knotsU.data();
        net.knotsV = d.skinnedKnotsV.data();
        if (state.range(2) != 0) {
            SurfaceDescription description;
            description.knotCountS = static_cast<GLint>(editor.surface.knotsU.size());
            description.knotsS = net.knotsU;
            description.knotCountT = static_cast<GLint>(d.skinnedKnotsV.size());
            description.knotsT = net.knotsV;
            description.strideS = 4;
            description.strideT = count * 4;
            description.points = &d.skinnedNet[0].x;
            description.orderS = net.orderU;
            description.orderT = net.orderV;
            drawSurfaceCached(renderer, description, mode);
        } else {
            drawGridSurface(net, mode != kDisplayModeFill);
        }
        glFinish();
    }
    gluDeleteNurbsRenderer(renderer);
    clearSurfaceCache();
}
BENCHMARK(SurfaceAfterDragStep)
    ->ArgNames({"net", "fill", "glu"})
    ->Args({100, 0, 0})
    ->Args({100, 0, 1})
    ->Args({100, 1, 0})
    ->Args({100, 1, 1})
    ->Args({200, 0, 0})
    ->Args({200, 0, 1})
    ->Args({200, 1, 0})
    ->Args({200, 1, 1})
    ->Args({1000, 0, 0})  // past GLU's bound: the grid only
    ->Args({1000, 1, 0})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    return benchsupport::runWithEditor(argc, argv);
}
