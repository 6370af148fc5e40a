// The plane a half-model is mirrored across: one of x = c, y = c, z = c (z = 0, a hull's centre
// plane, unless chosen otherwise), and the reflection of points and surfaces across it.
#pragma once

#include <cstdint>

#include "model/surface_model.h"

struct MirrorPlane {
    int32_t axis = 2;  // 0: x = offset, 1: y = offset, 2: z = offset
    float offset = 0.0f;
};

// True when the axis is 0, 1 or 2 and the offset finite.
bool mirrorPlaneIsSound(const MirrorPlane& plane);

// The coordinate c reflected across the plane at offset: 2 * offset - c, exactly -c at 0.
float reflectCoordinate(float c, float offset);

// The control point reflected across the plane: its Cartesian point is reflected, its weight
// kept (the stored value along the axis becomes 2 * offset * w - c * w).
PointH reflectPoint(const PointH& point, const MirrorPlane& plane);

// The surface with every control point reflected; counts, orders and knots kept. Its normal
// (S_u x S_v) points the opposite way to the reflected normal of the surface.
SurfaceModel reflectSurface(const SurfaceModel& surface, const MirrorPlane& plane);

// True when the Cartesian point lies on the plane, within a millionth of the larger of 1 and the
// point's distance from the origin along the axis (a point dragged in the section window is
// rounded to float on every step).
bool liesOnMirrorPlane(const PointH& point, const MirrorPlane& plane);
