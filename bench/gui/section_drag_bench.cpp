// One drag step in the section window with skinning on: unproject the pointer, move the
// selected point, draw the section view, skin again and draw the main view. Surfaces of 10 x 10
// and 50 x 50 points. Needs a display (run under xvfb-run).
#include <GL/freeglut.h>
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "app/application.h"
#include "input/section_input.h"
#include "model/derived_nets.h"
#include "model/editor_state.h"
#include "model/knots.h"
#include "model/section_centroid.h"
#include "view/section_view.h"

namespace {

// count sections of count points, cubic both ways: section s is an arc of a slightly wavy radius
// in the plane x = s / count, as a lofted hull would be.
void setDragSurface(int count) {
    EditorState& s = editor;
    s.countU = count;
    s.countV = count;
    s.orderU = 4;
    s.orderV = 4;
    s.knotCountU = count + 4;
    s.knotCountV = count + 4;
    generateUniformKnots(1);
    generateUniformKnots(2);
    s.controlNet.resize(static_cast<size_t>(count) * count);
    for (int v = 0; v < count; ++v) {
        const float x = static_cast<float>(v) / static_cast<float>(count);
        for (int u = 0; u < count; ++u) {
            const float t = 3.0f * static_cast<float>(u) / static_cast<float>(count - 1);
            const float r = 0.4f + 0.05f * std::sin(static_cast<float>(v));
            s.controlNet[static_cast<size_t>(v) * count + u] = {x, r * std::sin(t), r * std::cos(t),
                                                                1.0f};
        }
    }
    s.multiplicity = 1;
    s.currentSection = count / 2;
    s.selectedPoint = count / 2;
    s.skinningEnabled = 1;
    syncDerivedNets();
    computeSectionCentroid(s.sectionCentroid);
    glutSetWindow(s.sectionWindow);
    sectionDisplay();
}

void SectionDragStep(benchmark::State& state) {
    setDragSurface(static_cast<int>(state.range(0)));
    glutSetWindow(editor.sectionWindow);
    sectionMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 200, 120);
    int step = 0;
    for (auto _ : state) {
        // Back and forth over a few pixels, so every step really moves the point.
        sectionMotion(200 + (step % 8), 120 + (step % 5));
        ++step;
    }
    sectionMouse(GLUT_LEFT_BUTTON, GLUT_UP, 200, 120);
    if (editor.skinnedNet.empty()) state.SkipWithError("skinning produced no net");
}
BENCHMARK(SectionDragStep)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // The editor starts in a scratch directory whose configuration names no surface.
    char pattern[] = "/tmp/loftwork-bench-XXXXXX";
    const char* dir = mkdtemp(pattern);
    if (dir == nullptr || chdir(dir) != 0) return 1;
    FILE* config = fopen("defaultFile.config", "w");
    if (config == nullptr) return 1;
    fputs("none.surf\n", config);
    fclose(config);

    benchmark::Initialize(&argc, argv);
    initApplication(&argc, argv);
    for (int i = 0; i < 10; ++i) glutMainLoopEvent();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    remove("defaultFile.config");
    rmdir(dir);
    return 0;
}
