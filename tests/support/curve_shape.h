// The shape of one section's curve, measured independently of the editor's evaluator: de Boor's
// algorithm in double precision on the homogeneous points, dense samples, and the largest
// distance from the samples of one curve to the sampled polyline of another.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

#include "model/surface_model.h"

namespace testsupport {

struct Sample {
    double x, y, z;
};

// Point of the curve with knots U (degree p) and homogeneous points P at t, by de Boor.
inline Sample curvePoint(const std::vector<float>& U, const PointH* P, int count, int p, double t) {
    int k = p;
    while (k + 1 < count && U[static_cast<size_t>(k) + 1] <= t) ++k;
    double d[32][4];
    for (int j = 0; j <= p; ++j) {
        const PointH& q = P[k - p + j];
        d[j][0] = q.x, d[j][1] = q.y, d[j][2] = q.z, d[j][3] = q.w;
    }
    for (int r = 1; r <= p; ++r) {
        for (int j = p; j >= r; --j) {
            const double lo = U[static_cast<size_t>(j + k - p)];
            const double hi = U[static_cast<size_t>(j + 1 + k - r)];
            const double a = hi > lo ? (t - lo) / (hi - lo) : 0.0;
            for (int c = 0; c < 4; ++c) d[j][c] = (1 - a) * d[j - 1][c] + a * d[j][c];
        }
    }
    return {d[p][0] / d[p][3], d[p][1] / d[p][3], d[p][2] / d[p][3]};
}

// n + 1 points of section `section`'s curve, evenly in its parameter range.
inline std::vector<Sample> sectionSamples(const SurfaceModel& s, int section, int n) {
    const int p = s.orderU - 1;
    const double a = s.knotsU[static_cast<size_t>(p)];
    const double b = s.knotsU[static_cast<size_t>(s.countU)];
    std::vector<Sample> out;
    for (int i = 0; i <= n; ++i) {
        out.push_back(
            curvePoint(s.knotsU, sectionPoints(s, section), s.countU, p, a + (b - a) * i / n));
    }
    return out;
}

inline double sampleDistance(const Sample& a, const Sample& b) {
    return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) +
                     (a.z - b.z) * (a.z - b.z));
}

// Largest distance between two samples: the size shapes are compared at.
inline double sampleSize(const std::vector<Sample>& samples) {
    Sample lo = samples[0], hi = samples[0];
    for (const Sample& q : samples) {
        lo = {std::min(lo.x, q.x), std::min(lo.y, q.y), std::min(lo.z, q.z)};
        hi = {std::max(hi.x, q.x), std::max(hi.y, q.y), std::max(hi.z, q.z)};
    }
    return sampleDistance(lo, hi);
}

// Largest distance from a sample of `from` to the polyline through `to`.
inline double farthestFrom(const std::vector<Sample>& from, const std::vector<Sample>& to) {
    double worst = 0;
    for (const Sample& q : from) {
        double best = HUGE_VAL;
        for (size_t i = 1; i < to.size(); ++i) {
            const Sample& a = to[i - 1];
            const Sample& b = to[i];
            const double ex = b.x - a.x, ey = b.y - a.y, ez = b.z - a.z;
            const double len2 = ex * ex + ey * ey + ez * ez;
            double t =
                len2 > 0 ? ((q.x - a.x) * ex + (q.y - a.y) * ey + (q.z - a.z) * ez) / len2 : 0;
            t = std::clamp(t, 0.0, 1.0);
            best = std::min(best, sampleDistance(q, {a.x + t * ex, a.y + t * ey, a.z + t * ez}));
        }
        worst = std::max(worst, best);
    }
    return worst;
}

// How far apart the curves of section `a` of `s` and section `b` of `t` lie, as a fraction of
// the first one's size: both ways between a coarse sampling of one and a fine one of the other.
inline double shapeChange(const SurfaceModel& s, int a, const SurfaceModel& t, int b) {
    const std::vector<Sample> coarseS = sectionSamples(s, a, 300),
                              fineS = sectionSamples(s, a, 12000);
    const std::vector<Sample> coarseT = sectionSamples(t, b, 300),
                              fineT = sectionSamples(t, b, 12000);
    return std::max(farthestFrom(coarseS, fineT), farthestFrom(coarseT, fineS)) / sampleSize(fineS);
}

}  // namespace testsupport
