// Reflection of points and surfaces across the half-model's mirror plane.
#include "model/mirror_plane.h"

#include <cmath>

namespace {

float& along(PointH& point, int axis) {
    return axis == 0 ? point.x : axis == 1 ? point.y : point.z;
}

}  // namespace

bool mirrorPlaneIsSound(const MirrorPlane& plane) {
    return plane.axis >= 0 && plane.axis <= 2 && std::isfinite(plane.offset);
}

float reflectCoordinate(float c, float offset) {
    if (offset == 0.0f) return -c;
    return static_cast<float>(2.0 * offset - c);
}

PointH reflectPoint(const PointH& point, const MirrorPlane& plane) {
    PointH out = point;
    float& c = along(out, plane.axis);
    if (plane.offset == 0.0f) {
        c = -c;
    } else {
        c = static_cast<float>(2.0 * plane.offset * point.w - c);
    }
    return out;
}

SurfaceModel reflectSurface(const SurfaceModel& surface, const MirrorPlane& plane) {
    SurfaceModel out = surface;
    for (PointH& p : out.controlNet) p = reflectPoint(p, plane);
    return out;
}

bool liesOnMirrorPlane(const PointH& point, const MirrorPlane& plane) {
    if (!(point.w != 0.0f) || !mirrorPlaneIsSound(plane)) return false;
    PointH copy = point;
    const double c = static_cast<double>(along(copy, plane.axis)) / point.w;
    const double reach = std::fmax(1.0, std::fabs(c));
    return std::fabs(c - plane.offset) <= 1.0e-6 * reach;
}
