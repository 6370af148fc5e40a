// The weight function's sign: Bezier extraction by knot insertion, then halving of the patches
// whose coefficients do not settle it.
#include "model/weight_function.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace {

// A B-spline of degree p in one parameter with dim numbers per coefficient.
struct Spline {
    int p = 0;
    int dim = 1;
    std::vector<double> knots;
    std::vector<double> coefficients;  // (knots.size() - p - 1) x dim
};

// One Bezier piece of a Spline: the parameters it covers and its p + 1 coefficients.
struct Piece {
    double t0 = 0.0;
    double t1 = 0.0;
    std::vector<double> coefficients;  // (p + 1) x dim
};

int multiplicity(const std::vector<double>& knots, double t) {
    return static_cast<int>(std::count(knots.begin(), knots.end(), t));
}

// Inserts t once (The NURBS Book, A5.1, one insertion). t lies in the spline's range and
// already appears fewer than p times, so a knot above it follows.
void insertKnot(Spline& s, double t) {
    const std::vector<double>& U = s.knots;
    const int k = static_cast<int>(std::upper_bound(U.begin(), U.end(), t) - U.begin()) - 1;
    const int m = multiplicity(U, t);
    const int count = static_cast<int>(U.size()) - s.p - 1;
    const size_t dim = static_cast<size_t>(s.dim);
    std::vector<double> Q((static_cast<size_t>(count) + 1) * dim);
    for (int i = 0; i <= count; ++i) {
        double* q = Q.data() + static_cast<size_t>(i) * dim;
        const double* P = s.coefficients.data();
        if (i <= k - s.p) {
            std::copy_n(P + static_cast<size_t>(i) * dim, dim, q);
        } else if (i >= k - m + 1) {
            std::copy_n(P + static_cast<size_t>(i - 1) * dim, dim, q);
        } else {
            const double alpha = (t - U[i]) / (U[i + s.p] - U[i]);
            for (size_t d = 0; d < dim; ++d) {
                q[d] = alpha * P[static_cast<size_t>(i) * dim + d] +
                       (1.0 - alpha) * P[static_cast<size_t>(i - 1) * dim + d];
            }
        }
    }
    s.coefficients.swap(Q);
    s.knots.insert(s.knots.begin() + k + 1, t);
}

// The Bezier pieces of s over its range [U[p], U[count]]: every knot of the range is inserted
// until it appears p times, after which span k is the Bezier curve of coefficients k - p .. k.
std::vector<Piece> bezierPieces(Spline s) {
    const int count = static_cast<int>(s.knots.size()) - s.p - 1;
    const double a = s.knots[static_cast<size_t>(s.p)];
    const double b = s.knots[static_cast<size_t>(count)];
    std::vector<double> values;
    for (double t : s.knots) {
        if (t >= a && t <= b && (values.empty() || values.back() != t)) values.push_back(t);
    }
    for (double t : values) {
        while (multiplicity(s.knots, t) < s.p) insertKnot(s, t);
    }
    std::vector<Piece> pieces;
    const size_t dim = static_cast<size_t>(s.dim);
    const size_t width = (static_cast<size_t>(s.p) + 1) * dim;
    for (size_t k = static_cast<size_t>(s.p); k + 1 < s.knots.size(); ++k) {
        const double t0 = s.knots[k], t1 = s.knots[k + 1];
        if (!(t0 < t1) || t0 < a || t1 > b) continue;
        Piece piece;
        piece.t0 = t0;
        piece.t1 = t1;
        const double* first = s.coefficients.data() + (k - static_cast<size_t>(s.p)) * dim;
        piece.coefficients.assign(first, first + width);
        pieces.push_back(std::move(piece));
    }
    return pieces;
}

// A Bezier patch of the weight function: (pv + 1) x (pu + 1) coefficients, row i in v.
struct Patch {
    double u0, u1, v0, v1;
    int depth;
    std::vector<double> c;
};

// Halves a Bezier patch at the middle of u (alongU) or of v by de Casteljau's construction.
void halve(const Patch& in, int pu, int pv, bool alongU, Patch& low, Patch& high) {
    low = in;
    high = in;
    const int rows = pv + 1, cols = pu + 1;
    const int lines = alongU ? rows : cols;
    const int degree = alongU ? pu : pv;
    std::vector<double> work(static_cast<size_t>(degree) + 1);
    for (int line = 0; line < lines; ++line) {
        auto at = [&](int j) {
            return static_cast<size_t>(alongU ? line * cols + j : j * cols + line);
        };
        for (int j = 0; j <= degree; ++j) work[static_cast<size_t>(j)] = in.c[at(j)];
        low.c[at(0)] = work[0];
        high.c[at(degree)] = work[static_cast<size_t>(degree)];
        for (int r = 1; r <= degree; ++r) {
            for (int j = 0; j + r <= degree; ++j) {
                work[static_cast<size_t>(j)] =
                    0.5 * (work[static_cast<size_t>(j)] + work[static_cast<size_t>(j) + 1]);
            }
            low.c[at(r)] = work[0];
            high.c[at(degree - r)] = work[static_cast<size_t>(degree - r)];
        }
    }
    if (alongU) {
        low.u1 = high.u0 = 0.5 * (in.u0 + in.u1);
    } else {
        low.v1 = high.v0 = 0.5 * (in.v0 + in.v1);
    }
}

constexpr int kMostHalvings = 12;
// Work (about one multiplication a unit) the search may take before it gives up and counts the
// function as reaching 0: a weight function that runs along 0 for a long way, or of a high
// degree with many coefficients below 0, is not worth a longer wait on the GUI thread.
constexpr double kMostWork = 2e8;

// The local B-spline of span k (U[k] < U[k+1]) of a spline of degree p: its p + 1 coefficients
// k - p .. k (`dim` numbers each, from `at`) on the knots U[k - p .. k + p + 1], whose range is
// exactly that span.
template <typename Coefficient>
Spline localSpline(const float* U, int k, int p, int dim, Coefficient at) {
    Spline s;
    s.p = p;
    s.dim = dim;
    s.knots.assign(U + (k - p), U + (k + p + 2));
    s.coefficients.resize((static_cast<size_t>(p) + 1) * static_cast<size_t>(dim));
    for (int i = 0; i <= p; ++i) {
        for (int d = 0; d < dim; ++d) {
            s.coefficients[static_cast<size_t>(i) * dim + d] = at(k - p + i, d);
        }
    }
    return s;
}

// Halves patches until each is proven above 0 or shows a value at or below 0; false with the
// place in dip otherwise (or when the work runs out).
bool patchStaysPositive(Patch first, int pu, int pv, double& work, WeightDip& dip) {
    std::vector<Patch> stack;
    stack.push_back(std::move(first));
    const size_t cols1 = static_cast<size_t>(pu) + 1;
    const size_t last = static_cast<size_t>(pv) * cols1;
    const double halving = static_cast<double>(cols1) * (pv + 1) * (pu + pv + 2);
    while (!stack.empty()) {
        Patch patch = std::move(stack.back());
        stack.pop_back();
        // The corners are values of the function itself.
        const double corners[4][3] = {{patch.u0, patch.v0, patch.c[0]},
                                      {patch.u1, patch.v0, patch.c[cols1 - 1]},
                                      {patch.u0, patch.v1, patch.c[last]},
                                      {patch.u1, patch.v1, patch.c[last + cols1 - 1]}};
        const double* lowest = corners[0];
        for (const double* corner : corners) {
            if (!(corner[2] > 0.0)) {
                dip = {corner[0], corner[1], corner[2], false};
                return false;
            }
            if (corner[2] < lowest[2]) lowest = corner;
        }
        if (*std::min_element(patch.c.begin(), patch.c.end()) > 0.0) continue;
        work += 2.0 * halving;
        if (patch.depth >= kMostHalvings || work > kMostWork) {
            dip = {lowest[0], lowest[1], lowest[2], true};
            return false;
        }
        Patch low, high, quarters[4];
        halve(patch, pu, pv, true, low, high);
        halve(low, pu, pv, false, quarters[0], quarters[1]);
        halve(high, pu, pv, false, quarters[2], quarters[3]);
        for (Patch& quarter : quarters) {
            quarter.depth = patch.depth + 1;
            stack.push_back(std::move(quarter));
        }
    }
    return true;
}

}  // namespace

bool weightsStayPositive(const PointH* net, int cols, int rows, const float* knotsU, int orderU,
                         const float* knotsV, int orderV, WeightDip& dip) {
    const size_t points = static_cast<size_t>(cols) * static_cast<size_t>(rows);
    bool allAbove = true;
    for (size_t i = 0; i < points && allAbove; ++i) allAbove = net[i].w > 0.0f;
    if (allAbove) return true;

    const int pu = orderU - 1, pv = orderV - 1;
    // Knot insertion needs knots that never decrease; without them nothing is proven.
    if (!std::is_sorted(knotsU, knotsU + cols + orderU) ||
        !std::is_sorted(knotsV, knotsV + rows + orderV)) {
        dip = {knotsU[pu], knotsV[pv], 0.0, true};
        return false;
    }
    auto weight = [&](int r, int t) {
        return static_cast<double>(net[static_cast<size_t>(r) * cols + t].w);
    };
    double work = 0.0;
    const double extraction = static_cast<double>(pu + 1) * (pv + 1) * (pu + pv + 2) * 2.0;
    // Span by span of the range: the function there depends on (pu + 1) x (pv + 1) weights
    // only, and where they are all above 0 so is the function.
    for (int kv = pv; kv < rows; ++kv) {
        if (!(knotsV[kv] < knotsV[kv + 1])) continue;
        for (int ku = pu; ku < cols; ++ku) {
            if (!(knotsU[ku] < knotsU[ku + 1])) continue;
            bool settled = true;
            for (int r = kv - pv; r <= kv && settled; ++r) {
                for (int t = ku - pu; t <= ku && settled; ++t) settled = weight(r, t) > 0.0;
            }
            if (settled) continue;
            work += extraction;
            if (work > kMostWork) {
                dip = {knotsU[ku], knotsV[kv], weight(kv, ku), true};
                return false;
            }
            // In u: pu + 1 coefficients holding pv + 1 weights each, cut to one Bezier piece.
            const Spline alongU = localSpline(knotsU, ku, pu, pv + 1, [&](int t, int j) {
                return weight(kv - pv + j, t);
            });
            const Piece pieceU = bezierPieces(alongU).front();
            // In v: pv + 1 coefficients holding the piece's pu + 1 weights each.
            const Spline alongV = localSpline(knotsV, kv, pv, pu + 1, [&](int r, int j) {
                return pieceU.coefficients[static_cast<size_t>(j) * (pv + 1) + (r - kv + pv)];
            });
            Piece pieceV = bezierPieces(alongV).front();
            Patch patch{pieceU.t0, pieceU.t1, pieceV.t0, pieceV.t1, 0,
                        std::move(pieceV.coefficients)};
            if (!patchStaysPositive(std::move(patch), pu, pv, work, dip)) return false;
        }
    }
    return true;
}
