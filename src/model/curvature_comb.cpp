// Teeth of the curvature comb along a section curve.
#include "model/curvature_comb.h"

#include <algorithm>
#include <cmath>

#include "model/curvature.h"
#include "model/finite_values.h"

CurvatureComb sectionCurvatureComb(const SurfaceModel& surface, int section, int samplesPerSpan,
                                   float longestTooth) {
    CurvatureComb comb;
    if (!hasSection(surface, section) || samplesPerSpan < 1) return comb;
    const float* U = surface.knotsU.data();
    int spans = 0;
    for (int I = surface.orderU; I <= surface.countU; ++I) {
        if (U[I] > U[I - 1]) ++spans;
    }
    if (spans == 0) return comb;
    const int steps = std::max(1, std::min(samplesPerSpan, kMostTeeth / spans - 1));
    // Curvature vectors first: the scale needs the largest curvature of the whole comb.
    std::vector<Point3> bases;
    std::vector<Vector3> bends;
    for (int I = surface.orderU; I <= surface.countU; ++I) {
        const double start = U[I - 1], end = U[I];
        if (!(end > start)) continue;
        for (int i = 0; i <= steps; ++i) {
            // Each span's own end is its last sample; the next span starts past it.
            if (i == 0 && !bases.empty()) continue;
            const float u = static_cast<float>(start + (end - start) * i / steps);
            CurveCurvature c;
            const CurvatureStatus status = evaluateSectionCurvature(surface, section, u, c);
            if (status == CurvatureStatus::NoPoint) continue;
            bases.push_back(c.point);
            bends.push_back(status == CurvatureStatus::Defined ? c.curvatureVector
                                                               : Vector3(0.0f, 0.0f, 0.0f));
            if (status == CurvatureStatus::Defined) {
                comb.largestCurvature = std::max(comb.largestCurvature, c.curvature);
            }
        }
    }
    const float scale = comb.largestCurvature > 0.0f ? longestTooth / comb.largestCurvature : 0.0f;
    comb.teeth.reserve(bases.size());
    for (size_t i = 0; i < bases.size(); ++i) {
        Point3 tip = bases[i] + bends[i] * -scale;
        if (!finite(tip)) tip = bases[i];
        comb.teeth.push_back({bases[i], tip});
    }
    return comb;
}
