// Limits of the GLU NURBS renderer: numbers it can work with and the extent of a net on screen.
#include "view/glu_limits.h"

#include <GL/gl.h>

#include <algorithm>
#include <array>
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

// Whether every point whose four values lie within `largest` of 0 stays within
// kGluLargestValue through both matrices. Each product of the two matrices' rows adds at most
// |row| * |input| to a sum, so the sums of the rows' magnitudes bound what toClip can give;
// toClip's rounding adds a few units in the 16th digit, far inside the margin taken here.
bool boundFitsGluRange(const WindowTransform& m, double largest) {
    double eyeBound[4];
    for (int r = 0; r < 4; ++r) {
        eyeBound[r] = largest * (std::fabs(m.modelView[r]) + std::fabs(m.modelView[4 + r]) +
                                 std::fabs(m.modelView[8 + r]) + std::fabs(m.modelView[12 + r]));
    }
    for (int r = 0; r < 4; ++r) {
        double clipBound = 0.0;
        for (int k = 0; k < 4; ++k) clipBound += std::fabs(m.projection[4 * k + r]) * eyeBound[k];
        if (!(clipBound * (1.0 + 1e-9) <= kGluLargestValue)) return false;  // NaN too
    }
    return true;
}

}  // namespace

bool fitsGluRange(const PointH* points, size_t count, const float* knots, size_t knotCount) {
    for (size_t i = 0; i < knotCount; ++i) {
        if (!small(knots[i])) return false;
    }
    const WindowTransform m = readWindowTransform();
    // The net's largest value first: for any ordinary net and view the bound it gives settles
    // the question without taking every point through the matrices. A float lies within
    // kGluLargestValue exactly when it lies within the largest float that does; blocks of values
    // are compared without a branch per value, so the compiler takes several at a time.
    float limit = static_cast<float>(kGluLargestValue);
    if (static_cast<double>(limit) > kGluLargestValue) limit = std::nextafter(limit, 0.0f);
    const float* values = count > 0 ? &points[0].x : nullptr;
    const size_t valueCount = 4 * count;
    constexpr size_t kBlock = 64;
    float largest = 0.0f;
    bool within = true;
    auto take = [&](float value) {
        const float a = std::fabs(value);
        within &= a <= limit;  // false for NaN
        largest = a > largest ? a : largest;
    };
    size_t i = 0;
    for (; i + kBlock <= valueCount && within; i += kBlock) {
        for (size_t k = 0; k < kBlock; ++k) take(values[i + k]);
    }
    for (; i < valueCount; ++i) take(values[i]);
    if (!within) return false;
    if (boundFitsGluRange(m, largest)) return true;
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

namespace {

using Clip = std::array<double, 4>;

// The Bezier points of one span of a B-spline curve. d holds the `order` points the span
// depends on and knots the knots from the first of those points' on, so that the span runs from
// knots[order - 1] to knots[order]. Bezier point m is the blossom of the span's start taken
// order - 1 - m times and its end m times: de Boor's algorithm with those values level by level.
void spanBezierPoints(const std::vector<Clip>& d, const float* knots, int order,
                      std::vector<Clip>& work, Clip* out) {
    const int p = order - 1;
    for (int m = 0; m <= p; ++m) {
        work.assign(d.begin(), d.end());
        for (int r = 1; r <= p; ++r) {
            const double x = r <= p - m ? knots[p] : knots[p + 1];
            for (int j = p; j >= r; --j) {
                const double denom = static_cast<double>(knots[j + p + 1 - r]) - knots[j];
                const double a = denom > 0.0 ? (x - knots[j]) / denom : 0.0;
                for (int c = 0; c < 4; ++c)
                    work[j][c] = (1.0 - a) * work[j - 1][c] + a * work[j][c];
            }
        }
        out[m] = work[p];
    }
}

// Samples of one patch of orders orderS x orderT, from the longest step between neighbouring
// projected points along each direction and the patch's depth range (both positive).
double patchSamples(double stepS, double stepT, double largestW, double smallestW, int orderS,
                    int orderT, double tolerance) {
    // Seen in perspective, the patch runs faster on the screen at its near end, by up to the
    // ratio of its farthest to its nearest depth.
    const double speedUp = largestW / smallestW;
    return ((orderS - 1) * stepS * speedUp / tolerance + 1.0) *
           ((orderT - 1) * stepT * speedUp / tolerance + 1.0);
}

// Samples of the Bezier patches of the window whose first point is (s, t), a window whose
// control points lie on both sides of the eye plane. Its Bezier points lie closer together:
// they may all be in front of the eye (GLU then samples by their speed, which grows without
// bound as they near the eye plane), all behind it, or still on both sides (GLU then cannot
// project them and takes its fixed steps).
double crossingWindowSamples(const std::vector<Clip>& clip, int columns, int s, int t, int orderS,
                             int orderT, const float* knotsS, const float* knotsT, double halfWidth,
                             double halfHeight, double tolerance) {
    const float* kS = knotsS + s;
    const float* kT = knotsT + t;
    if (!(kS[orderS] > kS[orderS - 1]) || !(kT[orderT] > kT[orderT - 1])) return 0.0;  // no patch
    // Along S first, row by row, then along T, column by column.
    std::vector<Clip> rowsBezier(static_cast<size_t>(orderS) * orderT), bezier(rowsBezier.size());
    std::vector<Clip> line, work;
    for (int l = 0; l < orderT; ++l) {
        const size_t first = static_cast<size_t>(t + l) * static_cast<size_t>(columns) + s;
        line.assign(clip.begin() + first, clip.begin() + first + orderS);
        spanBezierPoints(line, kS, orderS, work, &rowsBezier[static_cast<size_t>(l) * orderS]);
    }
    std::vector<Clip> column(orderT);
    for (int k = 0; k < orderS; ++k) {
        std::vector<Clip> out(orderT);
        for (int l = 0; l < orderT; ++l)
            column[l] = rowsBezier[static_cast<size_t>(l) * orderS + k];
        spanBezierPoints(column, kT, orderT, work, out.data());
        for (int l = 0; l < orderT; ++l) bezier[static_cast<size_t>(l) * orderS + k] = out[l];
    }
    double largestW = -HUGE_VAL, smallestW = HUGE_VAL;
    for (const Clip& b : bezier) {
        largestW = std::fmax(largestW, b[3]);
        smallestW = std::fmin(smallestW, b[3]);
    }
    if (!(largestW > 0.0)) return 0.0;  // wholly at or behind the eye: culled
    if (!(smallestW > 0.0)) return (kGluFixedSteps + 1.0) * (kGluFixedSteps + 1.0);
    double stepS = 0.0, stepT = 0.0;
    auto pixels = [&](const Clip& b, double& x, double& y) {
        x = b[0] / b[3] * halfWidth;
        y = b[1] / b[3] * halfHeight;
    };
    for (int l = 0; l < orderT; ++l) {
        for (int k = 0; k < orderS; ++k) {
            double x, y, nx, ny;
            pixels(bezier[static_cast<size_t>(l) * orderS + k], x, y);
            if (k + 1 < orderS) {
                pixels(bezier[static_cast<size_t>(l) * orderS + k + 1], nx, ny);
                stepS = std::fmax(stepS, std::hypot(nx - x, ny - y));
            }
            if (l + 1 < orderT) {
                pixels(bezier[static_cast<size_t>(l + 1) * orderS + k], nx, ny);
                stepT = std::fmax(stepT, std::hypot(nx - x, ny - y));
            }
        }
    }
    return patchSamples(stepS, stepT, largestW, smallestW, orderS, orderT, tolerance);
}

}  // namespace

double pathLengthSamples(const PointH* net, int columns, int rows, int orderS, int orderT,
                         const float* knotsS, const float* knotsT, double tolerance) {
    if (net == nullptr || columns < 1 || rows < 1 || orderS < 1 || orderT < 1) return 0.0;
    if (!(tolerance > 0.0)) return HUGE_VAL;
    const int windowsS = columns - orderS + 1, windowsT = rows - orderT + 1;
    if (windowsS < 1 || windowsT < 1) return 0.0;
    const WindowTransform m = readWindowTransform();
    const double halfWidth = 0.5 * m.viewport[2], halfHeight = 0.5 * m.viewport[3];
    // Every point through the matrices, in pixels, and its clip w (not positive: at or behind
    // the eye).
    const size_t count = static_cast<size_t>(columns) * static_cast<size_t>(rows);
    std::vector<Clip> clip(count);
    std::vector<double> px(count), py(count);
    for (size_t i = 0; i < count; ++i) {
        toClip(m, net[i], clip[i].data());
        px[i] = clip[i][3] > 0.0 ? clip[i][0] / clip[i][3] * halfWidth : 0.0;
        py[i] = clip[i][3] > 0.0 ? clip[i][1] / clip[i][3] * halfHeight : 0.0;
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
                    largestW = std::fmax(largestW, clip[i][3]);
                    smallestW = std::fmin(smallestW, clip[i][3]);
                    if (k + 1 < orderS) stepS = std::fmax(stepS, alongS[i]);
                    if (l + 1 < orderT) stepT = std::fmax(stepT, alongT[i]);
                }
            }
            if (!(largestW > 0.0)) continue;  // wholly at or behind the eye: culled
            if (!(smallestW > 0.0)) {
                // GLU samples the window's Bezier patches, which lie within its control points.
                total += crossingWindowSamples(clip, columns, s, t, orderS, orderT, knotsS, knotsT,
                                               halfWidth, halfHeight, tolerance);
                continue;
            }
            total += patchSamples(stepS, stepT, largestW, smallestW, orderS, orderT, tolerance);
        }
    }
    return total;
}

void recordGluTessellation(GluCost& cost, long long patches, double milliseconds) {
    if (patches < 1 || !(milliseconds > 0.0)) return;
    if (milliseconds > kGluFrameMilliseconds &&
        (cost.slowPatches == 0 || patches < cost.slowPatches)) {
        cost.slowPatches = patches;
    }
    if (patches < kPatchesToRate) return;
    const double rate = milliseconds / static_cast<double>(patches);
    if (cost.millisecondsPerPatch == 0.0 || rate < cost.millisecondsPerPatch) {
        cost.millisecondsPerPatch = rate;
    }
}

bool gluHoldsFrame(const GluCost& cost, long long points, long long patches) {
    if (points > kMostGluNetPoints) return false;
    if (patches < kFewestGridPatches) return true;
    if (cost.slowPatches > 0 && patches >= cost.slowPatches) return false;
    if (cost.millisecondsPerPatch == 0.0) return patches <= kMostUntriedPatches;
    return !(cost.millisecondsPerPatch * static_cast<double>(patches) > kGluFrameMilliseconds);
}

long long bezierPatches(const float* knotsU, int countU, int orderU, const float* knotsV,
                        int countV, int orderV) {
    auto spans = [](const float* U, int count, int order) {
        long long n = 0;
        for (int I = order; I <= count; ++I) {
            if (U[I] > U[I - 1]) ++n;
        }
        return n;
    };
    return spans(knotsU, countU, orderU) * spans(knotsV, countV, orderV);
}
