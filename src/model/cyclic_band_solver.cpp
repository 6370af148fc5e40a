// Elimination of a cyclic banded matrix: centred without pivoting when that keeps the factors
// small, else with partial pivoting and the wrapped columns as a dense right border.
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

// The elimination with partial pivoting, for matrices the centred elimination below declines.
bool solvePivoting(const std::vector<BandRow>& rows, float* B, float* X, int nrhs) {
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

// ---------------------------------------------------------------------------------------------
// Elimination without pivoting of the centred band.
//
// The columns are turned by a shift so that the largest value of most rows lands on the
// diagonal; row i then holds columns i - kl .. i + ku, wrapping at both ends. The last m =
// max(kl, ku) unknowns are the border: rows 0 .. N - 1 (N = n - m) keep their values left of
// the border in band storage and those in the border columns in a dense n x m block; the m
// border rows are stored densely. Eliminating the N band columns fills only the border block
// and the border rows, and leaves their Schur complement in the m x m corner, eliminated last.
//
// Without pivoting the elimination is only taken when it is safe: no product f * a of a
// multiplier and a pivot row's value (the entries of |L| |U|) may exceed kGrowth times the
// largest magnitude of the matrix, which bounds the backward error of the factors as partial
// pivoting's growth does. The collocation matrix of a periodic B-spline at averaged knots
// stays far inside that bound (its rows are partitions of unity whose largest value sits near
// the diagonal); anything else goes to the pivoting elimination.
//
// The fill in the border block and the border rows shrinks geometrically away from the corners.
// Multipliers and border coefficients below 2^-30 of their pivot are left out of the work on
// the right-hand sides: each such term is far below a float's rounding of the row it would
// change, and leaving them out keeps the work near that of an open band.

constexpr float kNegligible = 1.0f / 1073741824.0f;  // 2^-30
constexpr float kGrowth = 16.0f;

struct CentredBand {
    int n = 0, N = 0, m = 0, kl = 0, ku = 0, width = 0;
    std::vector<float> band;    // N rows of width floats: column c of row i at c - i + kl
    std::vector<float> right;   // n rows of m floats: border columns
    std::vector<float> bottom;  // m rows of N floats: border rows left of the border

    float& at(int i, int c) {
        if (c >= N) return right[static_cast<size_t>(i) * m + static_cast<size_t>(c - N)];
        if (i >= N) return bottom[static_cast<size_t>(i - N) * N + static_cast<size_t>(c)];
        return band[static_cast<size_t>(i) * width + static_cast<size_t>(c - i + kl)];
    }
};

struct Update {
    int row;
    float f;
};

// The factors and the operations to replay on the right-hand sides.
struct CentredFactors {
    CentredBand A;
    int shift = 0;                    // unknown u of the rows is column (u + shift) mod n
    std::vector<size_t> updateStart;  // updates of step k: [updateStart[k], updateStart[k + 1])
    std::vector<Update> updates;
};

// The shift that puts the largest value of most rows on the diagonal.
int diagonalShift(const std::vector<BandRow>& rows) {
    const int n = static_cast<int>(rows.size());
    std::vector<int> shifts(rows.size());
    for (int i = 0; i < n; ++i) {
        const BandRow& row = rows[static_cast<size_t>(i)];
        int largest = 0;
        for (int r = 1; r < row.count; ++r) {
            if (std::fabs(row.values[r]) > std::fabs(row.values[largest])) largest = r;
        }
        shifts[static_cast<size_t>(i)] = (((i - row.first - largest) % n) + n) % n;
    }
    std::sort(shifts.begin(), shifts.end());
    int best = shifts[0], bestRun = 0;
    for (size_t a = 0; a < shifts.size();) {
        size_t b = a;
        while (b < shifts.size() && shifts[b] == shifts[a]) ++b;
        if (static_cast<int>(b - a) > bestRun) {
            bestRun = static_cast<int>(b - a);
            best = shifts[a];
        }
        a = b;
    }
    return best;
}

// Lays the rows out around the diagonal; false when the band is too wide for a border.
bool loadCentred(CentredFactors& F, const std::vector<BandRow>& rows) {
    const int n = static_cast<int>(rows.size());
    const int shift = diagonalShift(rows);
    // Row i's values start at column first + shift, moved by whole turns to lie next to i.
    std::vector<int> start(rows.size());
    int kl = 0, ku = 0;
    for (int i = 0; i < n; ++i) {
        const BandRow& row = rows[static_cast<size_t>(i)];
        int c0 = ((row.first + shift) % n + n) % n;
        if (c0 > i) c0 -= n;
        if (i - c0 > c0 + n + row.count - 1 - i) c0 += n;  // nearer from the other side
        start[static_cast<size_t>(i)] = c0;
        kl = std::max(kl, i - c0);
        ku = std::max(ku, c0 + row.count - 1 - i);
    }
    const int m = std::max(kl, ku);
    if (kl < 0 || ku < 0 || n < 2 * m + 2) return false;
    CentredBand& A = F.A;
    A.n = n;
    A.m = m;
    A.N = n - m;
    A.kl = kl;
    A.ku = ku;
    A.width = kl + ku + 1;
    A.band.assign(static_cast<size_t>(A.N) * A.width, 0.0f);
    A.right.assign(static_cast<size_t>(n) * m, 0.0f);
    A.bottom.assign(static_cast<size_t>(m) * A.N, 0.0f);
    for (int i = 0; i < n; ++i) {
        const BandRow& row = rows[static_cast<size_t>(i)];
        for (int r = 0; r < row.count; ++r) {
            if (!std::isfinite(row.values[r])) return false;
            A.at(i, ((start[static_cast<size_t>(i)] + r) % n + n) % n) = row.values[r];
        }
    }
    F.shift = shift;
    return true;
}

// Eliminates every column in order, the band's and then the corner's, each with the diagonal as
// pivot; false (and nothing replayed) as soon as a product f * a exceeds the growth allowed.
bool factorCentred(CentredFactors& F) {
    CentredBand& A = F.A;
    const int n = A.n, N = A.N, m = A.m;
    float largest = 0.0f;
    for (float a : A.band) largest = std::max(largest, std::fabs(a));
    for (float a : A.right) largest = std::max(largest, std::fabs(a));
    for (float a : A.bottom) largest = std::max(largest, std::fabs(a));
    const float limit = kGrowth * largest;
    F.updateStart.assign(static_cast<size_t>(n) + 1, 0);
    F.updates.clear();
    F.updates.reserve(static_cast<size_t>(N) * (A.kl + 2));
    for (int k = 0; k < n; ++k) {
        F.updateStart[static_cast<size_t>(k)] = F.updates.size();
        const float diagonal = A.at(k, k);
        if (!std::isfinite(diagonal) || diagonal == 0.0f) return false;
        const int bandEnd = std::min(k + A.ku, N - 1);
        const int borderFirst = std::max(k + 1, N) - N;  // border columns still to eliminate
        const float* pivotRight = A.right.data() + static_cast<size_t>(k) * m;
        auto eliminateRow = [&](int r) {
            const float value = A.at(r, k);
            if (value == 0.0f) return true;
            const float f = value / diagonal;
            if (!std::isfinite(f)) return false;
            float product = 0.0f;
            for (int c = k + 1; c <= bandEnd; ++c) {
                const float term = f * A.at(k, c);
                product = std::max(product, std::fabs(term));
                A.at(r, c) = A.at(r, c) - term;
            }
            float* rowRight = A.right.data() + static_cast<size_t>(r) * m;
            for (int j = borderFirst; j < m; ++j) {
                const float term = f * pivotRight[j];
                product = std::max(product, std::fabs(term));
                rowRight[j] = rowRight[j] - term;
            }
            if (!(product <= limit)) return false;
            if (std::fabs(f) > kNegligible) F.updates.push_back({r, f});
            return true;
        };
        for (int r = k + 1; r <= std::min(k + A.kl, N - 1); ++r) {
            if (!eliminateRow(r)) return false;
        }
        for (int r = std::max(k + 1, N); r < n; ++r) {
            if (!eliminateRow(r)) return false;
        }
    }
    F.updateStart[static_cast<size_t>(n)] = F.updates.size();
    return true;
}

VECTORIZE_LOOPS void scaleRow(float* __restrict row, float diagonal, size_t nrhs) {
    for (size_t j = 0; j < nrhs; ++j) row[j] = row[j] / diagonal;
}

// Replays the factors on B (n rows of nrhs floats) and back-substitutes in place: row u of B
// ends as the unknown of column u of the centred matrix.
void substituteCentred(CentredFactors& F, float* B, size_t stride) {
    CentredBand& A = F.A;
    const int n = A.n, N = A.N, m = A.m;
    auto row = [&](int r) { return B + static_cast<size_t>(r) * stride; };
    for (int k = 0; k < n; ++k) {
        for (size_t u = F.updateStart[static_cast<size_t>(k)];
             u < F.updateStart[static_cast<size_t>(k) + 1]; ++u) {
            subtractRow(row(F.updates[u].row), row(k), F.updates[u].f, stride);
        }
    }
    for (int i = n - 1; i >= 0; --i) {
        float* bi = row(i);
        const float* rightRow = A.right.data() + static_cast<size_t>(i) * m;
        const float diagonal = i >= N ? rightRow[i - N] : A.at(i, i);
        const float negligible = std::fabs(diagonal) * kNegligible;
        for (int j = std::max(i + 1, N) - N; j < m; ++j) {
            if (std::fabs(rightRow[j]) > negligible)
                subtractRow(bi, row(N + j), rightRow[j], stride);
        }
        if (i < N) {
            for (int c = i + 1; c <= std::min(i + A.ku, N - 1); ++c) {
                const float a = A.at(i, c);
                if (a != 0.0f) subtractRow(bi, row(c), a, stride);
            }
        }
        scaleRow(bi, diagonal, stride);
    }
}

}  // namespace

bool solveCyclicBandRows(const std::vector<BandRow>& rows, float* B, float* X, int nrhs) {
    if (rows.empty() || nrhs < 0) return false;
    const int n = static_cast<int>(rows.size());
    for (const BandRow& row : rows) {
        if (row.count < 1 || row.count > n || row.first >= n || row.first + row.count > n ||
            row.first <= -n)
            return false;
    }
    const size_t stride = static_cast<size_t>(nrhs);
    CentredFactors F;
    if (loadCentred(F, rows) && factorCentred(F)) {
        substituteCentred(F, B, stride);
        // Unknown u was solved as column (u + shift) mod n.
        const size_t floats = static_cast<size_t>(n) * stride;
        if (X != B) {
            for (int u = 0; u < n; ++u) {
                std::copy_n(B + static_cast<size_t>((u + F.shift) % n) * stride, stride,
                            X + static_cast<size_t>(u) * stride);
            }
        } else if (F.shift != 0) {
            std::rotate(B, B + static_cast<size_t>(F.shift) * stride, B + floats);
        }
        return true;
    }
    if (X != B) return solvePivoting(rows, B, X, nrhs);
    std::vector<float> solved(static_cast<size_t>(n) * stride);
    if (!solvePivoting(rows, B, solved.data(), nrhs)) return false;
    std::copy(solved.begin(), solved.end(), X);
    return true;
}
