// Knot vectors, span search, basis functions and surface evaluation.
#include "model/knots.h"

#include <cmath>
#include <vector>

#include "model/finite_values.h"
#include "model/surface_model.h"

void fillUniformKnots(float* U, int knotCount, int order) {
    const int K = knotCount;
    const int k = order;
    const int D = K - 2 * k + 1;
    for (int i = 0; i < K; ++i) {
        if (i < k - 1) {
            U[i] = 0.0f;
        } else if (i <= K - k) {
            U[i] = D != 0 ? static_cast<float>(i - k + 1) / static_cast<float>(D) : 0.5f;
        } else {
            U[i] = 1.0f;
        }
    }
}

void generateUniformKnots(SurfaceModel& surface, int direction) {
    std::vector<float>* knots;
    int count;
    int order;
    if (direction == 1) {
        knots = &surface.knotsU;
        count = surface.knotCountU;
        order = surface.orderU;
    } else if (direction == 2) {
        knots = &surface.knotsV;
        count = surface.knotCountV;
        order = surface.orderV;
    } else {
        return;
    }
    std::vector<float> fresh(count > 0 ? static_cast<size_t>(count) : 0);
    if (!fresh.empty()) fillUniformKnots(fresh.data(), count, order);
    knots->swap(fresh);
}

// The NURBS Book, A2.1, with 1-based spans: span I is [U[I-1], U[I]).
int findKnotSpan(int n, int p, float u, const float* U) {
    if (u == U[n + 1]) return n + 1;
    int low = p + 1;
    int high = n + 2;
    int mid = (low + high) / 2;
    for (;;) {
        if (U[mid - 1] <= u && u < U[mid]) return mid;
        if (u < U[mid - 1]) {
            high = mid;
        } else {
            low = mid;
        }
        mid = (low + high) / 2;
        if (high - low <= 1) return mid;
    }
}

int findEvaluationSpan(int n, int p, float u, const float* U) {
    int I = findKnotSpan(n, p, u, U);
    if (u == U[n + 1]) {
        while (I > p + 1 && U[I - 1] == U[I]) --I;
    }
    return I;
}

// The NURBS Book, A2.2 (triangular scheme), with the 1-based span I.
void evaluateBasis(float* N, int I, float u, int p, const float* U) {
    constexpr int kStackDegree = 32;
    float leftStack[kStackDegree + 1];
    float rightStack[kStackDegree + 1];
    std::vector<float> heap;
    float* left = leftStack;
    float* right = rightStack;
    if (p > kStackDegree) {
        heap.assign(2 * static_cast<size_t>(p + 1), 0.0f);
        left = heap.data();
        right = heap.data() + p + 1;
    }
    N[0] = 1.0f;
    for (int j = 1; j <= p; ++j) {
        left[j] = u - U[I - j];
        right[j] = U[I - 1 + j] - u;
        float saved = 0.0f;
        for (int r = 0; r < j; ++r) {
            const float temp = N[r] / (right[r + 1] + left[j - r]);
            N[r] = saved + right[r + 1] * temp;
            saved = left[j - r] * temp;
        }
        N[j] = saved;
    }
}

PointH weightedNetSum(const SurfaceModel& s, int Iu, const float* Nu, int Iv, const float* Nv) {
    float sx = 0.0f, sy = 0.0f, sz = 0.0f, sw = 0.0f;
    for (int l = 0; l < s.orderV; ++l) {
        const int section = Iv - s.orderV + l;
        for (int k = 0; k < s.orderU; ++k) {
            const int point = Iu - s.orderU + k;
            const PointH& P = s.controlNet[static_cast<size_t>(section) * s.countU + point];
            const float b = Nv[l] * Nu[k];
            sx += b * P.x;
            sy += b * P.y;
            sz += b * P.z;
            sw += b * P.w;
        }
    }
    return {sx, sy, sz, sw};
}

bool evaluateSurfacePoint(const SurfaceModel& surface, float& x, float& y, float& z, float u,
                          float v) {
    const SurfaceModel& s = surface;
    if (!surfaceIsUsable(s)) return false;
    const int Iu = findEvaluationSpan(s.countU - 1, s.orderU - 1, u, s.knotsU.data());
    const int Iv = findEvaluationSpan(s.countV - 1, s.orderV - 1, v, s.knotsV.data());
    // A knot vector edited out of order can send the span outside the valid range; such a
    // surface has no point there.
    if (Iu < s.orderU || Iu > s.countU || Iv < s.orderV || Iv > s.countV) return false;
    std::vector<float> Nu(static_cast<size_t>(s.orderU));
    std::vector<float> Nv(static_cast<size_t>(s.orderV));
    evaluateBasis(Nu.data(), Iu, u, s.orderU - 1, s.knotsU.data());
    evaluateBasis(Nv.data(), Iv, v, s.orderV - 1, s.knotsV.data());
    const PointH sum = weightedNetSum(s, Iu, Nu.data(), Iv, Nv.data());
    // Weights that cancel out, or values past the float range, leave no point to show.
    const float px = sum.x / sum.w;
    const float py = sum.y / sum.w;
    const float pz = sum.z / sum.w;
    if (!finite(px, py, pz)) return false;
    x = px;
    y = py;
    z = pz;
    return true;
}
