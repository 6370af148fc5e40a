// Gaussian elimination of a banded matrix, shared by many right-hand sides, giving the floats
// of the dense reference elimination (solveLinearSystem).
#include "model/banded_solver.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "model/two_threads.h"

// It repeats the steps of solveLinearSystem and leaves out only operations whose result is known
// without doing them. Why the floats stay the same:
//  - Entries right of a row's last structural column are +0 and stay +0 (+0 - f * (+/-0) is +0),
//    so updates there and back-substitution terms W * x with them (+/-0 added to a sum that
//    started at +0 and so is never -0) change nothing.
//  - Entries left of a row's first column are never read again once their column is done.
//  - A row whose band has not reached the pivot column yet ("waiting") holds +0 there, can never
//    win the pivot search (it wants a strictly greater magnitude) and has its matrix entries
//    unchanged by the step: f = +0 / pivot, and x - (+/-0) is x for every x but -0 (a row that
//    holds a -0 is made to take part from the first step, see loadBand).
//    Its right-hand side gets b - (+0 / pivot) * b[k], which changes at most the sign of a zero:
//    -0 turns into +0 once any of these products is -0. Each right-hand side keeps that history
//    in one float z (starting at -0, z = z - (+0 / pivot) * b[k] at every step), and a waiting
//    row gets b = b + z when its band reaches the pivot column: exactly the reference's value,
//    -0 included.
// Rows live in fixed windows, as in LAPACK's band storage: with kl rows below and ku columns
// above the diagonal in A, partial pivoting keeps position j's entries within the columns
// j - kl .. j + kl + ku.

namespace {

struct BandMatrix {
    int n = 0;
    int kl = 0;
    int ku = 0;
    int width = 0;
    std::vector<float> data;
    std::vector<int> lo;  // first structural column of the row at each position
    std::vector<int> hi;  // last structural column

    void shape(int size, int below, int above) {
        n = size;
        kl = below;
        ku = above;
        width = 2 * kl + ku + 1;
        data.assign(static_cast<size_t>(n) * static_cast<size_t>(width), 0.0f);
        lo.assign(static_cast<size_t>(n), 0);
        hi.assign(static_cast<size_t>(n), -1);
    }
    float& at(int j, int c) {
        return data[static_cast<size_t>(j) * width + static_cast<size_t>(c - j + kl)];
    }
    float at(int j, int c) const {
        return data[static_cast<size_t>(j) * width + static_cast<size_t>(c - j + kl)];
    }
};

// The operations the elimination applied, to be replayed on the right-hand sides.
struct Elimination {
    struct Update {
        int row;
        float f;
    };
    std::vector<int> pivot;           // row swapped with row k at step k
    std::vector<float> zeroProduct;   // +0 / pivot of step k
    std::vector<size_t> updateStart;  // updates of step k: [updateStart[k], updateStart[k+1])
    std::vector<Update> updates;
    std::vector<size_t> wakeStart;  // rows whose band reaches column k, before its swap
    std::vector<int> wakes;
    std::vector<int> wakeAtEnd;  // rows still waiting after the last step
    int lastWakeStep = -1;
};

inline bool isPositiveZero(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits == 0u;
}

// Eliminates W in place (0-based steps k = 0 .. n-2) and records what the right-hand sides need.
bool eliminate(BandMatrix& W, Elimination& e) {
    const int n = W.n;
    std::vector<char> awake(static_cast<size_t>(n), 0);
    e.pivot.assign(static_cast<size_t>(std::max(n - 1, 0)), 0);
    e.zeroProduct.assign(e.pivot.size(), 0.0f);
    e.updateStart.assign(e.pivot.size() + 1, 0);
    e.wakeStart.assign(e.pivot.size() + 1, 0);
    for (int k = 0; k + 1 < n; ++k) {
        const int last = std::min(n - 1, k + W.kl);
        e.wakeStart[k] = e.wakes.size();
        for (int j = k; j <= last; ++j) {
            if (awake[j] || W.lo[j] > k) continue;
            awake[j] = 1;
            if (k > 0) {
                e.wakes.push_back(j);
                e.lastWakeStep = k;
            }
        }
        int pivot = k;
        float largest = 0.0f;
        for (int r = k; r <= last; ++r) {
            if (W.lo[r] > k) continue;  // holds +0 in column k
            const float magnitude = std::fabs(W.at(r, k));
            if (magnitude > largest) {
                largest = magnitude;
                pivot = r;
            }
        }
        if (!(largest > 0.0f) || !std::isfinite(largest)) return false;
        if (pivot != k) {
            const int end = std::max(W.hi[k], W.hi[pivot]);
            for (int s = k; s <= end; ++s) std::swap(W.at(k, s), W.at(pivot, s));
            std::swap(W.lo[k], W.lo[pivot]);
            std::swap(W.hi[k], W.hi[pivot]);
            std::swap(awake[k], awake[pivot]);
        }
        e.pivot[k] = pivot;
        const float diagonal = W.at(k, k);
        e.zeroProduct[k] = 0.0f / diagonal;
        e.updateStart[k] = e.updates.size();
        for (int r = k + 1; r <= last; ++r) {
            if (W.lo[r] > k) continue;
            const float f = W.at(r, k) / diagonal;
            if (!std::isfinite(f)) return false;
            const int end = std::max(W.hi[r], W.hi[k]);
            for (int s = k + 1; s <= end; ++s) W.at(r, s) = W.at(r, s) - f * W.at(k, s);
            W.lo[r] = k + 1;
            W.hi[r] = end;
            if (end < k + 1) return false;  // nothing left in the row: singular
            e.updates.push_back({r, f});
        }
    }
    e.updateStart[e.pivot.size()] = e.updates.size();
    e.wakeStart[e.pivot.size()] = e.wakes.size();
    for (int j = 0; j < n; ++j) {
        if (!awake[j] && n > 1) e.wakeAtEnd.push_back(j);
    }
    const int d = n - 1;
    if (W.lo[d] > d || W.hi[d] < d) return false;
    const float diagonal = W.at(d, d);
    return diagonal != 0.0f && std::isfinite(diagonal);
}

// GCC's -O2 vectorizes only loops whose trip count it knows. The loops over the right-hand sides
// below are element-wise (every float goes through the same operations in the same order, with
// no sum across elements), so vector code gives the same floats, about twice as fast.
#if defined(__GNUC__) && !defined(__clang__)
#define VECTORIZE_LOOPS __attribute__((optimize("vect-cost-model=dynamic")))
#else
#define VECTORIZE_LOOPS
#endif

// Right-hand side floats (rows times right-hand sides) from which the substitution is split over
// two threads: below it, starting a thread costs more than half the work.
constexpr size_t kSplitSubstitution = size_t{1} << 17;

// Replays the elimination on right-hand sides first .. end - 1 of the nrhs in B and
// back-substitutes them into X.
VECTORIZE_LOOPS void substitute(const BandMatrix& W, const Elimination& e, float* __restrict B,
                                float* __restrict X, int nrhs, size_t first, size_t end) {
    const int n = W.n;
    const size_t stride = end - first;  // the floats of a row worked on
    const size_t rowStride = static_cast<size_t>(nrhs);
    std::vector<float> zHistory(stride, -0.0f);
    float* __restrict z = zHistory.data();
    auto row = [&](float* base, int r) {
        return base + static_cast<size_t>(r) * rowStride + first;
    };
    auto wake = [&](int r) {
        float* __restrict b = row(B, r);
        for (size_t j = 0; j < stride; ++j) b[j] = b[j] + z[j];
    };
    for (int k = 0; k + 1 < n; ++k) {
        for (size_t w = e.wakeStart[k]; w < e.wakeStart[k + 1]; ++w) wake(e.wakes[w]);
        const int pivot = e.pivot[k];
        if (pivot != k) std::swap_ranges(row(B, k), row(B, k) + stride, row(B, pivot));
        const float* __restrict bk = row(B, k);
        for (size_t u = e.updateStart[k]; u < e.updateStart[k + 1]; ++u) {
            const float f = e.updates[u].f;
            float* __restrict br = row(B, e.updates[u].row);
            for (size_t j = 0; j < stride; ++j) br[j] = br[j] - f * bk[j];
        }
        // The history only matters to rows that still wait for their band.
        if (k < e.lastWakeStep || !e.wakeAtEnd.empty()) {
            const float zero = e.zeroProduct[k];
            for (size_t j = 0; j < stride; ++j) z[j] = z[j] - zero * bk[j];
        }
    }
    for (int r : e.wakeAtEnd) wake(r);

    std::vector<float> sums(stride);
    float* __restrict sum = sums.data();
    for (int i = n - 1; i >= 0; --i) {
        std::fill(sums.begin(), sums.end(), 0.0f);
        for (int s = i + 1; s <= W.hi[i]; ++s) {
            const float w = W.at(i, s);
            const float* __restrict xs = row(X, s);
            for (size_t j = 0; j < stride; ++j) sum[j] += w * xs[j];
        }
        const float diagonal = W.at(i, i);
        const float* __restrict bi = row(B, i);
        float* __restrict xi = row(X, i);
        for (size_t j = 0; j < stride; ++j) xi[j] = (bi[j] - sum[j]) / diagonal;
    }
}

}  // namespace

namespace {

// Loads the rows into W. A row that holds a -0 is treated as reaching column 0, so it takes part
// in every step exactly as in solveLinearSystem: the zero-sign bookkeeping of waiting rows
// relies on their entries being +0 or non-zero.
void loadBand(BandMatrix& W, const std::vector<BandRow>& rows) {
    const int n = static_cast<int>(rows.size());
    std::vector<int> lo(rows.size());
    int kl = 0, ku = 0;
    for (int i = 0; i < n; ++i) {
        const BandRow& row = rows[i];
        lo[i] = row.first;
        for (int c = 0; c < row.count; ++c) {
            if (row.values[c] == 0.0f && !isPositiveZero(row.values[c])) lo[i] = 0;
        }
        kl = std::max(kl, i - lo[i]);
        ku = std::max(ku, row.first + row.count - 1 - i);
    }
    W.shape(n, kl, ku);
    for (int i = 0; i < n; ++i) {
        W.lo[i] = lo[i];
        W.hi[i] = rows[i].first + rows[i].count - 1;
        for (int c = 0; c < rows[i].count; ++c) W.at(i, rows[i].first + c) = rows[i].values[c];
    }
}

}  // namespace

bool solveBandRows(const std::vector<BandRow>& rows, float* B, float* X, int nrhs) {
    if (rows.empty()) return false;
    BandMatrix W;
    loadBand(W, rows);
    Elimination e;
    if (!eliminate(W, e)) return false;
    // The right-hand sides are independent: many are split over two threads, each replaying
    // the same operations on its own. The split falls on a multiple of 16 sides, so fewer than
    // 32 stay on one thread (a second one would get none).
    const size_t count = static_cast<size_t>(nrhs);
    const size_t half = count / 2 / 16 * 16;
    if (static_cast<size_t>(W.n) * count < kSplitSubstitution || half == 0) {
        substitute(W, e, B, X, nrhs, 0, count);
    } else {
        runOnTwoThreads(2, [&](int part) {
            substitute(W, e, B, X, nrhs, part == 0 ? 0 : half, part == 0 ? half : count);
        });
    }
    return true;
}

bool solveBanded(const float* A, float* B, float* X, int n, int nrhs) {
    if (n < 1) return false;
    const size_t N = static_cast<size_t>(n);
    std::vector<BandRow> rows(N);
    for (size_t i = 0; i < N; ++i) {
        const float* a = A + i * N;
        int first = -1, last = -1;
        for (int c = 0; c < n; ++c) {
            if (!std::isfinite(a[c])) return false;
            if (isPositiveZero(a[c])) continue;
            if (first < 0) first = c;
            last = c;
        }
        if (first < 0) return false;  // a row of zeros
        rows[i] = {first, last - first + 1, a + first};
    }
    return solveBandRows(rows, B, X, nrhs);
}
