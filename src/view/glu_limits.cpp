// Limits of the GLU NURBS renderer: numbers it can work with and the extent of a net on screen.
#include "view/glu_limits.h"

#include <GL/gl.h>

#include <cmath>

namespace {

struct Matrices {
    GLdouble modelView[16];
    GLdouble projection[16];
    GLint viewport[4];
};

Matrices currentMatrices() {
    Matrices m;
    glGetDoublev(GL_MODELVIEW_MATRIX, m.modelView);
    glGetDoublev(GL_PROJECTION_MATRIX, m.projection);
    glGetIntegerv(GL_VIEWPORT, m.viewport);
    return m;
}

// The homogeneous point through both matrices (GL column order), in double.
void toClip(const Matrices& m, const PointH& p, double clip[4]) {
    const double in[4] = {p.x, p.y, p.z, p.w};
    double eye[4];
    for (int r = 0; r < 4; ++r) {
        eye[r] = m.modelView[r] * in[0] + m.modelView[4 + r] * in[1] + m.modelView[8 + r] * in[2] +
                 m.modelView[12 + r] * in[3];
    }
    for (int r = 0; r < 4; ++r) {
        clip[r] = m.projection[r] * eye[0] + m.projection[4 + r] * eye[1] +
                  m.projection[8 + r] * eye[2] + m.projection[12 + r] * eye[3];
    }
}

bool small(double value) {
    return std::fabs(value) <= kGluLargestValue;  // false for NaN
}

}  // namespace

bool fitsGluRange(const PointH* points, size_t count, const float* knots, size_t knotCount) {
    for (size_t i = 0; i < knotCount; ++i) {
        if (!small(knots[i])) return false;
    }
    const Matrices m = currentMatrices();
    for (size_t i = 0; i < count; ++i) {
        const PointH& p = points[i];
        if (!small(p.x) || !small(p.y) || !small(p.z) || !small(p.w)) return false;
        double clip[4];
        toClip(m, p, clip);
        for (double c : clip) {
            if (!small(c)) return false;
        }
    }
    return true;
}

double screenSpeedBound(const PointH* points, size_t count) {
    const Matrices m = currentMatrices();
    double largestXY = 0.0, largestW = 0.0, smallestW = HUGE_VAL;
    for (size_t i = 0; i < count; ++i) {
        double clip[4];
        toClip(m, points[i], clip);
        if (!(clip[3] > 0.0)) continue;  // at or behind the eye: GLU culls it
        largestXY = std::fmax(largestXY, std::fabs(clip[0]) + std::fabs(clip[1]));
        largestW = std::fmax(largestW, clip[3]);
        smallestW = std::fmin(smallestW, clip[3]);
    }
    if (largestW == 0.0) return 0.0;
    const double ndc = 4.0 * largestXY * largestW / (smallestW * smallestW);
    return ndc * 0.5 * std::fmax(m.viewport[2], m.viewport[3]);
}
