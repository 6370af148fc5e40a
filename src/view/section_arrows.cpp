// Direction arrows at the start of each section.
#include "view/section_arrows.h"

#include <GL/gl.h>

#include <cmath>

#include "model/finite_values.h"
#include "model/point_vector.h"

namespace {

Point3 cartesian(const PointH& p) {
    return Point3(p.x / p.w, p.y / p.w, p.z / p.w);
}

// The arrow of one section: a shaft from point 0 towards the first point that differs from it,
// half the way there, and a head of two barbs that lie in the plane of the
// shaft and the section's centroid, so they open across the section, not along the view.
bool sectionArrow(const PointH* points, int count, Point3 segment[6]) {
    const Point3 start = cartesian(points[0]);
    Vector3 toCentroid(0.0f, 0.0f, 0.0f);
    for (int i = 0; i < count; ++i) toCentroid = toCentroid + (cartesian(points[i]) - start);
    toCentroid = toCentroid * (1.0f / static_cast<float>(count));
    for (int i = 1; i < count; ++i) {
        const Vector3 toward = cartesian(points[i]) - start;
        const float distance = length(toward);
        if (!(distance > 0.0f) || !std::isfinite(distance)) continue;
        const Vector3 d = toward * (1.0f / distance);
        Vector3 across = toCentroid - d * dot(toCentroid, d);
        float acrossLength = length(across);
        if (!(acrossLength > 1e-6f * distance)) {
            // A straight section: any direction square to the shaft.
            across = std::fabs(d.x) < 0.9f ? Vector3(0.0f, -d.z, d.y) : Vector3(-d.z, 0.0f, d.x);
            acrossLength = length(across);
        }
        across = across * (1.0f / acrossLength);
        const float shaft = distance * 0.5f;
        const Point3 tip = start + d * shaft;
        const Point3 back = tip + d * (-0.35f * shaft);
        segment[0] = start;
        segment[1] = tip;
        segment[2] = tip;
        segment[3] = back + across * (0.25f * shaft);
        segment[4] = tip;
        segment[5] = back + across * (-0.25f * shaft);
        for (int k = 0; k < 6; ++k) {
            if (!finite(segment[k])) return false;
        }
        return true;
    }
    return false;
}

}  // namespace

void drawSectionArrows(const SurfaceModel& surface) {
    if (!netMatchesCounts(surface)) return;
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LINE_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glLineWidth(2.0f);
    glColor3f(1.0f, 0.85f, 0.1f);
    glBegin(GL_LINES);
    Point3 segment[6];
    for (int s = 0; s < surface.countV; ++s) {
        if (!sectionArrow(sectionPoints(surface, s), surface.countU, segment)) continue;
        for (const Point3& p : segment) glVertex3f(p.x, p.y, p.z);
    }
    glEnd();
    glPopAttrib();
}
