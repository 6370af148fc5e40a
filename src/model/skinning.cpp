// Skinning: the reference and the banded interpolation across the sections,
// and the routine that rebuilds the skinned net of an editor state.
#include "model/skinning.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "model/banded_solver.h"
#include "model/cyclic_band_solver.h"
#include "model/editor_state.h"
#include "model/gui_hooks.h"
#include "model/knots.h"
#include "model/loft_ends.h"
#include "model/loft_parameters.h"
#include "model/rational_sections.h"
#include "model/surface_limits.h"
#include "model/weight_function.h"

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

// A loft of R sections whose every point equals the one of the section before: the skinning
// would have two rows of the same parameter (chord lengths) or a surface that stops (uniform).
int firstCoincidingSection(const PointH* net, int cols, int R, bool closed) {
    const size_t row = static_cast<size_t>(cols);
    const int pairs = closed ? R : R - 1;
    for (int k = 1; k <= pairs; ++k) {
        const PointH* a = net + static_cast<size_t>(k % R) * row;
        const PointH* b = net + static_cast<size_t>(k - 1) * row;
        bool same = true;
        for (size_t t = 0; t < row && same; ++t) {
            same = a[t].x == b[t].x && a[t].y == b[t].y && a[t].z == b[t].z && a[t].w == b[t].w;
        }
        if (same) return k;
    }
    return -1;
}

std::string sameSectionsReason(int a, int b) {
    char reason[96];
    snprintf(reason, sizeof reason, "sections %d and %d lie at the same place", a, b);
    return reason;
}

}  // namespace

void closedLoftKnots(const float* v, int R, int order, float* U, float* sectionParameters) {
    const int q = order - 1;
    // The parameters continued periodically: T(j + R) = T(j) + 1.
    auto T = [&](int j) {
        const int wraps = j >= 0 ? j / R : -((R - 1 - j) / R);
        return v[j - wraps * R] + static_cast<float>(wraps);
    };
    const int count = R + 2 * q + 1;
    for (int i = 0; i < count; ++i) {
        float knot;
        if (q == 0) {
            knot = (T(i - 1) + T(i)) * 0.5f;
        } else {
            float sum = 0.0f;
            for (int j = i - q; j < i; ++j) sum += T(j);
            knot = sum * (1.0f / static_cast<float>(q));
        }
        U[i] = knot;
    }
    // Moved so the drawn stretch, U[q] .. U[R + q], starts at 0.
    const float start = U[q];
    for (int i = 0; i < count; ++i) U[i] = U[i] - start;
    for (int k = 0; k < R; ++k) {
        sectionParameters[k] = v[k] >= start ? v[k] - start : (v[k] + 1.0f) - start;
    }
}

bool interpolateClosedLoft(float* P, int R, const float* Q, int dim, int p, const float* U,
                           const float* sectionParameters) {
    if (R < 1 || p < 0 || p >= R) return false;
    const int n = R + p - 1;  // last control point of the unclamped net
    // Rows in the order of their parameters, so the band runs down the diagonal.
    std::vector<int> order(static_cast<size_t>(R));
    for (int k = 0; k < R; ++k) order[static_cast<size_t>(k)] = k;
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return sectionParameters[a] < sectionParameters[b]; });
    const size_t width = static_cast<size_t>(p) + 1;
    const size_t stride = static_cast<size_t>(dim);
    std::vector<float> N(width);
    std::vector<float> values(static_cast<size_t>(R) * width);
    std::vector<BandRow> rows(static_cast<size_t>(R));
    // Unknown u is control point u + p: the right-hand sides go straight into those rows of P
    // and are solved in place.
    float* B = P + static_cast<size_t>(p) * stride;
    for (size_t i = 0; i < static_cast<size_t>(R); ++i) {
        const int k = order[i];
        const CollocationRow row = collocationRow(N, k, n, p, U, sectionParameters);
        if (row.count != p + 1 || row.first < 0) return false;
        float* stored = values.data() + i * width;
        for (size_t r = 0; r < width; ++r) {
            if (!std::isfinite(N[r])) return false;
            stored[r] = N[r];
        }
        // Control point c of the unclamped net is unknown (c - p) mod R: the first p control
        // points repeat as the last p, and the rows that reach them wrap to the right border.
        rows[i] = {row.first - p, row.count, stored};
        std::copy_n(Q + static_cast<size_t>(k) * stride, stride, B + i * stride);
    }
    if (!solveCyclicBandRows(rows, B, B, dim)) return false;
    // The first p control points repeat as the last p.
    std::copy_n(P + static_cast<size_t>(R) * stride, static_cast<size_t>(p) * stride, P);
    return true;
}

namespace {

// Parameters, knots and control points of the loft, or the reason there are none.
// netFinite: every float of s's net is known to be finite.
bool loftNet(const SurfaceModel& s, const LoftOptions& options, bool netFinite,
             std::vector<float>& result, std::vector<float>& knots, std::string& refusal) {
    const int R = s.countV;
    const int cols = s.knotCountU - s.orderU;
    const int order = s.orderV;
    const float* net = &s.controlNet[0].x;
    if (options.closed && R < 3) {
        refusal = "a closed loft needs at least three sections";
        return false;
    }
    std::vector<float> v(static_cast<size_t>(R));
    std::vector<float> chord;
    if (!loftParameters(net, cols, R, options, v.data(), chord)) {
        refusal = "all sections lie at the same place";
        return false;
    }
    for (int k = 1; k <= R; ++k) {
        if (k == R && !options.closed) break;
        const float next = k < R ? v[k] : 1.0f;
        if (!std::isfinite(next)) {
            refusal = "the sections lie too far apart to measure";
            return false;
        }
        if (!(next > v[k - 1])) {
            refusal = sameSectionsReason(k - 1, k % R);
            return false;
        }
    }
    // Uniform parameters measure nothing, so sections at the same place are looked for here.
    const int same = firstCoincidingSection(s.controlNet.data(), cols, R, options.closed);
    if (same >= 0) {
        refusal = sameSectionsReason(same - 1, same % R);
        return false;
    }

    const size_t rowFloats = 4 * static_cast<size_t>(cols);
    if (loftHasEndConditions(options)) {
        const LoftSections sections{net, cols, R, v.data(), &chord, netFinite};
        return loftNetWithEnds(sections, order, options, result, knots, refusal);
    }
    if (!options.closed) {
        knots.resize(static_cast<size_t>(R + order));
        averageKnots(v.data(), R, order, knots.data());
        result.resize(static_cast<size_t>(R) * rowFloats);
        if (!interpolateCurveBanded(result.data(), R - 1, net, 4 * cols, order - 1, knots.data(),
                                    v.data())) {
            refusal = "the sections give no interpolating surface";
            return false;
        }
        return true;
    }
    const int q = order - 1;
    knots.resize(static_cast<size_t>(R + 2 * q + 1));
    std::vector<float> sigma(static_cast<size_t>(R));
    closedLoftKnots(v.data(), R, order, knots.data(), sigma.data());
    result.resize(static_cast<size_t>(R + q) * rowFloats);
    if (!allFinite(knots.data(), knots.size()) ||
        !interpolateClosedLoft(result.data(), R, net, 4 * cols, q, knots.data(), sigma.data())) {
        refusal = "the sections give no closed interpolating surface";
        return false;
    }
    return true;
}

}  // namespace

bool skinSurface(const SurfaceModel& s, DerivedNets& derived, std::string& refusal) {
    return skinSurface(s, LoftOptions(), derived, refusal);
}

namespace {

bool skinSurfaceChecked(const SurfaceModel& s, const LoftOptions& options, DerivedNets& derived,
                        std::string& refusal) {
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
    if (!allFinite(net, s.controlNet.size() * 4)) {
        refusal = "the net holds numbers out of range";
        return false;
    }
    std::vector<float> result;
    std::vector<float> knots;
    int reference = -1;
    if (options.rational == LoftRational::compatible) {
        SurfaceModel cartesian = s;
        int bad = -1;
        reference = commonWeightSection(s.controlNet.data(), cols, R, bad);
        if (reference < 0) {
            char reason[160];
            snprintf(reason, sizeof reason,
                     "section %d has a weight of 0 or below, which compatible rational sections "
                     "cannot take",
                     bad);
            refusal = reason;
            return false;
        }
        // The Cartesian points are lofted apart from the weights, which are the reference
        // section's in every row: exactly those, whatever the elimination's rounding.
        for (PointH& P : cartesian.controlNet) {
            if (P.w != 1.0f) P = {P.x / P.w, P.y / P.w, P.z / P.w, 1.0f};
        }
        if (!loftNet(cartesian, options, false, result, knots, refusal)) return false;
    } else if (!loftNet(s, options, true, result, knots, refusal)) {
        return false;
    }
    if (!allFinite(result.data(), result.size())) {
        refusal = "the skinned net would leave the range of numbers";
        return false;
    }
    std::vector<PointH> skinned(result.size() / 4);
    std::memcpy(&skinned[0].x, result.data(), result.size() * sizeof(float));
    if (reference >= 0) {
        const PointH* common = s.controlNet.data() + static_cast<size_t>(reference) * cols;
        for (size_t i = 0; i < skinned.size(); ++i) {
            PointH& P = skinned[i];
            const float w = common[i % static_cast<size_t>(cols)].w;
            P = {P.x * w, P.y * w, P.z * w, w};
        }
    }
    // Interpolating homogeneous points can take a weight column through 0 between sections whose
    // weights differ: the surface would pass through infinity there.
    const int rows = static_cast<int>(skinned.size() / static_cast<size_t>(cols));
    WeightDip dip;
    if (!weightsStayPositive(skinned.data(), cols, rows,
                             s.knotsU.data(), s.orderU, knots.data(), order, dip)) {
        char where[160];
        snprintf(where, sizeof where,
                 dip.undecided ? "the loft's weights come too near 0 to be sure they stay above "
                                 "it (%.3g at u %.3g, v %.3g)"
                               : "the loft's weights fall to %.3g at u %.3g, v %.3g, where the "
                                 "surface runs off to infinity",
                 dip.weight, dip.u, dip.v);
        int bad = -1;
        commonWeightSection(s.controlNet.data(), cols, R, bad);
        std::vector<PointH> scratch;
        char reason[360];
        if (bad >= 0) {
            snprintf(reason, sizeof reason, "%s: section %d has a weight of 0 or below", where,
                     bad);
        } else if (options.rational == LoftRational::compatible ||
                   bringToCommonWeights(s.controlNet.data(), cols, R, 0, scratch) == 0) {
            snprintf(reason, sizeof reason,
                     "%s: at degree %d the interpolation loses the weights to rounding; lower "
                     "degree T%s",
                     where, order - 1,
                     options.rational == LoftRational::compatible
                         ? ""
                         : ", or choose rational sections: compatible");
        } else {
            snprintf(reason, sizeof reason,
                     "%s, as the sections' weights differ: choose rational sections: compatible "
                     "(skin --rational compatible)",
                     where);
        }
        refusal = reason;
        return false;
    }

    derived.skinnedNet.swap(skinned);
    derived.skinnedKnotsV.swap(knots);
    return true;
}

}  // namespace

bool skinSurface(const SurfaceModel& s, const LoftOptions& options, DerivedNets& derived,
                 std::string& refusal) {
    // The arrays are replaced only at the end, so a failed allocation leaves them as they were.
    try {
        return skinSurfaceChecked(s, options, derived, refusal);
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

bool computeSkinning(EditorState& state) {
    std::string refusal;
    if (!skinSurface(state.surface, loftOptionsOf(state.panel), state.derived, refusal)) {
        reportSkinningRefusal(state.panel, refusal);
        return false;
    }
    clearSkinningRefusal(state.panel);
    return true;
}

void skinningSwitched(EditorState& state) {
    if (state.panel.skinningEnabled == 0) {
        setStatusLinef(state.panel, "skinning off: the control net is drawn and saved");
    } else {
        setStatusLinef(state.panel, "skinning on: the surface passes through the sections");
    }
    computeSkinning(state);
    guiRefreshPanel();
    guiRedrawViews();
}

LoftOptions loftOptionsOf(const PanelVariables& panel) {
    LoftOptions options;
    if (panel.loftParameters == static_cast<int32_t>(LoftParameters::centripetal)) {
        options.parameters = LoftParameters::centripetal;
    } else if (panel.loftParameters == static_cast<int32_t>(LoftParameters::uniform)) {
        options.parameters = LoftParameters::uniform;
    }
    options.closed = panel.closedLoft != 0;
    options.start = panel.loftStart;
    options.end = panel.loftEnd;
    if (panel.rationalSections == static_cast<int32_t>(LoftRational::compatible)) {
        options.rational = LoftRational::compatible;
    }
    return options;
}

const char* loftParametersName(LoftParameters parameters) {
    switch (parameters) {
        case LoftParameters::centripetal:
            return "centripetal";
        case LoftParameters::uniform:
            return "uniform";
        case LoftParameters::chord:
            break;
    }
    return "chord";
}

bool parseLoftParameters(const char* text, LoftParameters& parameters) {
    for (LoftParameters candidate :
         {LoftParameters::chord, LoftParameters::centripetal, LoftParameters::uniform}) {
        if (text != nullptr && strcmp(text, loftParametersName(candidate)) == 0) {
            parameters = candidate;
            return true;
        }
    }
    return false;
}
