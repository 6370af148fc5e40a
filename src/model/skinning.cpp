// Skinning: section parameters, averaged V knots, the reference and the banded interpolation,
// and the routine that rebuilds the skinned net of the editor.
#include "model/skinning.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "model/banded_solver.h"
#include "model/editor_state.h"
#include "model/gui_hooks.h"
#include "model/knots.h"
#include "model/surface_limits.h"

float vectorNorm(const float* v, int n) {
    float sum = 0.0f;
    for (int i = 0; i < n; ++i) sum += v[i] * v[i];
    return std::sqrt(sum);
}

// Written with 0-based indices; the pivot search keeps the first of equal maxima because it
// only takes a row whose magnitude is strictly greater.
void solveLinearSystem(const float* A, float* b, float* x, int n) {
    if (n < 1) return;
    const size_t N = static_cast<size_t>(n);
    std::vector<float> W(A, A + N * N);
    for (size_t k = 0; k + 1 < N; ++k) {
        size_t pivot = k;
        float largest = 0.0f;
        for (size_t r = k; r < N; ++r) {
            const float magnitude = std::fabs(W[r * N + k]);
            if (magnitude > largest) {
                largest = magnitude;
                pivot = r;
            }
        }
        if (pivot != k) {
            for (size_t s = k; s < N; ++s) std::swap(W[k * N + s], W[pivot * N + s]);
            std::swap(b[k], b[pivot]);
        }
        for (size_t r = k + 1; r < N; ++r) {
            const float f = W[r * N + k] / W[k * N + k];
            for (size_t s = k; s < N; ++s) W[r * N + s] = W[r * N + s] - f * W[k * N + s];
            b[r] = b[r] - f * b[k];
        }
    }
    x[N - 1] = b[N - 1] / W[(N - 1) * N + (N - 1)];
    for (size_t i = N - 1; i-- > 0;) {
        float sum = 0.0f;
        for (size_t s = i + 1; s < N; ++s) sum += W[i * N + s] * x[s];
        x[i] = (b[i] - sum) / W[i * N + i];
    }
}

namespace {

// Row i of the collocation matrix: the basis values at params[i] go to the columns of their
// control points, first .. first + count - 1 (count may be below p + 1 when the span would
// reach past the last column). Both solvers build their matrices from this one routine, so
// they start from the same floats.
struct CollocationRow {
    int first = 0;
    int count = 0;
};

CollocationRow collocationRow(std::vector<float>& N, int i, int n, int p, const float* U,
                              const float* params) {
    const int m = n + 1;
    const int I = findKnotSpan(n, p, params[i], U);
    evaluateBasis(N.data(), I, params[i], p, U);
    const int end = std::min(I, m);  // one past the last column written
    CollocationRow row;
    row.first = I - p - 1;
    row.count = 0;
    for (int r = 0; r <= p && row.first + r < end; ++r) ++row.count;
    return row;
}

}  // namespace

void buildCollocationMatrix(float* A, int n, int p, const float* U, const float* params) {
    const size_t m = static_cast<size_t>(n) + 1;
    std::fill(A, A + m * m, 0.0f);
    std::vector<float> N(static_cast<size_t>(p) + 1);
    for (int i = 0; i <= n; ++i) {
        const CollocationRow row = collocationRow(N, i, n, p, U, params);
        for (int r = 0; r < row.count; ++r) {
            const int column = row.first + r;
            if (column >= 0) A[i * m + static_cast<size_t>(column)] = N[static_cast<size_t>(r)];
        }
    }
}

void interpolateCurve(float* P, int n, const float* Q, int dim, int p, const float* U,
                      const float* params) {
    const size_t m = static_cast<size_t>(n) + 1;
    std::vector<float> A(m * m);
    buildCollocationMatrix(A.data(), n, p, U, params);
    std::vector<float> b(m);
    std::vector<float> x(m);
    for (int d = 0; d < dim; ++d) {
        for (size_t k = 0; k < m; ++k) b[k] = Q[k * dim + d];
        solveLinearSystem(A.data(), b.data(), x.data(), static_cast<int>(m));
        for (size_t k = 0; k < m; ++k) P[k * dim + d] = x[k];
    }
}

bool interpolateCurveBanded(float* P, int n, const float* Q, int dim, int p, const float* U,
                            const float* params) {
    if (n < 0 || p < 0) return false;
    const size_t m = static_cast<size_t>(n) + 1;
    const size_t width = static_cast<size_t>(p) + 1;
    std::vector<float> N(width);
    std::vector<float> values(m * width);
    std::vector<BandRow> rows(m);
    for (size_t i = 0; i < m; ++i) {
        CollocationRow row = collocationRow(N, static_cast<int>(i), n, p, U, params);
        // Columns left of 0 are not written, as in buildCollocationMatrix.
        const int skip = std::min(row.first < 0 ? -row.first : 0, row.count);
        row.first += skip;
        row.count -= skip;
        if (row.count <= 0) return false;  // a row of zeros
        float* stored = values.data() + i * width;
        for (int r = 0; r < row.count; ++r) {
            if (!std::isfinite(N[skip + r])) return false;
            stored[r] = N[skip + r];
        }
        rows[i] = {row.first, row.count, stored};
    }
    std::vector<float> B(Q, Q + m * static_cast<size_t>(dim));
    return solveBandRows(rows, B.data(), P, dim);
}

// ---------------------------------------------------------------------------------------------
// Parameters and knots.

bool computeSectionParameters(const float* net, int cols, int R, float* v) {
    if (R < 1) return true;
    if (R == 1) {
        v[0] = 1.0f;
        return true;
    }
    v[0] = 0.0f;
    v[R - 1] = 1.0f;
    const int K = R - 1;
    if (K < 2) return true;
    const size_t rowFloats = 4 * static_cast<size_t>(cols);
    // chord[(r - 1) * cols + t] = |G[r][t] - G[r-1][t]|, kept so each chord is measured once.
    std::vector<float> chord(static_cast<size_t>(K) * cols);
    std::vector<float> total(static_cast<size_t>(cols), 0.0f);
    float difference[4];
    for (int t = 0; t < cols; ++t) {
        for (int r = 1; r <= K; ++r) {
            const float* a = net + r * rowFloats + 4 * static_cast<size_t>(t);
            const float* b = a - rowFloats;
            for (int c = 0; c < 4; ++c) difference[c] = a[c] - b[c];
            const float length = vectorNorm(difference, 4);
            chord[static_cast<size_t>(r - 1) * cols + t] = length;
            total[t] += length;
        }
    }
    // A column whose point never moves has no chord length to share out; it is left out of
    // the average instead of dividing by zero.
    int used = 0;
    for (int t = 0; t < cols; ++t) used += total[t] != 0.0f ? 1 : 0;
    if (used == 0) return false;
    const float share = 1.0f / static_cast<float>(used);
    for (int k = 1; k < K; ++k) {
        float sum = 0.0f;
        for (int t = 0; t < cols; ++t) {
            if (total[t] == 0.0f) continue;
            sum += chord[static_cast<size_t>(k - 1) * cols + t] / total[t];
        }
        v[k] = v[k - 1] + share * sum;
    }
    return true;
}

void averageKnots(const float* v, int R, int order, float* V) {
    const int q = order - 1;
    for (int i = 0; i <= q; ++i) V[i] = 0.0f;
    if (q == 0) {
        for (int i = 1; i < R; ++i) V[i] = (v[i - 1] + v[i]) * 0.5f;
    } else {
        const float share = 1.0f / static_cast<float>(q);
        for (int i = 1; i <= R - order; ++i) {
            float sum = 0.0f;
            for (int j = i; j < i + q; ++j) sum += v[j];
            V[q + i] = share * sum;
        }
    }
    for (int i = R; i <= R + q; ++i) V[i] = 1.0f;
}

void skinNetReference(float* out, const float* net, int cols, int R, int p, const float* V,
                      const float* v) {
    const size_t points = static_cast<size_t>(R);
    std::vector<float> column(points * 4);
    std::vector<float> result(points * 4);
    for (int t = 0; t < cols; ++t) {
        for (size_t j = 0; j < points; ++j) {
            std::copy_n(net + (j * cols + t) * 4, 4, column.begin() + j * 4);
        }
        interpolateCurve(result.data(), R - 1, column.data(), 4, p, V, v);
        for (size_t j = 0; j < points; ++j) {
            std::copy_n(result.begin() + j * 4, 4, out + (j * cols + t) * 4);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// The skinned net of a surface.

namespace {

constexpr char kRefusal[] = "Skinning refused: ";

}  // namespace

namespace {

bool skinSurfaceChecked(const SurfaceModel& s, DerivedNets& derived, std::string& refusal) {
    if (!surfaceIsUsable(s)) {
        refusal = "no surface whose degrees fit its points";
        return false;
    }
    const int R = s.countV;
    const int cols = s.knotCountU - s.orderU;
    const int order = s.orderV;
    // The banded elimination's cost grows with the cube of the order: refused before it starts
    // when it would hold the GUI thread for long (2000 sections of degree 1999 took 7.6 s).
    if (skinningWork(R, cols, order) > kMostSkinningWork) {
        char reason[128];
        snprintf(reason, sizeof reason, "%d sections of degree %d take too long to skin", R,
                 order - 1);
        refusal = reason;
        return false;
    }
    const float* net = &s.controlNet[0].x;
    const size_t floats = s.controlNet.size() * 4;
    if (!allFinite(net, floats)) {
        refusal = "the net holds numbers out of range";
        return false;
    }

    std::vector<float> v(static_cast<size_t>(R));
    if (!computeSectionParameters(net, cols, R, v.data())) {
        refusal = "all sections lie at the same place";
        return false;
    }
    for (int k = 1; k < R; ++k) {
        if (!std::isfinite(v[k])) {
            refusal = "the sections lie too far apart to measure";
            return false;
        }
        if (!(v[k] > v[k - 1])) {
            char reason[96];
            snprintf(reason, sizeof reason, "sections %d and %d lie at the same place", k - 1, k);
            refusal = reason;
            return false;
        }
    }

    std::vector<float> V(static_cast<size_t>(R + order));
    averageKnots(v.data(), R, order, V.data());

    std::vector<float> result(floats);
    if (!interpolateCurveBanded(result.data(), R - 1, net, 4 * cols, order - 1, V.data(),
                                v.data())) {
        refusal = "the sections give no interpolating surface";
        return false;
    }
    if (!allFinite(result.data(), floats)) {
        refusal = "the skinned net would leave the range of numbers";
        return false;
    }

    std::vector<PointH> skinned(s.controlNet.size());
    std::memcpy(&skinned[0].x, result.data(), floats * sizeof(float));
    std::vector<float> knots(V.begin(), V.begin() + s.knotCountV);
    derived.skinnedNet.swap(skinned);
    derived.skinnedKnotsV.swap(knots);
    return true;
}

}  // namespace

bool skinSurface(const SurfaceModel& s, DerivedNets& derived, std::string& refusal) {
    // The arrays are replaced only at the end, so a failed allocation leaves them as they were.
    try {
        return skinSurfaceChecked(s, derived, refusal);
    } catch (const std::bad_alloc&) {
        refusal = "not enough memory to skin the sections";
        return false;
    }
}

// A drag reruns skinning on every motion event, so the same refusal is reported once, not once
// per event.
void reportSkinningRefusal(PanelVariables& panel, const std::string& reason) {
    const std::string message = kRefusal + reason;
    if (message != panel.statusLine) setStatusLine(panel, message.c_str());
}

void clearSkinningRefusal(PanelVariables& panel) {
    if (strncmp(panel.statusLine, kRefusal, sizeof kRefusal - 1) == 0) panel.statusLine[0] = '\0';
}

bool computeSkinning() {
    std::string refusal;
    if (!skinSurface(editor.surface, editor.derived, refusal)) {
        reportSkinningRefusal(editor.panel, refusal);
        return false;
    }
    clearSkinningRefusal(editor.panel);
    return true;
}

void skinningCallback(int /*id*/) {
    computeSkinning();
    guiRefreshPanel();
    guiRedrawViews(false);
}
