// CPU use of the idle editor in each shading of the main view: the editor's windows on the sample
// vase with the probe sweeping, run through the loop freeglut's main loop runs (window events and
// posted frames, then the idle handler) for a few seconds. Reports the process's CPU time (every
// thread, llvmpipe's included) as a share of one core, and the main-view frames drawn a second.
// Needs a display (scripts/bench runs it under xvfb-run with software GL).
#include <GL/freeglut.h>
#include <benchmark/benchmark.h>
#include <time.h>

#include <chrono>

#include "app/application.h"
#include "bench_editor.h"
#include "model/editor_state.h"
#include "view/main_view.h"

namespace {

constexpr double kSettleSeconds = 1.0;
constexpr double kMeasureSeconds = 6.0;

double processCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// What glutMainLoop does on each turn, for `seconds`.
void runMainLoop(double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        glutMainLoopEvent();
        probeIdle();
    }
}

void IdleCpu(benchmark::State& state, int shading, float displayMode) {
    if (!benchsupport::loadSample("vase.surf")) {
        state.SkipWithError("cannot load the sample vase");
        return;
    }
    editor.panel.shading = shading;
    editor.panel.surfaceDisplayMode = displayMode;
    editor.panel.fillSurface = displayMode == kDisplayModeFill ? 1 : 0;
    glutPostWindowRedisplay(editor.handles.mainWindow);
    for (auto _ : state) {
        runMainLoop(kSettleSeconds);
        const long framesBefore = mainFrameCount();
        const double cpuBefore = processCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        runMainLoop(kMeasureSeconds);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double busy = processCpuSeconds() - cpuBefore;
        state.SetIterationTime(seconds);
        state.counters["core_percent"] = 100.0 * busy / seconds;
        state.counters["frames_per_second"] =
            static_cast<double>(mainFrameCount() - framesBefore) / seconds;
    }
    editor.panel.shading = kShadingGlu;
    editor.panel.surfaceDisplayMode = kDisplayModeOutline;
    editor.panel.fillSurface = 0;
}

BENCHMARK_CAPTURE(IdleCpu, outline, kShadingGlu, kDisplayModeOutline)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(IdleCpu, fill, kShadingGlu, kDisplayModeFill)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(IdleCpu, zebra, kShadingZebra, kDisplayModeOutline)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(IdleCpu, curvature, kShadingCurvature, kDisplayModeOutline)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    return benchsupport::runWithEditor(argc, argv);
}
