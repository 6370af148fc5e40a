// Zebra stripe coordinates and curvature colours of an evaluated grid.
#include "model/surface_analysis.h"

#include <algorithm>
#include <cmath>

void zebraCoordinates(const SurfaceGrid& grid, Point3 eye, Vector3 across, float bandsAcross,
                      std::vector<float>& coordinates) {
    const size_t vertices = grid.defined.size();
    coordinates.assign(vertices, 0.0f);
    if (grid.normals.size() != 3 * vertices) return;
    for (size_t i = 0; i < vertices; ++i) {
        if (!grid.defined[i]) continue;
        const Point3 p(grid.positions[3 * i], grid.positions[3 * i + 1], grid.positions[3 * i + 2]);
        const Vector3 n(grid.normals[3 * i], grid.normals[3 * i + 1], grid.normals[3 * i + 2]);
        const Vector3 d = normalized(p - eye);
        // r = d - 2 (d . n) n; the normal's side does not matter.
        const Vector3 r = d - n * (2.0f * dot(d, n));
        const float s = bandsAcross * dot(r, across);
        coordinates[i] = std::isfinite(s) ? s : 0.0f;
    }
}

float curvatureScaleRange(const SurfaceGrid& grid, CurvatureKind kind) {
    const std::vector<float>& values = kind == CurvatureKind::gaussian ? grid.gaussian : grid.mean;
    std::vector<float> magnitudes;
    magnitudes.reserve(values.size());
    for (size_t i = 0; i < values.size() && i < grid.defined.size(); ++i) {
        if (grid.defined[i]) magnitudes.push_back(std::fabs(values[i]));
    }
    if (magnitudes.empty()) return 0.0f;
    const size_t k = (magnitudes.size() - 1) * 95 / 100;
    std::nth_element(magnitudes.begin(), magnitudes.begin() + static_cast<std::ptrdiff_t>(k),
                     magnitudes.end());
    float range = magnitudes[k];
    if (range == 0.0f) range = *std::max_element(magnitudes.begin(), magnitudes.end());
    return std::isfinite(range) ? range : 0.0f;
}

void divergingColour(float value, float range, uint8_t rgb[3]) {
    // Blue, light grey and red ends of a cool-to-warm scale, mixed linearly on each side.
    static const float kNegative[3] = {0.23f, 0.30f, 0.75f};
    static const float kZero[3] = {0.87f, 0.87f, 0.87f};
    static const float kPositive[3] = {0.71f, 0.02f, 0.15f};
    float t = range > 0.0f ? value / range : 0.0f;
    if (!std::isfinite(t)) t = 0.0f;
    t = std::clamp(t, -1.0f, 1.0f);
    const float* end = t < 0.0f ? kNegative : kPositive;
    const float a = std::fabs(t);
    for (int c = 0; c < 3; ++c) {
        const float mixed = kZero[c] + (end[c] - kZero[c]) * a;
        rgb[c] = static_cast<uint8_t>(std::lround(255.0f * mixed));
    }
}

void curvatureColours(const SurfaceGrid& grid, CurvatureKind kind, float range,
                      std::vector<uint8_t>& colours) {
    const std::vector<float>& values = kind == CurvatureKind::gaussian ? grid.gaussian : grid.mean;
    const size_t vertices = grid.defined.size();
    colours.assign(3 * vertices, 0);
    for (size_t i = 0; i < vertices; ++i) {
        const float value = grid.defined[i] && i < values.size() ? values[i] : 0.0f;
        divergingColour(value, range, &colours[3 * i]);
    }
}
