// Cost of one main-view frame (outline and filled surface, net, points, axes) and of a
// control-point pick, on nets of growing size. Runs in its own GLUT window (needs a display;
// use xvfb-run without one).
#include <GL/freeglut.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "app/application.h"
#include "input/main_input.h"
#include "model/derived_nets.h"
#include "model/editor_state.h"
#include "model/knots.h"
#include "view/main_view.h"

namespace {

// A closed-looking vase of n points per section and n sections, orders 4 x 4.
void setVase(int n) {
    EditorState& s = editor;
    s.countU = s.countV = n;
    s.orderU = s.orderV = 4;
    s.knotCountU = s.knotCountV = n + 4;
    generateUniformKnots(1);
    generateUniformKnots(2);
    s.controlNet.clear();
    for (int i = 0; i < n; ++i) {
        const float x = -1.0f + 2.0f * static_cast<float>(i) / static_cast<float>(n - 1);
        const float radius = 0.4f + 0.2f * std::sin(3.0f * x);
        for (int j = 0; j < n; ++j) {
            const float angle = 6.2831853f * static_cast<float>(j) / static_cast<float>(n - 1);
            s.controlNet.push_back({x, radius * std::cos(angle), radius * std::sin(angle), 1.0f});
        }
    }
    s.multiplicity = 1;
    s.skinningEnabled = 0;
    syncDerivedNets();
}

void drawFrame() {
    drawMainScene();
    glFinish();
    glutSwapBuffers();
}

void BM_MainFrame(benchmark::State& state, float displayMode) {
    setVase(static_cast<int>(state.range(0)));
    editor.surfaceDisplayMode = displayMode;
    for (auto _ : state) drawFrame();
}
BENCHMARK_CAPTURE(BM_MainFrame, outline, kDisplayModeOutline)->Arg(6)->Arg(12)->Arg(24);
BENCHMARK_CAPTURE(BM_MainFrame, fill, kDisplayModeFill)->Arg(6)->Arg(12)->Arg(24);

// A right click that lands on the background, so every control point is visited.
void BM_PickMiss(benchmark::State& state) {
    setVase(static_cast<int>(state.range(0)));
    drawFrame();
    for (auto _ : state) mainMouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, 2, 2);
}
BENCHMARK(BM_PickMiss)->Arg(6)->Arg(24)->Arg(96);

}  // namespace

int main(int argc, char** argv) {
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(editor.mainWindowWidth, editor.mainWindowHeight);
    editor.mainWindow = glutCreateWindow("main window");
    glutDisplayFunc(drawFrame);
    mainReshape(editor.mainWindowWidth, editor.mainWindowHeight);
    glClearColor(0.8f, 0.8f, 0.8f, 0.0f);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_AUTO_NORMAL);
    glEnable(GL_NORMALIZE);
    for (int i = 0; i < 5; ++i) glutMainLoopEvent();

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
