// Hydrostatics of a cubic hull of 50 x 50 and of 200 x 200 control points: one waterplane
// (the surface prepared once, as the panel keeps it between drafts), the preparation itself,
// and a table of 50 drafts from a surface just loaded.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>

#include "hull/hydrostatics.h"
#include "model/knots.h"

namespace {

// count x count points, cubic both ways: round-bilged sections at constant x whose breadth and
// depth fall off towards both ends, open at the deck.
SurfaceModel hull(int count) {
    SurfaceModel s;
    s.countU = s.countV = count;
    s.orderU = s.orderV = 4;
    s.knotCountU = s.knotCountV = count + 4;
    s.knotsU.resize(static_cast<size_t>(count + 4));
    s.knotsV.resize(static_cast<size_t>(count + 4));
    fillUniformKnots(s.knotsU.data(), count + 4, 4);
    fillUniformKnots(s.knotsV.data(), count + 4, 4);
    for (int v = 0; v < count; ++v) {
        const double xi = -1.0 + 2.0 * v / (count - 1);
        const double breadth = 0.05 + 0.45 * (1.0 - xi * xi), depth = 0.1 + 0.3 * (1.0 - xi * xi);
        for (int u = 0; u < count; ++u) {
            const double a = 3.14159265358979 * u / (count - 1);
            s.controlNet.push_back({static_cast<float>(2.0 * xi),
                                    static_cast<float>(0.3 - (0.3 + depth) * std::sin(a)),
                                    static_cast<float>(-breadth * std::cos(a)), 1.0f});
        }
    }
    return s;
}

void BM_OneWaterplane(benchmark::State& state) {
    const SurfaceModel s = hull(static_cast<int>(state.range(0)));
    HullModel model;
    std::string error;
    prepareHull(s, 0.0, model, error);
    Hydrostatics h;
    for (auto _ : state) {
        computeHydrostatics(model, 0.35, HydrostaticsOptions{}, h, error);
        benchmark::DoNotOptimize(h.volume.value);
    }
}
BENCHMARK(BM_OneWaterplane)->Arg(50)->Arg(200)->Unit(benchmark::kMillisecond);

void BM_Preparation(benchmark::State& state) {
    const SurfaceModel s = hull(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        HullModel model;
        std::string error;
        prepareHull(s, 0.0, model, error);
        benchmark::DoNotOptimize(model.size);
    }
}
BENCHMARK(BM_Preparation)->Arg(50)->Arg(200)->Unit(benchmark::kMillisecond);

void BM_FiftyDraftTable(benchmark::State& state) {
    const SurfaceModel s = hull(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        HullModel model;
        std::string error;
        prepareHull(s, 0.0, model, error);
        double sum = 0.0;
        for (int k = 1; k <= 50; ++k) {
            Hydrostatics h;
            if (computeHydrostatics(model, 0.012 * k, HydrostaticsOptions{}, h, error)) {
                sum += h.volume.value;
            }
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_FiftyDraftTable)->Arg(50)->Arg(200)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
