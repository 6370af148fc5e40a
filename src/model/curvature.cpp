// Surface and section curvature from the rational derivatives.
#include "model/curvature.h"

#include <algorithm>
#include <cmath>

#include "model/finite_values.h"
#include "model/knots.h"
#include "model/rational_derivatives.h"

namespace {

// The fundamental forms are formed in double from the float derivatives: EG - F^2 and
// LN - M^2 cancel to a few digits on flat or nearly flat patches.
struct D3 {
    double x, y, z;
};

D3 toD3(Vector3 a) {
    return {a.x, a.y, a.z};
}
double dotD(D3 a, D3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
D3 crossD(D3 a, D3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vector3 toVector(D3 a) {
    return {static_cast<float>(a.x), static_cast<float>(a.y), static_cast<float>(a.z)};
}

constexpr double kPlaneTolerance = 1e-5;
constexpr double kTangentTolerance = 1e-6;

}  // namespace

CurvatureStatus evaluateSurfaceCurvature(const SurfaceModel& surface, float u, float v,
                                         SurfaceCurvature& out) {
    SurfaceDerivatives d;
    if (!evaluateSurfaceDerivatives(surface, u, v, d)) return CurvatureStatus::NoPoint;
    out.point = d.point;
    const D3 Su = toD3(d.Su), Sv = toD3(d.Sv);
    const D3 n = crossD(Su, Sv);
    const double area = std::sqrt(dotD(n, n));
    const double E = dotD(Su, Su), F = dotD(Su, Sv), G = dotD(Sv, Sv);
    if (!(area > kPlaneTolerance * (E + G))) return CurvatureStatus::Undefined;
    const D3 N = {n.x / area, n.y / area, n.z / area};
    const double L = dotD(toD3(d.Suu), N), M = dotD(toD3(d.Suv), N), Nn = dotD(toD3(d.Svv), N);
    // EG - F^2 = |Su x Sv|^2, formed from the cross product to avoid the cancellation.
    const double EGF = area * area;
    const double K = (L * Nn - M * M) / EGF;
    const double H = (E * Nn - 2.0 * F * M + G * L) / (2.0 * EGF);
    const double root = std::sqrt(std::max(H * H - K, 0.0));
    const SurfaceCurvature result = {d.point,
                                     toVector(N),
                                     static_cast<float>(K),
                                     static_cast<float>(H),
                                     static_cast<float>(H + root),
                                     static_cast<float>(H - root)};
    if (!finite(result.gaussian, result.mean, result.kMax, result.kMin)) {
        return CurvatureStatus::Undefined;
    }
    out = result;
    return CurvatureStatus::Defined;
}

CurvatureStatus evaluateCurveCurvature(int n, int p, const float* U, const PointH* Pw, float u,
                                       CurveCurvature& out) {
    CurveDerivatives d;
    if (!evaluateCurveDerivatives(n, p, U, Pw, u, d)) return CurvatureStatus::NoPoint;
    out.point = d.point;
    // The extent of the span's Cartesian control points sets the scale below which C' counts as
    // zero; weight-0 points (directions, not places) have no say.
    const int I = findEvaluationSpan(n, p, u, U);
    double low[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, high[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (int j = I - 1 - p; j <= I - 1; ++j) {
        const PointH& P = Pw[j];
        if (P.w == 0.0f) continue;
        const double c[3] = {static_cast<double>(P.x) / P.w, static_cast<double>(P.y) / P.w,
                             static_cast<double>(P.z) / P.w};
        for (int k = 0; k < 3; ++k) {
            low[k] = std::min(low[k], c[k]);
            high[k] = std::max(high[k], c[k]);
        }
    }
    double extent = 0.0;
    for (int k = 0; k < 3; ++k) {
        if (high[k] >= low[k]) extent += (high[k] - low[k]) * (high[k] - low[k]);
    }
    extent = std::sqrt(extent);
    const double range = static_cast<double>(U[n + 1]) - U[p];
    const D3 C1 = toD3(d.Cu), C2 = toD3(d.Cuu);
    const double speed = std::sqrt(dotD(C1, C1));
    if (!(speed * range > kTangentTolerance * extent)) return CurvatureStatus::Undefined;
    const D3 b = crossD(C1, C2);
    const double bLength = std::sqrt(dotD(b, b));
    const double kappa = bLength / (speed * speed * speed);
    CurveCurvature result;
    result.point = d.point;
    result.tangent = toVector({C1.x / speed, C1.y / speed, C1.z / speed});
    result.binormal = bLength > 0.0 ? toVector({b.x / bLength, b.y / bLength, b.z / bLength})
                                    : Vector3(0.0f, 0.0f, 0.0f);
    // kappa n = (C' x C'') x C' / |C'|^4.
    const D3 kn = crossD(b, C1);
    const double s4 = speed * speed * speed * speed;
    result.curvatureVector = toVector({kn.x / s4, kn.y / s4, kn.z / s4});
    result.curvature = static_cast<float>(kappa);
    if (!finite(result.curvature) || !finite(result.curvatureVector)) {
        return CurvatureStatus::Undefined;
    }
    out = result;
    return CurvatureStatus::Defined;
}

CurvatureStatus evaluateSectionCurvature(const SurfaceModel& surface, int section, float u,
                                         CurveCurvature& out) {
    if (!hasSection(surface, section) || surface.orderU > surface.countU) {
        return CurvatureStatus::NoPoint;
    }
    return evaluateCurveCurvature(surface.countU - 1, surface.orderU - 1, surface.knotsU.data(),
                                  sectionPoints(surface, section), u, out);
}
