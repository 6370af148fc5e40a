// Surfaces whose plane cuts have closed forms: the Wigley hull (its stations and waterlines are
// parabolas) and a sphere made as a surface of revolution (every plane cut is a circle).
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "model/surface_commands.h"
#include "support/export_surfaces.h"

namespace testsupport {

// Wigley hull z = B/2 (1 - (2x/L)^2) (1 - (y/T)^2) for -L/2 <= x <= L/2, -T <= y <= 0: one
// biquadratic Bezier patch, sections along y at x = -L/2, 0, L/2.
constexpr double kL = 4.0, kB = 0.5, kT = 0.25;

inline SurfaceModel wigley() {
    const float a[3] = {0, 2, 0}, b[3] = {0, 1, 1};
    std::vector<PointH> net;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            const float x = static_cast<float>(-kL / 2 + kL / 2 * i);
            const float y = static_cast<float>(-kT + kT / 2 * j);
            net.push_back({x, y, static_cast<float>(kB / 2) * a[i] * b[j], 1.0f});
        }
    }
    return testsupport::makeSurface(3, 3, 3, 3, {0, 0, 0, 1, 1, 1}, {0, 0, 0, 1, 1, 1}, net);
}

inline double wigleyZ(double x, double y) {
    return kB / 2 * (1 - (2 * x / kL) * (2 * x / kL)) * (1 - (y / kT) * (y / kT));
}

inline const float kHalfRoot2 = std::sqrt(0.5f);
constexpr float kRadius = 1.5f;

// The full turn about the y axis of a half circle from pole to pole: a seam along z = 0, x > 0.
inline SurfaceModel sphere() {
    const float r = kRadius;
    const std::vector<std::array<float, 3>> profile = {
        {0, -r, 1}, {r, -r, kHalfRoot2}, {r, 0, 1}, {r, r, kHalfRoot2}, {0, r, 1}};
    std::vector<PointH> net;
    for (int copy = 0; copy < 2; ++copy) {
        for (const auto& p : profile) net.push_back({p[0] * p[2], p[1] * p[2], 0.0f, p[2]});
    }
    const SurfaceModel flat =
        testsupport::makeSurface(5, 2, 3, 2, {0, 0, 0, 0.5f, 0.5f, 1, 1, 1}, {0, 0, 1, 1}, net);
    SurfaceModel out;
    std::string error;
    EXPECT_TRUE(revolveSection(flat, 0, out, error)) << error;
    return out;
}

}  // namespace testsupport
