// Finiteness of numbers, points, vectors and control points: true when no value is a NaN or an
// infinity. The one check for every place that refuses or skips what overflowed or was divided
// by zero; whole nets and knot vectors are checked by allFinite (model/surface_model.h).
#pragma once

#include <cmath>

#include "model/point_vector.h"

// Every one of the numbers: finite(u0, u1, v0, v1).
template <typename... Numbers>
bool finite(Numbers... values) {
    return (std::isfinite(values) && ...);
}
inline bool finite(const Point3& p) { return finite(p.x, p.y, p.z); }
inline bool finite(const Vector3& v) { return finite(v.x, v.y, v.z); }
// A homogeneous control point (PointH): its weighted coordinates and its weight. A template on
// whatever has a weight w, so this header needs no surface header.
template <typename Homogeneous, typename = decltype(Homogeneous::w)>
bool finite(const Homogeneous& p) {
    return finite(p.x, p.y, p.z, p.w);
}
