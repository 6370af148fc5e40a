// Moving, adding and deleting section points.
#include "model/section_points.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "model/finite_values.h"
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
    if (!finite(moved)) return false;
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

std::vector<PointH> pointsToInsert(const SurfaceModel& surface, int index, int section, Point3 u) {
    // u's foot on the segment (A, B) of the current section, as a fraction of the segment; the
    // middle when the segment has no length or a neighbour has no Cartesian place.
    const PointH* points = sectionPoints(surface, section);
    const Point3 A = cartesian(points[index - 1]);
    const Point3 B = cartesian(points[index]);
    const Vector3 AB = B - A;
    const double squared = double(AB.x) * AB.x + double(AB.y) * AB.y + double(AB.z) * AB.z;
    double t = 0.5;
    if (finite(A) && finite(B) && squared > 0.0 && std::isfinite(squared)) {
        const Vector3 AU = u - A;
        t = (double(AU.x) * AB.x + double(AU.y) * AB.y + double(AU.z) * AB.z) / squared;
        t = t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);
    }
    std::vector<PointH> inserted(static_cast<size_t>(surface.countV));
    for (int i = 0; i < surface.countV; ++i) {
        Point3 p = u;
        if (i != section) {
            const PointH* q = sectionPoints(surface, i);
            const Point3 P = cartesian(q[index - 1]);
            const Point3 Q = cartesian(q[index]);
            // A neighbour of weight 0 has no place: the other one stands in for it.
            if (finite(P) && finite(Q)) {
                p = Point3(static_cast<float>(P.x + t * (double(Q.x) - P.x)),
                           static_cast<float>(P.y + t * (double(Q.y) - P.y)),
                           static_cast<float>(P.z + t * (double(Q.z) - P.z)));
            } else if (finite(P) || finite(Q)) {
                p = finite(P) ? P : Q;
            }
        }
        inserted[static_cast<size_t>(i)] = PointH{p.x, p.y, p.z, 1.0f};
    }
    return inserted;
}

void insertSectionPoint(SurfaceModel& surface, int index, const std::vector<PointH>& inserted) {
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
                to[j] = inserted[static_cast<size_t>(section)];
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
