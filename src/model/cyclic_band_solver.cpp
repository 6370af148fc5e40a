// Elimination of a banded matrix with a dense right border: the wrapped corner of a cyclic band.
#include "model/cyclic_band_solver.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace {

// Columns 0 .. n - w - 1 are band columns, stored per row position j in the window
// j - kl .. j + kl + ku (LAPACK's band storage, which leaves room for the rows that partial
// pivoting moves up); columns n - w .. n - 1 are the border, stored densely for every row.
// Eliminating column k only adds multiples of the pivot row, whose band ends at most kl + ku
// past k and whose border is the border, so no entry ever falls outside these two stores.
struct BorderedBand {
    int n = 0;
    int kl = 0;
    int ku = 0;
    int w = 0;
    int width = 0;
    std::vector<float> band;
    std::vector<float> border;
    std::vector<int> lo;  // first band column that may be non-zero in the row at each position
    std::vector<int> hi;  // last band column that may be non-zero

    int firstBorder() const { return n - w; }
    float& at(int j, int c) {
        if (c >= n - w)
            return border[static_cast<size_t>(j) * w + static_cast<size_t>(c - (n - w))];
        return band[static_cast<size_t>(j) * width + static_cast<size_t>(c - j + kl)];
    }
    void swapRows(int a, int b, int fromColumn) {
        const int end = std::min(std::max(hi[a], hi[b]), n - w - 1);
        for (int c = fromColumn; c <= end; ++c) std::swap(at(a, c), at(b, c));
        for (int c = 0; c < w; ++c) {
            std::swap(border[static_cast<size_t>(a) * w + c],
                      border[static_cast<size_t>(b) * w + c]);
        }
        std::swap(lo[a], lo[b]);
        std::swap(hi[a], hi[b]);
    }
};

// Lays the rows out: the border takes every column a row wraps into and every column right of
// the band's reach that a wrapped row would otherwise drag into the band.
bool load(BorderedBand& A, const std::vector<BandRow>& rows) {
    const int n = static_cast<int>(rows.size());
    int w = 0;
    for (const BandRow& row : rows) {
        if (row.count < 1 || row.count > n || row.first >= n || row.first + row.count > n)
            return false;
        if (row.first < 0) w = std::max(w, -row.first);
    }
    if (w >= n) return false;
    A.n = n;
    A.w = w;
    A.lo.assign(static_cast<size_t>(n), 0);
    A.hi.assign(static_cast<size_t>(n), -1);
    const int bandColumns = n - w;
    int kl = 0, ku = 0;
    for (int i = 0; i < n; ++i) {
        const BandRow& row = rows[static_cast<size_t>(i)];
        const int first = std::max(row.first, 0);
        const int last = std::min(row.first + row.count - 1, bandColumns - 1);
        if (first <= last) {
            A.lo[i] = first;
            A.hi[i] = last;
            kl = std::max(kl, i - first);
            ku = std::max(ku, last - i);
        } else {
            A.lo[i] = bandColumns;  // only border values
        }
    }
    A.kl = kl;
    A.ku = ku;
    A.width = 2 * kl + ku + 1;
    A.band.assign(static_cast<size_t>(n) * A.width, 0.0f);
    A.border.assign(static_cast<size_t>(n) * w, 0.0f);
    for (int i = 0; i < n; ++i) {
        const BandRow& row = rows[static_cast<size_t>(i)];
        for (int r = 0; r < row.count; ++r) {
            const int column = (row.first + r + n) % n;
            if (!std::isfinite(row.values[r])) return false;
            A.at(i, column) = row.values[r];
        }
    }
    return true;
}

// As in the banded solver: GCC's -O2 vectorizes the element-wise loops over the right-hand
// sides only with the dynamic cost model; every float still goes through the same operations.
#if defined(__GNUC__) && !defined(__clang__)
#define VECTORIZE_LOOPS __attribute__((optimize("vect-cost-model=dynamic")))
#else
#define VECTORIZE_LOOPS
#endif

// rows[j] -= f * pivotRow, over nrhs floats.
VECTORIZE_LOOPS void subtractRow(float* __restrict row, const float* __restrict pivotRow, float f,
                                 size_t nrhs) {
    for (size_t j = 0; j < nrhs; ++j) row[j] = row[j] - f * pivotRow[j];
}

VECTORIZE_LOOPS void addProduct(float* __restrict sum, const float* __restrict x, float a,
                                size_t nrhs) {
    for (size_t j = 0; j < nrhs; ++j) sum[j] += a * x[j];
}

VECTORIZE_LOOPS void divideDifference(float* __restrict x, const float* __restrict b,
                                      const float* __restrict sum, float diagonal, size_t nrhs) {
    for (size_t j = 0; j < nrhs; ++j) x[j] = (b[j] - sum[j]) / diagonal;
}

}  // namespace

bool solveCyclicBandRows(const std::vector<BandRow>& rows, float* B, float* X, int nrhs) {
    if (rows.empty() || nrhs < 0) return false;
    BorderedBand A;
    if (!load(A, rows)) return false;
    const int n = A.n;
    const int borderStart = A.firstBorder();
    const size_t stride = static_cast<size_t>(nrhs);
    auto rhs = [&](float* base, int r) { return base + static_cast<size_t>(r) * stride; };

    for (int k = 0; k < n; ++k) {
        // Rows below k + kl have not reached a band column k yet; in the border every row may
        // hold a value.
        const int last = k >= borderStart ? n - 1 : std::min(n - 1, k + A.kl);
        auto holds = [&](int r) { return k >= borderStart || A.lo[r] <= k; };
        int pivot = k;
        float largest = 0.0f;
        for (int r = k; r <= last; ++r) {
            if (!holds(r)) continue;
            const float magnitude = std::fabs(A.at(r, k));
            if (magnitude > largest) {
                largest = magnitude;
                pivot = r;
            }
        }
        if (!(largest > 0.0f) || !std::isfinite(largest)) return false;
        if (pivot != k) {
            A.swapRows(k, pivot, k);
            std::swap_ranges(rhs(B, k), rhs(B, k) + stride, rhs(B, pivot));
        }
        const float diagonal = A.at(k, k);
        const int bandEnd = std::min(A.hi[k], borderStart - 1);
        const float* bk = rhs(B, k);
        for (int r = k + 1; r <= last; ++r) {
            if (!holds(r)) continue;
            const float f = A.at(r, k) / diagonal;
            if (!std::isfinite(f)) return false;
            if (f == 0.0f) continue;
            for (int c = k + 1; c <= bandEnd; ++c) A.at(r, c) = A.at(r, c) - f * A.at(k, c);
            for (int c = std::max(k + 1, borderStart); c < n; ++c)
                A.at(r, c) = A.at(r, c) - f * A.at(k, c);
            A.lo[r] = std::min(k + 1, borderStart);
            A.hi[r] = std::max(A.hi[r], bandEnd);
            subtractRow(rhs(B, r), bk, f, stride);
        }
    }

    std::vector<float> sums(stride);
    for (int i = n - 1; i >= 0; --i) {
        std::fill(sums.begin(), sums.end(), 0.0f);
        auto addTerm = [&](int c) {
            const float a = A.at(i, c);
            if (a == 0.0f) return;
            addProduct(sums.data(), rhs(X, c), a, stride);
        };
        for (int c = i + 1; c <= std::min(A.hi[i], borderStart - 1); ++c) addTerm(c);
        for (int c = std::max(i + 1, borderStart); c < n; ++c) addTerm(c);
        const float diagonal = A.at(i, i);
        divideDifference(rhs(X, i), rhs(B, i), sums.data(), diagonal, stride);
    }
    return true;
}
