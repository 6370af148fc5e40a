// Undo and redo of one edit of a 200 x 200 surface (orders 4 x 4): a section moved through the
// panel's translation callback, then undone and redone in turn. Each iteration is one undo or
// one redo, with skinning off and on (the skinned net of the step comes back with it).
#include <benchmark/benchmark.h>

#include <cmath>

#include "model/editor_state.h"
#include "model/knots.h"
#include "model/skinning.h"
#include "model/surface_edit.h"
#include "model/transforms.h"

namespace {

constexpr int kCount = 200;

void setSurface(bool skinning) {
    EditorState& s = editor;
    s = EditorState();
    s.surface.countU = s.surface.countV = kCount;
    s.surface.orderU = s.surface.orderV = 4;
    s.surface.knotCountU = s.surface.knotCountV = kCount + 4;
    generateUniformKnots(editor.surface, 1);
    generateUniformKnots(editor.surface, 2);
    s.surface.controlNet.resize(static_cast<size_t>(kCount) * kCount);
    for (int v = 0; v < kCount; ++v) {
        for (int u = 0; u < kCount; ++u) {
            const float a = 6.2831853f * static_cast<float>(u) / kCount;
            const float w = 1.0f + 0.25f * std::sin(static_cast<float>(u + 2 * v));
            const float z = 0.05f * static_cast<float>(v);
            s.surface.controlNet[static_cast<size_t>(v) * kCount + u] = {std::cos(a) * w,
                                                                         std::sin(a) * w, z * w, w};
        }
    }
    s.derived.multiplicity = 1;
    s.panel.skinningEnabled = skinning ? 1 : 0;
    if (skinning) computeSkinning(editor);
    markSurfaceSaved(s);
}

void UndoRedo200(benchmark::State& state) {
    setSurface(state.range(0) != 0);
    editor.selection.currentSection = kCount / 2;
    editor.panel.translateX = 0.25f;
    translateByControl(editor, TranslateControl::x);
    if (editor.history.undoSteps.size() != 1) state.SkipWithError("the move made no step");
    bool undo = true;
    for (auto _ : state) {
        if (!(undo ? undoEdit(editor) : redoEdit(editor))) {
            state.SkipWithError("nothing to undo or redo");
        }
        undo = !undo;
    }
}
BENCHMARK(UndoRedo200)->ArgName("skinning")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
