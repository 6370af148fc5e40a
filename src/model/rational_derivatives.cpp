// Basis function derivatives and the first two derivatives of rational curves and surfaces.
#include "model/rational_derivatives.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "model/finite_values.h"
#include "model/knots.h"

namespace {

// The derivatives are accumulated in double and rounded to float once at the end: the rational
// quotient rule subtracts w' C' and w'' C from the homogeneous derivatives, which nearly cancel
// where weights vary, and curvature divides by |Su x Sv| and |C'|^3.
struct D3 {
    double x = 0.0, y = 0.0, z = 0.0;
};

D3 operator-(D3 a, D3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
D3 operator*(D3 a, double f) {
    return {a.x * f, a.y * f, a.z * f};
}

// Homogeneous value: coordinates times weight, and the weight.
struct D4 {
    D3 p;
    double w = 0.0;
};

void accumulate(D4& sum, double b, const PointH& P) {
    sum.p.x += b * P.x;
    sum.p.y += b * P.y;
    sum.p.z += b * P.z;
    sum.w += b * P.w;
}

void accumulate(D4& sum, double b, const D4& P) {
    sum.p.x += b * P.p.x;
    sum.p.y += b * P.p.y;
    sum.p.z += b * P.p.z;
    sum.w += b * P.w;
}

bool toFloat(D3 a, float& x, float& y, float& z) {
    x = static_cast<float>(a.x);
    y = static_cast<float>(a.y);
    z = static_cast<float>(a.z);
    return finite(x, y, z);
}

bool toPoint(D3 a, Point3& out) {
    return toFloat(a, out.x, out.y, out.z);
}
bool toVector(D3 a, Vector3& out) {
    return toFloat(a, out.x, out.y, out.z);
}

// Cartesian derivatives of orders 0, 1, 2 along one direction from the homogeneous ones
// (The NURBS Book, A4.2 with d = 2).
void rationalCurve(const D4 A[3], D3 C[3]) {
    const double w = A[0].w;
    C[0] = A[0].p * (1.0 / w);
    C[1] = (A[1].p - C[0] * A[1].w) * (1.0 / w);
    C[2] = (A[2].p - C[1] * (2.0 * A[1].w) - C[0] * A[2].w) * (1.0 / w);
}

}  // namespace

// The NURBS Book, A2.3, with the 1-based span I (span I is [U[I-1], U[I])).
void evaluateBasisDerivatives(double* ders, int I, float u, int p, int d, const float* U) {
    const int n = std::min(d, p);
    const size_t width = static_cast<size_t>(p + 1);
    std::vector<double> ndu(width * width);
    std::vector<double> left(width), right(width);
    std::vector<double> a(2 * width);
    auto NDU = [&](int row, int column) -> double& { return ndu[row * width + column]; };
    auto A = [&](int row, int column) -> double& { return a[row * width + column]; };
    const double x = u;
    NDU(0, 0) = 1.0;
    for (int j = 1; j <= p; ++j) {
        left[j] = x - U[I - j];
        right[j] = static_cast<double>(U[I - 1 + j]) - x;
        double saved = 0.0;
        for (int r = 0; r < j; ++r) {
            NDU(j, r) = right[r + 1] + left[j - r];  // lower triangle: knot differences
            const double temp = NDU(r, j - 1) / NDU(j, r);
            NDU(r, j) = saved + right[r + 1] * temp;
            saved = left[j - r] * temp;
        }
        NDU(j, j) = saved;
    }
    for (int k = 0; k <= d; ++k) {
        for (int j = 0; j <= p; ++j) ders[k * width + j] = k == 0 ? NDU(j, p) : 0.0;
    }
    for (int r = 0; r <= p; ++r) {
        int s1 = 0, s2 = 1;
        A(0, 0) = 1.0;
        for (int k = 1; k <= n; ++k) {
            double sum = 0.0;
            const int rk = r - k;
            const int pk = p - k;
            if (r >= k) {
                A(s2, 0) = A(s1, 0) / NDU(pk + 1, rk);
                sum = A(s2, 0) * NDU(rk, pk);
            }
            const int j1 = rk >= -1 ? 1 : -rk;
            const int j2 = r - 1 <= pk ? k - 1 : p - r;
            for (int j = j1; j <= j2; ++j) {
                A(s2, j) = (A(s1, j) - A(s1, j - 1)) / NDU(pk + 1, rk + j);
                sum += A(s2, j) * NDU(rk + j, pk);
            }
            if (r <= pk) {
                A(s2, k) = -A(s1, k - 1) / NDU(pk + 1, r);
                sum += A(s2, k) * NDU(r, pk);
            }
            ders[k * width + r] = sum;
            std::swap(s1, s2);
        }
    }
    double factor = p;
    for (int k = 1; k <= n; ++k) {
        for (int j = 0; j <= p; ++j) ders[k * width + j] *= factor;
        factor *= p - k;
    }
}

// The NURBS Book, A3.2 then A4.2, with d = 2.
bool evaluateCurveDerivatives(int n, int p, const float* U, const PointH* Pw, float u,
                              CurveDerivatives& out) {
    if (n < 0 || p < 0 || p > n) return false;
    const int I = findEvaluationSpan(n, p, u, U);
    if (I < p + 1 || I > n + 1) return false;
    const size_t width = static_cast<size_t>(p + 1);
    std::vector<double> ders(3 * width);
    evaluateBasisDerivatives(ders.data(), I, u, p, 2, U);
    D4 A[3];
    for (int k = 0; k < 3; ++k) {
        for (int j = 0; j <= p; ++j) accumulate(A[k], ders[k * width + j], Pw[I - 1 - p + j]);
    }
    D3 C[3];
    rationalCurve(A, C);
    return toPoint(C[0], out.point) && toVector(C[1], out.Cu) && toVector(C[2], out.Cuu);
}

// The NURBS Book, A3.6 on the homogeneous net, then A4.4, with d = 2.
bool evaluateSurfaceDerivatives(const SurfaceModel& surface, float u, float v,
                                SurfaceDerivatives& out) {
    const SurfaceModel& s = surface;
    if (!surfaceIsUsable(s)) return false;
    const int p = s.orderU - 1;
    const int q = s.orderV - 1;
    const int Iu = findEvaluationSpan(s.countU - 1, p, u, s.knotsU.data());
    const int Iv = findEvaluationSpan(s.countV - 1, q, v, s.knotsV.data());
    if (Iu < s.orderU || Iu > s.countU || Iv < s.orderV || Iv > s.countV) return false;
    const size_t widthU = static_cast<size_t>(s.orderU);
    const size_t widthV = static_cast<size_t>(s.orderV);
    std::vector<double> Nu(3 * widthU), Nv(3 * widthV);
    evaluateBasisDerivatives(Nu.data(), Iu, u, p, 2, s.knotsU.data());
    evaluateBasisDerivatives(Nv.data(), Iv, v, q, 2, s.knotsV.data());

    // A[k][l]: the homogeneous derivative of order k in u and l in v, for k + l <= 2.
    D4 A[3][3];
    std::vector<D4> row(3);
    for (int l = 0; l <= q; ++l) {
        const int section = Iv - s.orderV + l;
        const PointH* P = &s.controlNet[static_cast<size_t>(section) * s.countU];
        for (int k = 0; k < 3; ++k) {
            row[k] = D4();
            for (int j = 0; j <= p; ++j)
                accumulate(row[k], Nu[k * widthU + j], P[Iu - s.orderU + j]);
        }
        for (int k = 0; k < 3; ++k) {
            for (int m = 0; m + k < 3; ++m) accumulate(A[k][m], Nv[m * widthV + l], row[k]);
        }
    }

    // The rational derivatives: along u and along v as for curves, and the mixed one
    // S_uv = (A_uv - w_u S_v - w_v S_u - w_uv S) / w.
    const D4 alongU[3] = {A[0][0], A[1][0], A[2][0]};
    const D4 alongV[3] = {A[0][0], A[0][1], A[0][2]};
    D3 Cu[3], Cv[3];
    rationalCurve(alongU, Cu);
    rationalCurve(alongV, Cv);
    const double w = A[0][0].w;
    const D3 Suv =
        (A[1][1].p - Cv[1] * A[1][0].w - Cu[1] * A[0][1].w - Cu[0] * A[1][1].w) * (1.0 / w);
    return toPoint(Cu[0], out.point) && toVector(Cu[1], out.Su) && toVector(Cv[1], out.Sv) &&
           toVector(Cu[2], out.Suu) && toVector(Suv, out.Suv) && toVector(Cv[2], out.Svv);
}
