// Limits of the GLU NURBS renderer: numbers it can work with and the extent of a net on screen.
#include "view/glu_limits.h"

#include <GL/gl.h>

#include <cmath>
#include <vector>

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

double pathLengthSamples(const PointH* net, int columns, int rows, int orderS, int orderT,
                         double tolerance) {
    if (net == nullptr || columns < 1 || rows < 1 || orderS < 1 || orderT < 1) return 0.0;
    if (!(tolerance > 0.0)) return HUGE_VAL;
    const int windowsS = columns - orderS + 1, windowsT = rows - orderT + 1;
    if (windowsS < 1 || windowsT < 1) return 0.0;
    const Matrices m = currentMatrices();
    const double halfViewport = 0.5 * std::fmax(m.viewport[2], m.viewport[3]);
    const size_t count = static_cast<size_t>(columns) * static_cast<size_t>(rows);
    std::vector<double> clip(4 * count);
    for (size_t i = 0; i < count; ++i) toClip(m, net[i], &clip[4 * i]);
    auto at = [&](int s, int t) {
        return &clip[4 * (static_cast<size_t>(t) * static_cast<size_t>(columns) +
                          static_cast<size_t>(s))];
    };
    double total = 0.0;
    for (int t = 0; t < windowsT; ++t) {
        for (int s = 0; s < windowsS; ++s) {
            double largestW = -HUGE_VAL, smallestW = HUGE_VAL;
            for (int l = 0; l < orderT; ++l) {
                for (int k = 0; k < orderS; ++k) {
                    largestW = std::fmax(largestW, at(s + k, t + l)[3]);
                    smallestW = std::fmin(smallestW, at(s + k, t + l)[3]);
                }
            }
            if (!(largestW > 0.0)) continue;  // wholly at or behind the eye: culled
            if (!(smallestW > 0.0)) {
                // Across the eye plane GLU cannot project the patch and samples it at its fixed
                // step counts instead.
                total += (kGluFixedSteps + 1.0) * (kGluFixedSteps + 1.0);
                continue;
            }
            // The patch on the screen is X / W with X, W weighted means of the points' (x, y)
            // and w, taken relative to the first point's place c: (x - c w, y - c w). Its speed
            // is at most (order - 1) (|dX| W + |X| |dW|) / m^2 per unit of the span, for the
            // largest steps dX, dW between neighbouring points and m the smallest w.
            const double* first = at(s, t);
            const double cx = first[0] / first[3], cy = first[1] / first[3];
            auto offset = [cx, cy](const double* p) {
                return std::fabs(p[0] - cx * p[3]) + std::fabs(p[1] - cy * p[3]);
            };
            auto step = [cx, cy](const double* p, const double* q) {
                return std::fabs((q[0] - cx * q[3]) - (p[0] - cx * p[3])) +
                       std::fabs((q[1] - cy * q[3]) - (p[1] - cy * p[3]));
            };
            double largestX = 0.0, stepXS = 0.0, stepWS = 0.0, stepXT = 0.0, stepWT = 0.0;
            for (int l = 0; l < orderT; ++l) {
                for (int k = 0; k < orderS; ++k) {
                    const double* p = at(s + k, t + l);
                    largestX = std::fmax(largestX, offset(p));
                    if (k + 1 < orderS) {
                        const double* q = at(s + k + 1, t + l);
                        stepXS = std::fmax(stepXS, step(p, q));
                        stepWS = std::fmax(stepWS, std::fabs(q[3] - p[3]));
                    }
                    if (l + 1 < orderT) {
                        const double* q = at(s + k, t + l + 1);
                        stepXT = std::fmax(stepXT, step(p, q));
                        stepWT = std::fmax(stepWT, std::fabs(q[3] - p[3]));
                    }
                }
            }
            const double scale = halfViewport / (smallestW * smallestW * tolerance);
            const double acrossS =
                (orderS - 1) * (stepXS * largestW + largestX * stepWS) * scale + 1.0;
            const double acrossT =
                (orderT - 1) * (stepXT * largestW + largestX * stepWT) * scale + 1.0;
            total += acrossS * acrossT;
        }
    }
    return total;
}
