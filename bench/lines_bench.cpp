// A lines plan of 21 stations, 10 waterlines and 6 buttocks of a hull-like surface of 50 x 50
// and 200 x 200 control points: the cuts with the DXF text, and the same plan drawn as a PDF.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>

#include "exchange/lines_plan.h"
#include "exchange/lines_print.h"
#include "model/knots.h"
#include "model/plane_cuts.h"

namespace {

// A half hull, degree 3 both ways: sections across x from bow to stern, each running from the
// keel up to the sheer, with small waves so no two spans are alike.
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
        for (int u = 0; u < count; ++u) {
            const float x = -1.0f + 2.0f * v / (count - 1);
            const float t = static_cast<float>(u) / (count - 1);
            const float beam = 0.4f * (1.0f - 0.8f * x * x) + 0.004f * std::sin(25.0f * x);
            const float y = -0.3f * (1.0f - t) * (1.0f - 0.3f * x * x) + 0.003f * std::sin(17.0f * t);
            const float z = beam * std::sin(1.5707964f * t);
            s.controlNet.push_back({x, y, z, 1.0f});
        }
    }
    return s;
}

LinesRequest request(const SurfaceModel& surface) {
    double box[6];
    std::string error;
    surfaceBox(surface, box, error);
    LinesRequest r;
    r.stations = evenlySpaced(0, 21, box[0], box[3]);
    r.waterlines = evenlySpaced(1, 10, box[1], box[4]);
    r.buttocks = evenlySpaced(2, 6, 0.0, box[5]);
    r.mirror = MirrorPlane{2, 0.0f};
    return r;
}

void BM_LinesPlanDxf(benchmark::State& state) {
    const SurfaceModel surface = hull(static_cast<int>(state.range(0)));
    const LinesRequest r = request(surface);
    size_t points = 0;
    for (auto _ : state) {
        LinesPlan plan;
        std::string error;
        if (!makeLinesPlan(surface, r, plan, error)) state.SkipWithError(error.c_str());
        const std::string dxf = formatLinesDxf(layOutLinesPlan(plan));
        benchmark::DoNotOptimize(dxf.data());
        points = 0;
        for (const PlanLine& line : plan.lines) {
            for (const CutCurve& c : line.cut.curves) points += c.points.size();
        }
    }
    state.counters["points"] = static_cast<double>(points);
}
BENCHMARK(BM_LinesPlanDxf)->Arg(50)->Arg(200)->Unit(benchmark::kMillisecond);

void BM_LinesPlanPdf(benchmark::State& state) {
    const SurfaceModel surface = hull(static_cast<int>(state.range(0)));
    const LinesRequest r = request(surface);
    const std::string path = "/tmp/loftwork-lines-bench.pdf";
    for (auto _ : state) {
        LinesPlan plan;
        std::string error, message;
        if (!makeLinesPlan(surface, r, plan, error)) state.SkipWithError(error.c_str());
        if (!writeLinesPrint(path, PrintFormat::pdf, layOutLinesPlan(plan), PrintScale(), message)) {
            state.SkipWithError(message.c_str());
        }
    }
    remove(path.c_str());
}
BENCHMARK(BM_LinesPlanPdf)->Arg(50)->Arg(200)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
