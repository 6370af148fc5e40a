// Start-up of the editor for the window benchmarks and the surfaces they draw.
#include "bench_editor.h"

#include <GL/freeglut.h>
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "app/application.h"
#include "app/file_callbacks.h"
#include "io/serializator.h"
#include "model/derived_nets.h"
#include "model/editor_state.h"
#include "model/knots.h"
#include "model/section_centroid.h"
#include "view/main_view.h"

namespace benchsupport {

namespace {
std::string scratch;
}

bool startEditor(int* argc, char** argv) {
    char pattern[] = "/tmp/loftwork-bench-XXXXXX";
    const char* dir = mkdtemp(pattern);
    if (dir == nullptr || chdir(dir) != 0) return false;
    scratch = dir;
    FILE* config = fopen("defaultFile.config", "w");
    if (config == nullptr) return false;
    fputs("none.surf\n", config);
    fclose(config);
    initApplication(argc, argv);
    for (int i = 0; i < 10; ++i) glutMainLoopEvent();
    return true;
}

void stopEditor() {
    if (scratch.empty()) return;
    remove((scratch + "/defaultFile.config").c_str());
    rmdir(scratch.c_str());
}

void drawMainFrame() {
    glutSetWindow(editor.handles.mainWindow);
    drawMainScene(editor.surface, editor.derived, editor.selection, editor.panel, editor.view,
                  editor.handles.surfaceRenderer);
    glFinish();
    glutSwapBuffers();
}

bool loadSample(const char* name) {
    const std::string path = std::string(LOFTWORK_SOURCE_DIR) + "/examples/" + name;
    snprintf(editor.panel.surfaceFileName, sizeof editor.panel.surfaceFileName, "%s", path.c_str());
    serializator->load(-1);
    return surfaceIsUsable(editor.surface);
}

void setHullSurface(int count, bool skinning) {
    EditorState& s = editor;
    s.surface.countU = count;
    s.surface.countV = count;
    s.surface.orderU = 4;
    s.surface.orderV = 4;
    s.surface.knotCountU = count + 4;
    s.surface.knotCountV = count + 4;
    generateUniformKnots(editor.surface, 1);
    generateUniformKnots(editor.surface, 2);
    s.surface.controlNet.resize(static_cast<size_t>(count) * count);
    for (int v = 0; v < count; ++v) {
        const float x = static_cast<float>(v) / static_cast<float>(count);
        for (int u = 0; u < count; ++u) {
            const float t = 3.0f * static_cast<float>(u) / static_cast<float>(count - 1);
            const float r = 0.4f + 0.05f * std::sin(static_cast<float>(v));
            s.surface.controlNet[static_cast<size_t>(v) * count + u] = {x, r * std::sin(t),
                                                                        r * std::cos(t), 1.0f};
        }
    }
    s.derived.multiplicity = 1;
    s.selection.currentSection = count / 2;
    s.selection.selectedPoint = count / 2;
    s.panel.skinningEnabled = skinning ? 1 : 0;
    syncDerivedNets(editor);
    computeSectionCentroid(editor.surface, editor.selection.currentSection,
                           s.selection.sectionCentroid);
}

int runWithEditor(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    if (!startEditor(&argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    stopEditor();
    return 0;
}

}  // namespace benchsupport
