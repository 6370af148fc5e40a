#pragma once
// The large surface the exchange benchmarks share: a rational sheet of degree 3 both ways, with
// waves whose height grows across it, so its curvature is uneven.
#include <cmath>

#include "model/knots.h"
#include "model/surface_model.h"

inline SurfaceModel wavySheet(int count) {
    SurfaceModel s;
    s.countU = s.countV = count;
    s.orderU = s.orderV = 4;
    s.knotCountU = s.knotCountV = count + 4;
    s.knotsU.resize(count + 4);
    s.knotsV.resize(count + 4);
    fillUniformKnots(s.knotsU.data(), count + 4, 4);
    fillUniformKnots(s.knotsV.data(), count + 4, 4);
    for (int v = 0; v < count; ++v) {
        for (int u = 0; u < count; ++u) {
            const float x = -1.0f + 2.0f * u / (count - 1);
            const float y = -1.0f + 2.0f * v / (count - 1);
            const float z = 0.15f * (1.5f + y) * std::sin(4.0f * x) * std::cos(3.0f * y);
            const float w = 1.0f + 0.2f * std::sin(0.05f * (u + 2 * v));
            s.controlNet.push_back({x * w, y * w, z * w, w});
        }
    }
    return s;
}
