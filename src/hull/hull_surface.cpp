// The stored surface widened to double, and its point and first derivatives.
#include "hull/hull_surface.h"

#include <algorithm>
#include <cmath>

namespace {

// Basis functions N[0 .. p] of degree p at t in span i and their first derivatives D[0 .. p]
// (The NURBS Book, A2.3 with one derivative).
void basisWithDerivatives(const double* T, int i, int p, double t, double* N, double* D) {
    double ndu[kHullMaxDegree + 1][kHullMaxDegree + 1];
    double left[kHullMaxDegree + 1], right[kHullMaxDegree + 1];
    ndu[0][0] = 1.0;
    for (int j = 1; j <= p; ++j) {
        left[j] = t - T[i + 1 - j];
        right[j] = T[i + j] - t;
        double saved = 0.0;
        for (int r = 0; r < j; ++r) {
            ndu[j][r] = right[r + 1] + left[j - r];  // knot difference, below the diagonal
            const double temp = ndu[r][j - 1] / ndu[j][r];
            ndu[r][j] = saved + right[r + 1] * temp;
            saved = left[j - r] * temp;
        }
        ndu[j][j] = saved;
    }
    for (int r = 0; r <= p; ++r) {
        N[r] = ndu[r][p];
        double d = 0.0;
        if (r >= 1) d += ndu[r - 1][p - 1] / ndu[p][r - 1];
        if (r <= p - 1) d -= ndu[r][p - 1] / ndu[p][r];
        D[r] = p > 0 ? p * d : 0.0;
    }
}

void addPatches(HullSurface& s) {
    for (int j = s.q; j < s.nv; ++j) {
        if (!(s.V[static_cast<size_t>(j)] < s.V[static_cast<size_t>(j + 1)])) continue;
        for (int i = s.p; i < s.nu; ++i) {
            if (!(s.U[static_cast<size_t>(i)] < s.U[static_cast<size_t>(i + 1)])) continue;
            HullPatch patch{i, j, s.U[static_cast<size_t>(i)], s.U[static_cast<size_t>(i + 1)],
                            s.V[static_cast<size_t>(j)], s.V[static_cast<size_t>(j + 1)],
                            {HUGE_VAL, HUGE_VAL, HUGE_VAL}, {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL}};
            for (int l = j - s.q; l <= j; ++l) {
                for (int k = i - s.p; k <= i; ++k) {
                    const double* P = &s.Pw[4 * static_cast<size_t>(k + l * s.nu)];
                    for (int c = 0; c < 3; ++c) {
                        patch.lo[c] = std::min(patch.lo[c], P[c] / P[3]);
                        patch.hi[c] = std::max(patch.hi[c], P[c] / P[3]);
                    }
                }
            }
            s.patches.push_back(patch);
        }
    }
}

bool knotsUsable(const std::vector<float>& knots, int n, int p, const char* name,
                 std::string& error) {
    for (size_t k = 1; k < knots.size(); ++k) {
        if (knots[k] < knots[k - 1]) {
            error = std::string("the knots in ") + name + " decrease at knot " + std::to_string(k);
            return false;
        }
    }
    if (!(knots[static_cast<size_t>(p)] < knots[static_cast<size_t>(n)])) {
        error = std::string("the knots in ") + name + " leave an empty parameter range";
        return false;
    }
    return true;
}

}  // namespace

bool buildHullSurface(const SurfaceModel& surface, HullSurface& out, std::string& error) {
    if (!surfaceIsUsable(surface)) {
        error = "no usable surface (counts, orders and arrays disagree)";
        return false;
    }
    if (!surfaceIsFinite(surface)) {
        error = "the surface holds a number that is not finite";
        return false;
    }
    if (surface.orderU - 1 > kHullMaxDegree || surface.orderV - 1 > kHullMaxDegree) {
        error = "a degree above " + std::to_string(kHullMaxDegree);
        return false;
    }
    HullSurface s;
    s.p = surface.orderU - 1;
    s.q = surface.orderV - 1;
    s.nu = surface.countU;
    s.nv = surface.countV;
    if (!knotsUsable(surface.knotsU, s.nu, s.p, "s", error) ||
        !knotsUsable(surface.knotsV, s.nv, s.q, "t", error)) {
        return false;
    }
    s.U.assign(surface.knotsU.begin(), surface.knotsU.end());
    s.V.assign(surface.knotsV.begin(), surface.knotsV.end());
    s.Pw.reserve(4 * surface.controlNet.size());
    for (int c = 0; c < 3; ++c) s.lo[c] = HUGE_VAL, s.hi[c] = -HUGE_VAL;
    for (size_t k = 0; k < surface.controlNet.size(); ++k) {
        const PointH& P = surface.controlNet[k];
        if (!(P.w > 0.0f)) {
            error = "point " + std::to_string(k % static_cast<size_t>(s.nu)) + " of section " +
                    std::to_string(k / static_cast<size_t>(s.nu)) +
                    " has a weight of 0 or below, so the surface need not stay inside its net";
            return false;
        }
        const double w = P.w;
        const double xyz[3] = {P.x / w, P.y / w, P.z / w};
        for (int c = 0; c < 3; ++c) {
            s.lo[c] = std::min(s.lo[c], xyz[c]);
            s.hi[c] = std::max(s.hi[c], xyz[c]);
        }
        s.Pw.insert(s.Pw.end(), {static_cast<double>(P.x), static_cast<double>(P.y),
                                 static_cast<double>(P.z), w});
    }
    addPatches(s);
    out = std::move(s);
    return true;
}

int hullSpan(const std::vector<double>& knots, int n, int p, double t) {
    if (t >= knots[static_cast<size_t>(n)]) {
        int i = n - 1;
        while (i > p && !(knots[static_cast<size_t>(i)] < knots[static_cast<size_t>(i + 1)])) --i;
        return i;
    }
    const auto first = knots.begin() + p + 1, last = knots.begin() + n;
    const int i = static_cast<int>(std::upper_bound(first, last, t) - knots.begin()) - 1;
    return std::max(i, p);
}

void evaluateHull(const HullSurface& s, int i, int j, double u, double v, HullSample& out) {
    double Nu[kHullMaxDegree + 1], Du[kHullMaxDegree + 1];
    double Nv[kHullMaxDegree + 1], Dv[kHullMaxDegree + 1];
    basisWithDerivatives(s.U.data(), i, s.p, u, Nu, Du);
    basisWithDerivatives(s.V.data(), j, s.q, v, Nv, Dv);
    double A[4] = {0, 0, 0, 0}, Au[4] = {0, 0, 0, 0}, Av[4] = {0, 0, 0, 0};
    for (int l = 0; l <= s.q; ++l) {
        double row[4] = {0, 0, 0, 0}, rowU[4] = {0, 0, 0, 0};
        const double* P = &s.Pw[4 * static_cast<size_t>(i - s.p + (j - s.q + l) * s.nu)];
        for (int k = 0; k <= s.p; ++k, P += 4) {
            for (int c = 0; c < 4; ++c) {
                row[c] += Nu[k] * P[c];
                rowU[c] += Du[k] * P[c];
            }
        }
        for (int c = 0; c < 4; ++c) {
            A[c] += Nv[l] * row[c];
            Au[c] += Nv[l] * rowU[c];
            Av[c] += Dv[l] * row[c];
        }
    }
    const double w = A[3];
    const double S[3] = {A[0] / w, A[1] / w, A[2] / w};
    out.x = S[0] + s.shift[0];
    out.y = S[1] + s.shift[1];
    out.z = S[2] + s.shift[2];
    out.xu = (Au[0] - Au[3] * S[0]) / w;
    out.yu = (Au[1] - Au[3] * S[1]) / w;
    out.zu = (Au[2] - Au[3] * S[2]) / w;
    out.xv = (Av[0] - Av[3] * S[0]) / w;
    out.yv = (Av[1] - Av[3] * S[1]) / w;
    out.zv = (Av[2] - Av[3] * S[2]) / w;
}
