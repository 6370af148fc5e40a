// Rebuild of the wavy sheet (rational, degree 3 both ways) to as many points as it has, to half
// as many, and to the fewest within a tolerance; and the loft through a stack of rings with
// free ends against the same loft closed to a pole at its start and leaving its end along the
// normal.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "model/derived_nets.h"
#include "model/loft_ends.h"
#include "model/skinning.h"
#include "model/surface_rebuild.h"
#include "wavy_sheet.h"

namespace {

// Times rebuilds of sheet with options; the report of the last.
RebuildReport timeRebuild(benchmark::State& state, const SurfaceModel& sheet,
                          const RebuildOptions& options) {
    RebuildReport report;
    for (auto _ : state) {
        SurfaceModel out;
        std::string refusal;
        if (!rebuildSurface(sheet, options, out, report, refusal))
            state.SkipWithError(refusal.c_str());
        benchmark::DoNotOptimize(out.controlNet.data());
    }
    return report;
}

// range(0): the sheet's points per direction; range(1): the points of the rebuild.
void RebuildToPoints(benchmark::State& state) {
    const SurfaceModel sheet = wavySheet(static_cast<int>(state.range(0)));
    RebuildOptions options;
    options.pointsU = options.pointsV = static_cast<int>(state.range(1));
    options.fairness = 1e-10;
    const RebuildReport report = timeRebuild(state, sheet, options);
    state.counters["deviation"] = report.maxDeviation;
}
BENCHMARK(RebuildToPoints)
    ->Args({50, 50})
    ->Args({50, 25})
    ->Args({200, 200})
    ->Args({200, 100})
    ->Unit(benchmark::kMillisecond);

// The fewest points within 1e-3 of the sheet (its waves are 0.3 high at most).
void RebuildToTolerance(benchmark::State& state) {
    const SurfaceModel sheet = wavySheet(static_cast<int>(state.range(0)));
    RebuildOptions options;
    options.tolerance = 1e-3;
    const RebuildReport report = timeRebuild(state, sheet, options);
    state.counters["pointsU"] = report.pointsU;
    state.counters["pointsV"] = report.pointsV;
}
BENCHMARK(RebuildToTolerance)->Arg(50)->Arg(200)->Unit(benchmark::kMillisecond);

// range(0) rings of 40 points along z, radius swelling and shrinking like a fuselage, cubic
// both ways; range(1): 0 free ends, 1 a pole at the start and a tangent end.
void LoftEnds(benchmark::State& state) {
    const int rings = static_cast<int>(state.range(0));
    const int points = 40;
    SurfaceModel s;
    s.countU = points;
    s.countV = rings;
    s.orderU = s.orderV = 4;
    s.knotCountU = points + 4;
    s.knotCountV = rings + 4;
    s.knotsU.resize(static_cast<size_t>(points + 4));
    s.knotsV.resize(static_cast<size_t>(rings + 4));
    fillUniformKnots(s.knotsU.data(), points + 4, 4);
    fillUniformKnots(s.knotsV.data(), rings + 4, 4);
    for (int k = 0; k < rings; ++k) {
        const float t = static_cast<float>(k + 1) / static_cast<float>(rings + 1);
        const float r = 0.2f + std::sin(3.14159265f * t);
        for (int i = 0; i < points; ++i) {
            const float a = 6.2831853f * static_cast<float>(i) / static_cast<float>(points - 1);
            s.controlNet.push_back({r * std::cos(a), r * std::sin(a), 4.0f * t, 1.0f});
        }
    }
    LoftOptions options;
    if (state.range(1) != 0) {
        options.start.kind = LoftEndKind::point;
        options.end.kind = LoftEndKind::tangent;
    }
    for (auto _ : state) {
        DerivedNets derived;
        std::string refusal;
        if (!skinSurface(s, options, derived, refusal)) state.SkipWithError(refusal.c_str());
        benchmark::DoNotOptimize(derived.skinnedNet.data());
    }
}
BENCHMARK(LoftEnds)->ArgsProduct({{50, 200}, {0, 1}})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
