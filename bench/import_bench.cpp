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

#include "wavy_sheet.h"

namespace {

constexpr int kCount = 200;

SurfaceModel largeSurface() { return wavySheet(kCount); }

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
