// Skinning of synthetic N x N nets (orders 4 x 4): the reference path, which eliminates the
// dense collocation matrix anew for every coordinate of every column, against the production
// path (computeSkinning: one banded elimination shared by all columns). Both give the same
// floats; the skinning tests check that. Then the production path with every loft option.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "model/editor_state.h"
#include "model/knots.h"
#include "model/skinning.h"
#include "model/surface_limits.h"

namespace {

// N sections of N points: slightly wavy rings at uneven spacing, weights around 1.
void setSyntheticSurface(int count) {
    EditorState& s = editor;
    s = EditorState();
    s.surface.countU = count;
    s.surface.countV = count;
    s.surface.orderU = 4;
    s.surface.orderV = 4;
    s.surface.knotCountU = count + 4;
    s.surface.knotCountV = count + 4;
    generateUniformKnots(editor.surface, 1);
    generateUniformKnots(editor.surface, 2);
    s.surface.controlNet.resize(static_cast<size_t>(count) * count);
    float z = 0.0f;
    for (int v = 0; v < count; ++v) {
        z += 0.05f + 0.02f * static_cast<float>(v % 3);
        for (int u = 0; u < count; ++u) {
            const float a = 6.2831853f * static_cast<float>(u) / static_cast<float>(count);
            const float r = 1.0f + 0.2f * std::sin(0.3f * static_cast<float>(v) + 3.0f * a);
            const float w = 1.0f + 0.25f * std::sin(static_cast<float>(u + 2 * v));
            s.surface.controlNet[static_cast<size_t>(v) * count + u] = {
                r * std::cos(a) * w, r * std::sin(a) * w, z * w, w};
        }
    }
}

// Parameters, knots and one reference interpolation per column, as the plain algorithm does.
void skinByReference(std::vector<float>& out) {
    const EditorState& s = editor;
    const float* net = &s.surface.controlNet[0].x;
    std::vector<float> v(static_cast<size_t>(s.surface.countV));
    computeSectionParameters(net, s.surface.countU, s.surface.countV, v.data());
    std::vector<float> V(static_cast<size_t>(s.surface.knotCountV));
    averageKnots(v.data(), s.surface.countV, s.surface.orderV, V.data());
    out.resize(s.surface.controlNet.size() * 4);
    skinNetReference(out.data(), net, s.surface.countU, s.surface.countV, s.surface.orderV - 1,
                     V.data(), v.data());
}

void SkinningReference(benchmark::State& state) {
    setSyntheticSurface(static_cast<int>(state.range(0)));
    std::vector<float> out;
    for (auto _ : state) {
        skinByReference(out);
        benchmark::DoNotOptimize(out.data());
    }
}

void SkinningProduction(benchmark::State& state) {
    setSyntheticSurface(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        if (!computeSkinning(editor)) state.SkipWithError("skinning refused the net");
        benchmark::DoNotOptimize(editor.derived.skinnedNet.data());
    }
}

// R sections of 2 points at degree R - 1, the costliest order for R sections: the time skinning
// takes near kMostSkinningWork, the most it is allowed to start (R = 365 is just below).
void SkinningAtTheWorkLimit(benchmark::State& state) {
    const int R = static_cast<int>(state.range(0));
    EditorState& s = editor;
    s = EditorState();
    s.surface.countU = 2;
    s.surface.countV = R;
    s.surface.orderU = 2;
    s.surface.orderV = R;
    s.surface.knotCountU = 4;
    s.surface.knotCountV = 2 * R;
    generateUniformKnots(editor.surface, 1);
    generateUniformKnots(editor.surface, 2);
    for (int v = 0; v < R; ++v) {
        const float z = 0.01f * static_cast<float>(v) + 0.002f * static_cast<float>(v % 3);
        s.surface.controlNet.push_back({0.0f, std::sin(0.1f * static_cast<float>(v)), z, 1.0f});
        s.surface.controlNet.push_back({1.0f, 0.0f, z, 1.0f});
    }
    state.counters["work"] = skinningWork(R, 2, R);
    // At these degrees the elimination's rounding takes interpolated weights through 0; the
    // compatible loft keeps them.
    s.panel.rationalSections = static_cast<int32_t>(LoftRational::compatible);
    for (auto _ : state) {
        if (!computeSkinning(editor)) state.SkipWithError("skinning refused the net");
        benchmark::DoNotOptimize(editor.derived.skinnedNet.data());
    }
}

// The production path with each loft option; the net is the same, so the times compare.
void SkinningWithOptions(benchmark::State& state) {
    setSyntheticSurface(static_cast<int>(state.range(0)));
    LoftOptions options = {static_cast<LoftParameters>(state.range(1)), state.range(2) != 0};
    options.rational = LoftRational::compatible;  // the closed loft's weights pass 0 otherwise
    state.SetLabel(std::string(loftParametersName(options.parameters)) +
                   (options.closed ? " closed" : " open"));
    DerivedNets derived;
    std::string refusal;
    for (auto _ : state) {
        if (!skinSurface(editor.surface, options, derived, refusal)) state.SkipWithError("refused");
        benchmark::DoNotOptimize(derived.skinnedNet.data());
    }
}

BENCHMARK(SkinningReference)->Arg(10)->Arg(50)->Arg(100)->Arg(200)->Unit(benchmark::kMillisecond);
BENCHMARK(SkinningProduction)->Arg(10)->Arg(50)->Arg(100)->Arg(200)->Unit(benchmark::kMillisecond);
BENCHMARK(SkinningAtTheWorkLimit)->Arg(100)->Arg(200)->Arg(365)->Unit(benchmark::kMillisecond);
BENCHMARK(SkinningWithOptions)
    ->ArgsProduct({{200}, {0, 1, 2}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
