// The stored surface widened to double, and its point and first derivatives.
#include "hull/hull_surface.h"

#include <algorithm>
#include <cmath>

namespace {

// Steps on the four components of a homogeneous point, written out: the compiler does not
// unroll such short loops by itself, and these are the innermost steps of every evaluation.
// The arrays never overlap, which lets the compiler take two components at a time.
// r += f a
inline void addScaled(double* __restrict r, double f, const double* __restrict a) {
    r[0] += f * a[0];
    r[1] += f * a[1];
    r[2] += f * a[2];
    r[3] += f * a[3];
}
// One step of Horner's rule, r = r x + a, after the derivative's step d = d x + r.
inline void hornerStep(double* __restrict r, double* __restrict d, double x,
                       const double* __restrict a) {
    d[0] = d[0] * x + r[0];
    d[1] = d[1] * x + r[1];
    d[2] = d[2] * x + r[2];
    d[3] = d[3] * x + r[3];
    r[0] = r[0] * x + a[0];
    r[1] = r[1] * x + a[1];
    r[2] = r[2] * x + a[2];
    r[3] = r[3] * x + a[3];
}
inline void copy4(double* r, const double* a) {
    r[0] = a[0];
    r[1] = a[1];
    r[2] = a[2];
    r[3] = a[3];
}

// Basis functions N[0 .. p] of degree p at t in span i and their first derivatives D[0 .. p]
// (The NURBS Book, A2.3 with one derivative). The knot differences it divides by depend on the
// span only: inv holds their reciprocals, inv[j * (p + 1) + r] = 1 / (T[i+r+1] - T[i+1-j+r]).
// Only degrees above kHullPowerDegree come here; the others use their polynomials (powerForm).
void basisWithDerivatives(const double* T, const double* inv, int i, int p, double t, double* N,
                          double* D) {
    constexpr int kSize = kHullMaxDegree + 1;
    double ndu[kSize][kSize];
    double left[kSize], right[kSize];
    ndu[0][0] = 1.0;
    for (int j = 1; j <= p; ++j) {
        left[j] = t - T[i + 1 - j];
        right[j] = T[i + j] - t;
        double saved = 0.0;
        for (int r = 0; r < j; ++r) {
            const double temp = ndu[r][j - 1] * inv[j * (p + 1) + r];
            ndu[r][j] = saved + right[r + 1] * temp;
            saved = left[j - r] * temp;
        }
        ndu[j][j] = saved;
    }
    for (int r = 0; r <= p; ++r) {
        N[r] = ndu[r][p];
        double d = 0.0;
        if (r >= 1) d += ndu[r - 1][p - 1] * inv[p * (p + 1) + r - 1];
        if (r <= p - 1) d -= ndu[r][p - 1] * inv[p * (p + 1) + r];
        D[r] = p > 0 ? p * d : 0.0;
    }
}

// The same basis functions and derivatives from their polynomials c (powerForm) at the span's
// own parameter x, by Horner's rule; scale turns d/dx into d/dt.
template <int P>
void powerBasisOf(const double* c, double scale, int degree, double x, double* N, double* D) {
    const int p = P > 0 ? P : degree;
    for (int r = 0; r <= p; ++r, c += p + 1) {
        double value = c[p], slope = 0.0;
        for (int m = p - 1; m >= 0; --m) {
            slope = slope * x + value;
            value = value * x + c[m];
        }
        N[r] = value;
        D[r] = slope * scale;
    }
}

// The reciprocal knot differences of every non-empty span, (p + 1)^2 per span.
std::vector<double> reciprocalDifferences(const std::vector<double>& T, int n, int p) {
    const size_t stride = static_cast<size_t>((p + 1) * (p + 1));
    std::vector<double> inv(stride * static_cast<size_t>(n + 1), 0.0);
    for (int i = p; i < n; ++i) {
        if (!(T[static_cast<size_t>(i)] < T[static_cast<size_t>(i + 1)])) continue;
        for (int j = 1; j <= p; ++j) {
            for (int r = 0; r < j; ++r) {
                inv[stride * static_cast<size_t>(i) + static_cast<size_t>(j * (p + 1) + r)] =
                    1.0 /
                    (T[static_cast<size_t>(i + r + 1)] - T[static_cast<size_t>(i + 1 - j + r)]);
            }
        }
    }
    return inv;
}

// The basis functions of every non-empty span as polynomials in the span's own parameter
// x = (t - T[i]) / (T[i+1] - T[i]): the recurrence of basisWithDerivatives carried out on
// polynomials, with t - T[k] = (T[i] - T[k]) + h x and T[k] - t = (T[k] - T[i]) - h x.
void powerForm(const std::vector<double>& T, const std::vector<double>& inv, int n, int p,
               std::vector<double>& power, std::vector<double>& scale) {
    const size_t stride = static_cast<size_t>((p + 1) * (p + 1));
    power.assign(stride * static_cast<size_t>(n + 1), 0.0);
    scale.assign(static_cast<size_t>(n + 1), 0.0);
    constexpr int kSize = kHullPowerDegree + 1;
    for (int i = p; i < n; ++i) {
        const double ti = T[static_cast<size_t>(i)], h = T[static_cast<size_t>(i + 1)] - ti;
        if (!(h > 0.0)) continue;
        const double* in = inv.data() + stride * static_cast<size_t>(i);
        // ndu[r][j] as in basisWithDerivatives, each a polynomial: coefficients of x^0 .. x^j.
        double ndu[kSize][kSize][kSize] = {};
        ndu[0][0][0] = 1.0;
        for (int j = 1; j <= p; ++j) {
            double saved[kSize] = {};
            for (int r = 0; r < j; ++r) {
                double temp[kSize];
                for (int m = 0; m < j; ++m) temp[m] = ndu[r][j - 1][m] * in[j * (p + 1) + r];
                const double right = T[static_cast<size_t>(i + r + 1)] - ti;  // - h x
                const double left = ti - T[static_cast<size_t>(i + 1 - j + r)];  // + h x
                double* out = ndu[r][j];
                for (int m = 0; m <= j; ++m) out[m] = saved[m];
                for (int m = 0; m < j; ++m) {
                    out[m] += right * temp[m];
                    out[m + 1] -= h * temp[m];
                }
                for (int m = 0; m <= j; ++m) saved[m] = 0.0;
                for (int m = 0; m < j; ++m) {
                    saved[m] += left * temp[m];
                    saved[m + 1] += h * temp[m];
                }
            }
            for (int m = 0; m <= j; ++m) ndu[j][j][m] = saved[m];
        }
        double* out = power.data() + stride * static_cast<size_t>(i);
        for (int r = 0; r <= p; ++r) {
            for (int m = 0; m <= p; ++m) out[r * (p + 1) + m] = ndu[r][p][m];
        }
        scale[static_cast<size_t>(i)] = 1.0 / h;
    }
}

// The blossom of the span-i piece of a degree-p B-spline with homogeneous points d[0 .. p] (those
// of span i) at args[0 .. p-1]: de Boor's algorithm with one argument per level. With every
// argument t it is the point at t; with p - k of them at the span's start and k at its end it is
// the span's k-th Bezier point.
void blossom(const double* T, int i, int p, const double* args, const double (*d)[4], double* out) {
    double w[kHullMaxDegree + 1][4];
    for (int k = 0; k <= p; ++k) {
        for (int c = 0; c < 4; ++c) w[k][c] = d[k][c];
    }
    for (int r = 1; r <= p; ++r) {
        for (int k = p; k >= r; --k) {
            const int j = i - p + k;
            const double alpha = (args[r - 1] - T[j]) / (T[j + p + 1 - r] - T[j]);
            for (int c = 0; c < 4; ++c) w[k][c] = (1.0 - alpha) * w[k - 1][c] + alpha * w[k][c];
        }
    }
    for (int c = 0; c < 4; ++c) out[c] = w[p][c];
}

// The Bezier points of the span-i piece, from the points of that span.
void bezierPoints(const double* T, int i, int p, const double (*d)[4], double (*out)[4]) {
    double args[kHullMaxDegree];
    for (int k = 0; k <= p; ++k) {
        for (int r = 0; r < p; ++r) args[r] = r < p - k ? T[i] : T[i + 1];
        blossom(T, i, p, args, d, out[k]);
    }
}

// One patch per non-empty span pair, with the box of its Bezier points: with positive weights
// the patch lies inside it, and it is much closer to the patch than the box of the B-spline
// points, which reach over the neighbouring spans.
void addPatches(HullSurface& s) {
    double row[kHullMaxDegree + 1][4], rowBezier[kHullMaxDegree + 1][kHullMaxDegree + 1][4];
    double column[kHullMaxDegree + 1][4], columnBezier[kHullMaxDegree + 1][4];
    for (int j = s.q; j < s.nv; ++j) {
        if (!(s.V[static_cast<size_t>(j)] < s.V[static_cast<size_t>(j + 1)])) continue;
        for (int i = s.p; i < s.nu; ++i) {
            if (!(s.U[static_cast<size_t>(i)] < s.U[static_cast<size_t>(i + 1)])) continue;
            HullPatch patch{i,
                            j,
                            s.U[static_cast<size_t>(i)],
                            s.U[static_cast<size_t>(i + 1)],
                            s.V[static_cast<size_t>(j)],
                            s.V[static_cast<size_t>(j + 1)],
                            {HUGE_VAL, HUGE_VAL, HUGE_VAL},
                            {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL}};
            for (int l = 0; l <= s.q; ++l) {
                for (int k = 0; k <= s.p; ++k) {
                    const double* P =
                        &s.Pw[4 * static_cast<size_t>(i - s.p + k + (j - s.q + l) * s.nu)];
                    for (int c = 0; c < 4; ++c) row[k][c] = P[c];
                }
                bezierPoints(s.U.data(), i, s.p, row, rowBezier[l]);
            }
            for (int k = 0; k <= s.p; ++k) {
                for (int l = 0; l <= s.q; ++l) {
                    for (int c = 0; c < 4; ++c) column[l][c] = rowBezier[l][k][c];
                }
                bezierPoints(s.V.data(), j, s.q, column, columnBezier);
                for (int l = 0; l <= s.q; ++l) {
                    const double* P = columnBezier[l];
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
    s.invU = reciprocalDifferences(s.U, s.nu, s.p);
    s.invV = reciprocalDifferences(s.V, s.nv, s.q);
    if (s.p <= kHullPowerDegree) powerForm(s.U, s.invU, s.nu, s.p, s.powerU, s.spanScaleU);
    if (s.q <= kHullPowerDegree) powerForm(s.V, s.invV, s.nv, s.q, s.powerV, s.spanScaleV);
    addPatches(s);
    out = std::move(s);
    return true;
}

namespace {

// Basis functions and derivatives along u (alongU) or v in the given span at t.
void spanBasis(const HullSurface& s, bool alongU, int span, double t, double* N, double* D) {
    const int p = alongU ? s.p : s.q;
    const std::vector<double>& T = alongU ? s.U : s.V;
    if (p > kHullPowerDegree) {
        const std::vector<double>& inv = alongU ? s.invU : s.invV;
        basisWithDerivatives(T.data(), inv.data() + span * (p + 1) * (p + 1), span, p, t, N, D);
        return;
    }
    const double* c = (alongU ? s.powerU : s.powerV).data() + span * (p + 1) * (p + 1);
    const double scale = (alongU ? s.spanScaleU : s.spanScaleV)[static_cast<size_t>(span)];
    const double x = (t - T[static_cast<size_t>(span)]) * scale;
    switch (p) {
        case 1: return powerBasisOf<1>(c, scale, p, x, N, D);
        case 2: return powerBasisOf<2>(c, scale, p, x, N, D);
        case 3: return powerBasisOf<3>(c, scale, p, x, N, D);
        case 4: return powerBasisOf<4>(c, scale, p, x, N, D);
        case 5: return powerBasisOf<5>(c, scale, p, x, N, D);
        default: return powerBasisOf<0>(c, scale, p, x, N, D);
    }
}

}  // namespace

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

namespace {

// The Cartesian point and derivatives from the homogeneous sums A, A_u and A_v.
void fromHomogeneous(const HullSurface& s, const double* A, const double* Au, const double* Av,
                     HullSample& out) {
    const double r = 1.0 / A[3];
    const double S[3] = {A[0] * r, A[1] * r, A[2] * r};
    out.x = S[0] + s.shift[0];
    out.y = S[1] + s.shift[1];
    out.z = S[2] + s.shift[2];
    out.xu = (Au[0] - Au[3] * S[0]) * r;
    out.yu = (Au[1] - Au[3] * S[1]) * r;
    out.zu = (Au[2] - Au[3] * S[2]) * r;
    out.xv = (Av[0] - Av[3] * S[0]) * r;
    out.yv = (Av[1] - Av[3] * S[1]) * r;
    out.zv = (Av[2] - Av[3] * S[2]) * r;
}

}  // namespace

namespace {

// sum[c] = sum of N[l] P_l[c] over l = 0 .. degree, with P_l at P + l * step, and the same with
// the derivatives Dn. Q is the degree when it is known at compile time, else 0.
template <int Q>
void weightedSumOf(const double* N, const double* Dn, int degree, const double* P, size_t step,
                   double* sum, double* sumD) {
    const int q = Q > 0 ? Q : degree;
    double a[4] = {0, 0, 0, 0}, b[4] = {0, 0, 0, 0};
    for (int l = 0; l <= q; ++l, P += step) {
        addScaled(a, N[l], P);
        addScaled(b, Dn[l], P);
    }
    copy4(sum, a);
    copy4(sumD, b);
}

void weightedSum(const double* N, const double* Dn, int degree, const double* P, size_t step,
                 double* sum, double* sumD) {
    switch (degree) {
        case 1: return weightedSumOf<1>(N, Dn, degree, P, step, sum, sumD);
        case 2: return weightedSumOf<2>(N, Dn, degree, P, step, sum, sumD);
        case 3: return weightedSumOf<3>(N, Dn, degree, P, step, sum, sumD);
        case 4: return weightedSumOf<4>(N, Dn, degree, P, step, sum, sumD);
        case 5: return weightedSumOf<5>(N, Dn, degree, P, step, sum, sumD);
        default: return weightedSumOf<0>(N, Dn, degree, P, step, sum, sumD);
    }
}

// The line's two curves as polynomials: PC[m] = sum over k of c[k][m] C[k], with c the basis
// polynomials of the span (powerForm). P is the degree when known at compile time, else 0.
template <int P>
void toPowerFormOf(const double* c, int degree, HullLine& line) {
    const int p = P > 0 ? P : degree;
    for (int m = 0; m <= p; ++m) {
        double a[4] = {0, 0, 0, 0}, b[4] = {0, 0, 0, 0};
        for (int k = 0; k <= p; ++k) {
            const double f = c[k * (p + 1) + m];
            addScaled(a, f, line.C[k]);
            addScaled(b, f, line.D[k]);
        }
        copy4(line.PC[m], a);
        copy4(line.PD[m], b);
    }
}

void toPowerForm(const double* c, int degree, HullLine& line) {
    switch (degree) {
        case 1: return toPowerFormOf<1>(c, degree, line);
        case 2: return toPowerFormOf<2>(c, degree, line);
        case 3: return toPowerFormOf<3>(c, degree, line);
        case 4: return toPowerFormOf<4>(c, degree, line);
        case 5: return toPowerFormOf<5>(c, degree, line);
        default: return toPowerFormOf<0>(c, degree, line);
    }
}

}  // namespace

void makeHullLine(const HullSurface& s, int i, int j, bool alongU, double t, HullLine& out) {
    out.surface = &s;
    out.alongU = alongU;
    out.i = i;
    out.j = j;
    out.t = t;
    double N[kHullMaxDegree + 1], Dn[kHullMaxDegree + 1];
    const double* corner = &s.Pw[4 * static_cast<size_t>(i - s.p + (j - s.q) * s.nu)];
    if (alongU) {
        // Point k of the line sums the points k of rows j - q .. j.
        spanBasis(s, false, j, t, N, Dn);
        out.count = s.p + 1;
        for (int k = 0; k <= s.p; ++k) {
            weightedSum(N, Dn, s.q, corner + 4 * k, 4 * static_cast<size_t>(s.nu), out.C[k],
                        out.D[k]);
        }
    } else {
        // Point l of the line sums the points of row j - q + l.
        spanBasis(s, true, i, t, N, Dn);
        out.count = s.q + 1;
        for (int l = 0; l <= s.q; ++l) {
            weightedSum(N, Dn, s.p, corner + 4 * static_cast<size_t>(l) * s.nu, 4, out.C[l],
                        out.D[l]);
        }
    }
    const int degree = out.count - 1;
    out.power = degree <= kHullPowerDegree;
    if (!out.power) return;
    const int span = alongU ? i : j;
    out.origin = (alongU ? s.U : s.V)[static_cast<size_t>(span)];
    out.scale = (alongU ? s.spanScaleU : s.spanScaleV)[static_cast<size_t>(span)];
    toPowerForm((alongU ? s.powerU : s.powerV).data() + span * (degree + 1) * (degree + 1), degree,
                out);
}

bool makeHullPatchForm(const HullSurface& s, int i, int j, HullPatchForm& out) {
    if (s.p > kHullPowerDegree || s.q > kHullPowerDegree) return false;
    out.surface = &s;
    out.i = i;
    out.j = j;
    const int p = s.p, q = s.q;
    const double* cu = s.powerU.data() + i * (p + 1) * (p + 1);
    const double* cv = s.powerV.data() + j * (q + 1) * (q + 1);
    // B[k][n]: the powers of y of column k of the patch's points; then A from them along x.
    double B[kHullPowerDegree + 1][kHullPowerDegree + 1][4] = {};
    for (int l = 0; l <= q; ++l) {
        const double* P = &s.Pw[4 * static_cast<size_t>(i - p + (j - q + l) * s.nu)];
        for (int k = 0; k <= p; ++k, P += 4) {
            for (int n = 0; n <= q; ++n) addScaled(B[k][n], cv[l * (q + 1) + n], P);
        }
    }
    for (int m = 0; m <= p; ++m) {
        for (int n = 0; n <= q; ++n) {
            double a[4] = {0, 0, 0, 0};
            for (int k = 0; k <= p; ++k) addScaled(a, cu[k * (p + 1) + m], B[k][n]);
            copy4(out.A[m][n], a);
        }
    }
    return true;
}

namespace {

// C(k, m) / C(degree, m) at [k * (kHullPowerDegree + 1) + m], for m <= k <= degree.
const double* bezierRatios(int degree) {
    constexpr int kSize = kHullPowerDegree + 1;
    static const std::vector<double> table = [] {
        std::vector<double> t(kSize * kSize * kSize, 0.0);
        for (int d = 1; d < kSize; ++d) {
            for (int k = 0; k <= d; ++k) {
                double ratio = 1.0;
                for (int m = 0; m <= k; ++m) {
                    t[static_cast<size_t>((d * kSize + k) * kSize + m)] = ratio;
                    if (m < k) ratio *= static_cast<double>(k - m) / static_cast<double>(d - m);
                }
            }
        }
        return t;
    }();
    return table.data() + degree * kSize * kSize;
}

// The line's polynomials from the patch's by Horner's rule across it at y, and its Bezier
// points. P and Q are the degrees along u and v when known at compile time, else 0.
template <int P, int Q>
void lineFromFormOf(const HullPatchForm& form, bool alongU, double y, double acrossScale,
                    HullLine& out) {
    const HullSurface& s = *form.surface;
    const int p = P > 0 ? P : s.p, q = Q > 0 ? Q : s.q;
    const int degree = alongU ? p : q;
    if (alongU) {
        for (int m = 0; m <= p; ++m) {
            double* value = out.PC[m];
            double* slope = out.PD[m];
            copy4(value, form.A[m][q]);
            slope[0] = slope[1] = slope[2] = slope[3] = 0.0;
            for (int n = q - 1; n >= 0; --n) hornerStep(value, slope, y, form.A[m][n]);
        }
    } else {
        for (int n = 0; n <= q; ++n) {
            double* value = out.PC[n];
            double* slope = out.PD[n];
            copy4(value, form.A[p][n]);
            slope[0] = slope[1] = slope[2] = slope[3] = 0.0;
            for (int m = p - 1; m >= 0; --m) hornerStep(value, slope, y, form.A[m][n]);
        }
    }
    for (int m = 0; m <= degree; ++m) {
        double* d = out.PD[m];
        d[0] *= acrossScale;
        d[1] *= acrossScale;
        d[2] *= acrossScale;
        d[3] *= acrossScale;
    }
    // Bezier points from the powers: b_k = sum over m <= k of C(k, m) / C(degree, m) a_m.
    const double* ratios = bezierRatios(degree);
    for (int k = 0; k <= degree; ++k, ratios += kHullPowerDegree + 1) {
        double b[4] = {0, 0, 0, 0};
        for (int m = 0; m <= k; ++m) addScaled(b, ratios[m], out.PC[m]);
        copy4(out.C[k], b);
    }
}

}  // namespace

void makeHullLine(const HullPatchForm& form, bool alongU, double t, HullLine& out) {
    const HullSurface& s = *form.surface;
    out.surface = &s;
    out.alongU = alongU;
    out.i = form.i;
    out.j = form.j;
    out.t = t;
    out.power = true;
    const int span = alongU ? form.i : form.j, acrossSpan = alongU ? form.j : form.i;
    const double acrossScale =
        (alongU ? s.spanScaleV : s.spanScaleU)[static_cast<size_t>(acrossSpan)];
    const double acrossOrigin = (alongU ? s.V : s.U)[static_cast<size_t>(acrossSpan)];
    const double y = (t - acrossOrigin) * acrossScale;
    out.count = (alongU ? s.p : s.q) + 1;
    out.origin = (alongU ? s.U : s.V)[static_cast<size_t>(span)];
    out.scale = (alongU ? s.spanScaleU : s.spanScaleV)[static_cast<size_t>(span)];
    switch (s.p == s.q ? s.p : 0) {
        case 2: return lineFromFormOf<2, 2>(form, alongU, y, acrossScale, out);
        case 3: return lineFromFormOf<3, 3>(form, alongU, y, acrossScale, out);
        case 4: return lineFromFormOf<4, 4>(form, alongU, y, acrossScale, out);
        case 5: return lineFromFormOf<5, 5>(form, alongU, y, acrossScale, out);
        default: return lineFromFormOf<0, 0>(form, alongU, y, acrossScale, out);
    }
}

void evaluateHullLine(const HullLine& line, double s, HullSample& out) {
    const HullSurface& h = *line.surface;
    if (line.power) {
        // Horner's rule on the polynomials, with the derivative along the line.
        const double x = (s - line.origin) * line.scale;
        const int last = line.count - 1;
        double A[4], As[4] = {0, 0, 0, 0}, At[4], unused[4] = {0, 0, 0, 0};
        copy4(A, line.PC[last]);
        copy4(At, line.PD[last]);
        for (int m = last - 1; m >= 0; --m) {
            hornerStep(A, As, x, line.PC[m]);
            hornerStep(At, unused, x, line.PD[m]);
        }
        As[0] *= line.scale;
        As[1] *= line.scale;
        As[2] *= line.scale;
        As[3] *= line.scale;
        if (line.alongU) {
            fromHomogeneous(h, A, As, At, out);
        } else {
            fromHomogeneous(h, A, At, As, out);
        }
        return;
    }
    double N[kHullMaxDegree + 1], Dn[kHullMaxDegree + 1];
    spanBasis(h, line.alongU, line.alongU ? line.i : line.j, s, N, Dn);
    double A[4] = {0, 0, 0, 0}, As[4] = {0, 0, 0, 0}, At[4] = {0, 0, 0, 0};
    for (int k = 0; k < line.count; ++k) {
        for (int c = 0; c < 4; ++c) {
            A[c] += N[k] * line.C[k][c];
            As[c] += Dn[k] * line.C[k][c];
            At[c] += N[k] * line.D[k][c];
        }
    }
    if (line.alongU) {
        fromHomogeneous(h, A, As, At, out);
    } else {
        fromHomogeneous(h, A, At, As, out);
    }
}

void evaluateHullLineCoordinate(const HullLine& line, double s, int axis, double& value,
                                 double& slope) {
    const HullSurface& h = *line.surface;
    if (line.power) {
        const double x = (s - line.origin) * line.scale;
        const int last = line.count - 1;
        double a = line.PC[last][axis], w = line.PC[last][3], as = 0.0, ws = 0.0;
        for (int m = last - 1; m >= 0; --m) {
            as = as * x + a;
            ws = ws * x + w;
            a = a * x + line.PC[m][axis];
            w = w * x + line.PC[m][3];
        }
        const double r = 1.0 / w;
        const double S = a * r;
        value = S + h.shift[axis];
        slope = (as - ws * S) * r * line.scale;
        return;
    }
    double N[kHullMaxDegree + 1], Dn[kHullMaxDegree + 1];
    spanBasis(h, line.alongU, line.alongU ? line.i : line.j, s, N, Dn);
    // The same sums and quotients as evaluateHullLine, for one coordinate and the weight only.
    double a = 0.0, w = 0.0, as = 0.0, ws = 0.0;
    for (int k = 0; k < line.count; ++k) {
        a += N[k] * line.C[k][axis];
        w += N[k] * line.C[k][3];
        as += Dn[k] * line.C[k][axis];
        ws += Dn[k] * line.C[k][3];
    }
    const double r = 1.0 / w;
    const double S = a * r;
    value = S + h.shift[axis];
    slope = (as - ws * S) * r;
}

void evaluateHull(const HullSurface& s, int i, int j, double u, double v, HullSample& out) {
    double Nu[kHullMaxDegree + 1], Du[kHullMaxDegree + 1];
    double Nv[kHullMaxDegree + 1], Dv[kHullMaxDegree + 1];
    spanBasis(s, true, i, u, Nu, Du);
    spanBasis(s, false, j, v, Nv, Dv);
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
    fromHomogeneous(s, A, Au, Av, out);
}
