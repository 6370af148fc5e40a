// "align all" on closed sections of many points: two lopsided rings of 10,000 to 100,000 points,
// the second reversed and started a third of the way round, so every start of both directions is
// in play; and a 1000 x 1000 net of such rings, the editor's largest, each turned a little
// further.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "model/knots.h"
#include "model/section_correspondence.h"

namespace {

SurfaceModel twistedRings(int points, int sections) {
    SurfaceModel s;
    s.countU = points;
    s.countV = sections;
    s.orderU = 4;
    s.orderV = 2;
    s.knotCountU = points + 4;
    s.knotCountV = sections + 2;
    s.knotsU.resize(static_cast<size_t>(s.knotCountU));
    s.knotsV.resize(static_cast<size_t>(s.knotCountV));
    fillUniformKnots(s.knotsU.data(), s.knotCountU, 4);
    fillUniformKnots(s.knotsV.data(), s.knotCountV, 2);
    std::string error;
    for (int v = 0; v < sections; ++v) {
        for (int j = 0; j < points - 1; ++j) {
            const float t = 6.2831853f * static_cast<float>(j) / static_cast<float>(points - 1);
            const float r = 1.0f + 0.2f * std::cos(t - 0.3f) + 0.05f * std::sin(9.0f * t);
            s.controlNet.push_back({r * std::cos(t), 0.7f * r * std::sin(t), 0.4f * v, 1.0f});
        }
        s.controlNet.push_back(s.controlNet[static_cast<size_t>(v) * points]);
    }
    for (int v = 1; v < sections; ++v) {
        if (v % 2 == 1) flipSection(s, v, error);
        shiftSectionStart(s, v, v * (points / 3) + 7, error);
    }
    return s;
}

void alignAll(benchmark::State& state, int points, int sections) {
    const SurfaceModel twisted = twistedRings(points, sections);
    for (auto _ : state) {
        state.PauseTiming();
        SurfaceModel s = twisted;
        state.ResumeTiming();
        AlignmentReport report;
        std::string error;
        alignSections(s, report, error);
        benchmark::DoNotOptimize(report.totalAfter);
    }
}

// Two sections of N - 1 distinct points each (the quadratic search took 39 s at 32,000).
void AlignTwoSections(benchmark::State& state) {
    alignAll(state, static_cast<int>(state.range(0)), 2);
}
BENCHMARK(AlignTwoSections)->Arg(10001)->Arg(32001)->Arg(100001)->Unit(benchmark::kMillisecond);

void AlignA1000By1000Net(benchmark::State& state) {
    alignAll(state, 1000, 1000);
}
BENCHMARK(AlignA1000By1000Net)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
