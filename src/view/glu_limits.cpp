// Limits of the GLU NURBS renderer: numbers it can work with and the extent of a net on screen.
#include "view/glu_limits.h"

#include <GL/gl.h>

#include <cmath>
#include <vector>

#include "view/window_transform.h"

namespace {

// The homogeneous point through both matrices (GL column order), in double.
void toClip(const WindowTransform& m, const PointH& p, double clip[4]) {
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
    const WindowTransform m = readWindowTransform();
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
    const WindowTransform m = readWindowTransform();
    const double halfWidth = 0.5 * m.viewport[2], halfHeight = 0.5 * m.viewport[3];
    // Every point in pixels, and its clip w (not positive: at or behind the eye).
    const size_t count = static_cast<size_t>(columns) * static_cast<size_t>(rows);
    std::vector<double> px(count), py(count), depth(count);
    for (size_t i = 0; i < count; ++i) {
        double clip[4];
        toClip(m, net[i], clip);
        depth[i] = clip[3];
        px[i] = clip[3] > 0.0 ? clip[0] / clip[3] * halfWidth : 0.0;
        py[i] = clip[3] > 0.0 ? clip[1] / clip[3] * halfHeight : 0.0;
    }
    // Pixels from each point to the next one along its row (alongS) and to the next row (alongT).
    std::vector<double> alongS(count, 0.0), alongT(count, 0.0);
    for (int t = 0; t < rows; ++t) {
        for (int s = 0; s < columns; ++s) {
            const size_t i =
                static_cast<size_t>(t) * static_cast<size_t>(columns) + static_cast<size_t>(s);
            if (s + 1 < columns) alongS[i] = std::hypot(px[i + 1] - px[i], py[i + 1] - py[i]);
            if (t + 1 < rows) {
                const size_t j = i + static_cast<size_t>(columns);
                alongT[i] = std::hypot(px[j] - px[i], py[j] - py[i]);
            }
        }
    }
    double total = 0.0;
    for (int t = 0; t < windowsT; ++t) {
        for (int s = 0; s < windowsS; ++s) {
            double largestW = -HUGE_VAL, smallestW = HUGE_VAL, stepS = 0.0, stepT = 0.0;
            for (int l = 0; l < orderT; ++l) {
                const size_t row = static_cast<size_t>(t + l) * static_cast<size_t>(columns);
                for (int k = 0; k < orderS; ++k) {
                    const size_t i = row + static_cast<size_t>(s + k);
                    largestW = std::fmax(largestW, depth[i]);
                    smallestW = std::fmin(smallestW, depth[i]);
                    if (k + 1 < orderS) stepS = std::fmax(stepS, alongS[i]);
                    if (l + 1 < orderT) stepT = std::fmax(stepT, alongT[i]);
                }
            }
            if (!(largestW > 0.0)) continue;  // wholly at or behind the eye: culled
            if (!(smallestW > 0.0)) {
                // Across the eye plane GLU cannot project the patch and samples it at its fixed
                // step counts instead.
                total += (kGluFixedSteps + 1.0) * (kGluFixedSteps + 1.0);
                continue;
            }
            // Seen in perspective, the patch runs faster on the screen at its near end, by up to
            // the ratio of its farthest to its nearest depth.
            const double speedUp = largestW / smallestW;
            total += ((orderS - 1) * stepS * speedUp / tolerance + 1.0) *
                     ((orderT - 1) * stepT * speedUp / tolerance + 1.0);
        }
    }
    return total;
}
