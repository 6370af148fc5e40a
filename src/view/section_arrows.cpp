// Direction arrows at the start of each section.
#include "view/section_arrows.h"

#include <GL/gl.h>

#include <cmath>

namespace {

struct Vec3 {
    float x, y, z;
};

Vec3 operator-(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec3 operator+(Vec3 a, Vec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Vec3 operator*(float s, Vec3 a) {
    return {s * a.x, s * a.y, s * a.z};
}
float dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
float length(Vec3 a) {
    return std::sqrt(dot(a, a));
}

Vec3 cartesian(const PointH& p) {
    return {p.x / p.w, p.y / p.w, p.z / p.w};
}

bool finite(Vec3 a) {
    return std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z);
}

// The arrow of one section: a shaft from point 0 towards the first point that differs from it,
// half the way there, and a head of two barbs that lie in the plane of the
// shaft and the section's centroid, so they open across the section, not along the view.
bool sectionArrow(const PointH* points, int count, Vec3 segment[6]) {
    const Vec3 start = cartesian(points[0]);
    Vec3 centroid = {0.0f, 0.0f, 0.0f};
    for (int i = 0; i < count; ++i) centroid = centroid + cartesian(points[i]);
    centroid = (1.0f / static_cast<float>(count)) * centroid;
    for (int i = 1; i < count; ++i) {
        const Vec3 toward = cartesian(points[i]) - start;
        const float distance = length(toward);
        if (!(distance > 0.0f) || !std::isfinite(distance)) continue;
        const Vec3 d = (1.0f / distance) * toward;
        Vec3 across = centroid - start;
        across = across - dot(across, d) * d;
        float acrossLength = length(across);
        if (!(acrossLength > 1e-6f * distance)) {
            // A straight section: any direction square to the shaft.
            across = std::fabs(d.x) < 0.9f ? Vec3{0.0f, -d.z, d.y} : Vec3{-d.z, 0.0f, d.x};
            acrossLength = length(across);
        }
        across = (1.0f / acrossLength) * across;
        const float shaft = distance * 0.5f;
        const Vec3 tip = start + shaft * d;
        const Vec3 back = tip - (0.35f * shaft) * d;
        segment[0] = start;
        segment[1] = tip;
        segment[2] = tip;
        segment[3] = back + (0.25f * shaft) * across;
        segment[4] = tip;
        segment[5] = back - (0.25f * shaft) * across;
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
    Vec3 segment[6];
    for (int s = 0; s < surface.countV; ++s) {
        if (!sectionArrow(sectionPoints(surface, s), surface.countU, segment)) continue;
        for (const Vec3& p : segment) glVertex3f(p.x, p.y, p.z);
    }
    glEnd();
    glPopAttrib();
}
