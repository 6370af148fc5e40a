// Moving, adding and deleting section points.
#include "model/section_points.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "model/knots.h"

namespace {

Point3 cartesian(const PointH& p) {
    return {p.x / p.w, p.y / p.w, p.z / p.w};
}

}  // namespace

bool moveSectionPoint(SurfaceModel& surface, int section, int point, Point3 u) {
    if (!hasSection(surface, section) || point < 0 || point >= surface.countU) return false;
    PointH& p = sectionPoints(surface, section)[point];
    const float w = p.w;
    if (w == 0.0f || !std::isfinite(w)) return false;
    const PointH moved = {u.x * w, u.y * w, u.z * w, w};
    if (!std::isfinite(moved.x) || !std::isfinite(moved.y) || !std::isfinite(moved.z)) {
        return false;
    }
    p = moved;
    return true;
}

int nearestSectionPoint(const SurfaceModel& surface, int section, Point3 u, float limit) {
    if (!hasSection(surface, section)) return -1;
    const PointH* points = sectionPoints(surface, section);
    float best = limit;
    int found = -1;
    for (int i = 0; i < surface.countU; ++i) {
        const float d = u.distanceTo(cartesian(points[i]));
        if (d < best) {
            best = d;
            found = i;
        }
    }
    return found;
}

int nearestPolygonSegment(const SurfaceModel& surface, int section, Point3 u, float limit) {
    if (!hasSection(surface, section)) return -1;
    const PointH* points = sectionPoints(surface, section);
    float best = limit;
    int found = -1;
    for (int i = 1; i < surface.countU; ++i) {
        const float d = u.distanceTo(cartesian(points[i])) + u.distanceTo(cartesian(points[i - 1]));
        if (d < best) {
            best = d;
            found = i;
        }
    }
    return found;
}

void insertSectionPoint(SurfaceModel& surface, int index, const PointH& inserted) {
    const int oldCount = surface.countU;
    const int newCount = oldCount + 1;
    std::vector<PointH> net(static_cast<size_t>(newCount) * static_cast<size_t>(surface.countV));
    for (int section = 0; section < surface.countV; ++section) {
        const PointH* from = sectionPoints(surface, section);
        PointH* to = net.data() + static_cast<size_t>(section) * newCount;
        for (int j = 0; j < newCount; ++j) {
            if (j < index) {
                to[j] = from[j];
            } else if (j == index) {
                to[j] = inserted;
            } else {
                to[j] = from[j - 1];
            }
        }
    }
    surface.knotCountU += 1;
    surface.countU = newCount;
    surface.controlNet.swap(net);
    generateUniformKnots(surface, 1);
}

bool removeSectionPoint(SurfaceModel& surface, int index, std::string& error) {
    char line[128];
    // The curve of a section needs at least as many points as its order.
    if (surface.countU - 1 < surface.orderU) {
        snprintf(line, sizeof line, "a section of degree %d needs at least %d points",
                 surface.orderU - 1, surface.orderU);
        error = line;
        return false;
    }
    if (index < 0 || index >= surface.countU) {
        snprintf(line, sizeof line, "a section has no point %d", index);
        error = line;
        return false;
    }
    const int oldCount = surface.countU;
    const int newCount = oldCount - 1;
    std::vector<PointH> net(static_cast<size_t>(newCount) * static_cast<size_t>(surface.countV));
    for (int section = 0; section < surface.countV; ++section) {
        const PointH* from = sectionPoints(surface, section);
        PointH* to = net.data() + static_cast<size_t>(section) * newCount;
        for (int j = 0; j < newCount; ++j) to[j] = j < index ? from[j] : from[j + 1];
    }
    surface.knotCountU -= 1;
    surface.countU = newCount;
    surface.controlNet.swap(net);
    generateUniformKnots(surface, 1);
    return true;
}
