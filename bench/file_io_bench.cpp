// Loading and saving a 500 x 500 surface through the editor's own file code, in MB/s of file
// text.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "io/editor_file_io.h"
#include "io/surface_file.h"
#include "model/editor_state.h"
#include "model/knots.h"

namespace {

constexpr int kCount = 500;

// A wavy 500 x 500 sheet of orders 4 x 4 with weights around 1, in the editor.
void setLargeSurface() {
    EditorState& s = editor;
    s.surface.countU = kCount;
    s.surface.countV = kCount;
    s.surface.orderU = 4;
    s.surface.orderV = 4;
    s.surface.knotCountU = kCount + 4;
    s.surface.knotCountV = kCount + 4;
    s.surface.knotsU.resize(static_cast<size_t>(s.surface.knotCountU));
    s.surface.knotsV.resize(static_cast<size_t>(s.surface.knotCountV));
    fillUniformKnots(s.surface.knotsU.data(), s.surface.knotCountU, 4);
    fillUniformKnots(s.surface.knotsV.data(), s.surface.knotCountV, 4);
    s.surface.controlNet.resize(static_cast<size_t>(kCount) * kCount);
    for (int v = 0; v < kCount; ++v) {
        for (int u = 0; u < kCount; ++u) {
            const float x = -1.0f + 2.0f * static_cast<float>(v) / (kCount - 1);
            const float y = -1.0f + 2.0f * static_cast<float>(u) / (kCount - 1);
            const float z = 0.3f * std::sin(5.0f * x) * std::cos(4.0f * y);
            const float w = 1.0f + 0.25f * std::sin(static_cast<float>(u + v));
            s.surface.controlNet[static_cast<size_t>(v) * kCount + u] = {x * w, y * w, z * w, w};
        }
    }
    s.derived.multiplicity = 1;
}

std::string benchFile() {
    const char* tmp = getenv("TMPDIR");
    return std::string(tmp ? tmp : "/tmp") + "/loftwork-bench-" + std::to_string(getpid()) +
           ".surf";
}

long fileSize(const std::string& path) {
    FILE* file = fopen(path.c_str(), "rb");
    if (file == nullptr) return 0;
    fseek(file, 0, SEEK_END);
    const long size = ftell(file);
    fclose(file);
    return size;
}

void BM_SaveSurface500(benchmark::State& state) {
    setLargeSurface();
    const std::string path = benchFile();
    std::string message;
    for (auto _ : state) {
        if (!saveEditorSurface(editor, path.c_str(), message)) state.SkipWithError(message.c_str());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * fileSize(path));
    unlink(path.c_str());
}
BENCHMARK(BM_SaveSurface500)->Unit(benchmark::kMillisecond)->UseRealTime();

// Formatting alone, without the file system.
void BM_FormatSurface500(benchmark::State& state) {
    setLargeSurface();
    size_t bytes = 0;
    for (auto _ : state) {
        std::string text;
        formatSurfaceText(editor.surface, "bench.surf", text);
        bytes = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_FormatSurface500)->Unit(benchmark::kMillisecond);

// The whole editor load: read, check, commit.
void BM_LoadSurface500(benchmark::State& state) {
    setLargeSurface();
    const std::string path = benchFile();
    std::string message;
    if (!saveEditorSurface(editor, path.c_str(), message)) {
        state.SkipWithError(message.c_str());
        return;
    }
    for (auto _ : state) {
        if (!loadEditorSurface(editor, path.c_str(), message)) state.SkipWithError(message.c_str());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * fileSize(path));
    unlink(path.c_str());
}
BENCHMARK(BM_LoadSurface500)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
