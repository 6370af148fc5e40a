// Import of a 200 x 200 rational surface from STEP and from IGES: the file written once by the
// export, then read through Open CASCADE's reader into the editor's surface on every run.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "exchange/cad_import.h"
#include "exchange/export_surface.h"
#include "model/knots.h"

namespace {

constexpr int kCount = 200;

// A rational 200 x 200 sheet of degree 3 both ways, with uneven waves.
SurfaceModel largeSurface() {
    SurfaceModel s;
    s.countU = s.countV = kCount;
    s.orderU = s.orderV = 4;
    s.knotCountU = s.knotCountV = kCount + 4;
    s.knotsU.resize(kCount + 4);
    s.knotsV.resize(kCount + 4);
    fillUniformKnots(s.knotsU.data(), kCount + 4, 4);
    fillUniformKnots(s.knotsV.data(), kCount + 4, 4);
    for (int v = 0; v < kCount; ++v) {
        for (int u = 0; u < kCount; ++u) {
            const float x = -1.0f + 2.0f * u / (kCount - 1);
            const float y = -1.0f + 2.0f * v / (kCount - 1);
            const float z = 0.15f * (1.5f + y) * std::sin(4.0f * x) * std::cos(3.0f * y);
            const float w = 1.0f + 0.2f * std::sin(0.05f * (u + 2 * v));
            s.controlNet.push_back({x * w, y * w, z * w, w});
        }
    }
    return s;
}

// The surface exported once per format into a scratch file, removed at exit.
const std::string& exportedFile(const char* extension) {
    static std::string paths[2];
    std::string& path = paths[std::string(extension) == "step" ? 0 : 1];
    if (path.empty()) {
        path = "/tmp/loftwork-import-bench-" + std::to_string(getpid()) + "." + extension;
        ExportReport report;
        std::string message;
        if (!exportSurface(path, largeSurface(), std::nullopt, report, message)) {
            fprintf(stderr, "%s\n", message.c_str());
        }
        atexit([] {
            for (const std::string& p : paths) {
                if (!p.empty()) unlink(p.c_str());
            }
        });
    }
    return path;
}

void importFrom(benchmark::State& state, const char* extension) {
    const std::string& path = exportedFile(extension);
    for (auto _ : state) {
        SurfaceModel surface;
        ImportReport report;
        std::string error;
        if (!importCadSurface(path, 0, surface, report, error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        benchmark::DoNotOptimize(surface.controlNet.data());
    }
    state.SetLabel("200 x 200 points");
}

void ImportStep(benchmark::State& state) {
    importFrom(state, "step");
}
void ImportIges(benchmark::State& state) {
    importFrom(state, "igs");
}
BENCHMARK(ImportStep)->Unit(benchmark::kMillisecond);
BENCHMARK(ImportIges)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
