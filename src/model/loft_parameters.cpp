// Section parameters of a loft and the averaged V knots through them.
#include "model/loft_parameters.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "model/two_threads.h"

float vectorNorm(const float* v, int n) {
    float sum = 0.0f;
    for (int i = 0; i < n; ++i) sum += v[i] * v[i];
    return std::sqrt(sum);
}

namespace {

// Rows of chord floats (rows times columns) from which the columns are measured on two threads.
constexpr size_t kSplitChords = size_t{1} << 15;

// measureChords for columns first .. end - 1.
void measureColumns(const float* net, int cols, int R, int K, bool centripetal, int first, int end,
                    float* chord, float* total) {
    const size_t rowFloats = 4 * static_cast<size_t>(cols);
    float difference[4];
    for (int t = first; t < end; ++t) {
        total[t] = 0.0f;
        for (int r = 1; r <= K; ++r) {
            const float* a = net + (r % R) * rowFloats + 4 * static_cast<size_t>(t);
            const float* b = net + (r - 1) * rowFloats + 4 * static_cast<size_t>(t);
            for (int c = 0; c < 4; ++c) difference[c] = a[c] - b[c];
            float length = vectorNorm(difference, 4);
            if (centripetal) length = std::sqrt(length);
            chord[static_cast<size_t>(r - 1) * cols + t] = length;
            total[t] += length;
        }
    }
}

// Chord lengths (or their square roots) between consecutive rows of every column:
// chord[(k - 1) * cols + t] = |G[k][t] - G[k-1][t]| for k = 1 .. K, row R being row 0 again.
// total[t] receives the sum of column t's chords, taken in order.
void measureChords(const float* net, int cols, int R, int K, bool centripetal, float* chord,
                   float* total) {
    // The columns are measured apart: many are split over two threads.
    if (static_cast<size_t>(cols) * static_cast<size_t>(K) >= kSplitChords) {
        const int half = cols / 2;
        runOnTwoThreads(2, [&](int part) {
            measureColumns(net, cols, R, K, centripetal, part == 0 ? 0 : half,
                           part == 0 ? half : cols, chord, total);
        });
    } else {
        measureColumns(net, cols, R, K, centripetal, 0, cols, chord, total);
    }
}

// v[1 .. last] from the rows of chords (rows(k - 1) from row k - 1 to row k, cols floats each)
// and their totals per column: in every column the chords are shared out over the column's
// total, and the shares are averaged over the columns.
template <typename Rows>
bool shareChords(Rows rows, const float* total, int cols, int last, float* v) {
    // A column whose point never moves has no chord length to share out; it is left out of
    // the average instead of dividing by zero.
    int used = 0;
    for (int t = 0; t < cols; ++t) used += total[t] != 0.0f ? 1 : 0;
    if (used == 0) return false;
    const float share = 1.0f / static_cast<float>(used);
    for (int k = 1; k <= last; ++k) {
        float sum = 0.0f;
        const float* chord = rows(k - 1);
        for (int t = 0; t < cols; ++t) {
            if (total[t] == 0.0f) continue;
            sum += chord[t] / total[t];
        }
        v[k] = v[k - 1] + share * sum;
    }
    return true;
}

// Parameters from the measured distances between consecutive sections (and, for a closed loft,
// from the last section back to the first). chord receives the measured chords, for
// loftParametersAround.
bool measuredParameters(const float* net, int cols, int R, bool closed, bool centripetal, float* v,
                        std::vector<float>& chord) {
    if (R < 1) return true;
    if (R == 1) {
        v[0] = 1.0f;
        return true;
    }
    v[0] = 0.0f;
    if (!closed) v[R - 1] = 1.0f;
    const int K = closed ? R : R - 1;  // chords measured
    chord.resize(static_cast<size_t>(K) * cols);
    std::vector<float> total(static_cast<size_t>(cols));
    measureChords(net, cols, R, K, centripetal, chord.data(), total.data());
    if (!closed && K < 2) return true;
    const float* chords = chord.data();
    auto rows = [chords, cols](int k) { return chords + static_cast<size_t>(k) * cols; };
    return shareChords(rows, total.data(), cols, closed ? R - 1 : K - 1, v);
}

bool uniformParameters(int R, bool closed, float* v) {
    if (R < 1) return true;
    if (R == 1) {
        v[0] = 1.0f;
        return true;
    }
    const float spans = static_cast<float>(closed ? R : R - 1);
    for (int k = 0; k < R; ++k) v[k] = static_cast<float>(k) / spans;
    if (!closed) v[R - 1] = 1.0f;
    return true;
}

}  // namespace

bool computeSectionParameters(const float* net, int cols, int R, float* v) {
    std::vector<float> chord;
    return measuredParameters(net, cols, R, false, false, v, chord);
}

bool loftParameters(const float* net, int cols, int R, const LoftOptions& options, float* v,
                    std::vector<float>& chord) {
    if (options.parameters != LoftParameters::uniform) {
        const bool centripetal = options.parameters == LoftParameters::centripetal;
        return measuredParameters(net, cols, R, options.closed, centripetal, v, chord);
    }
    return uniformParameters(R, options.closed, v);
}

bool computeLoftParameters(const float* net, int cols, int R, const LoftOptions& options,
                           float* v) {
    std::vector<float> chord;
    return loftParameters(net, cols, R, options, v, chord);
}

bool loftParametersAround(const float* before, const float* net, int cols, int R,
                          const float* after, const std::vector<float>& chord,
                          const LoftOptions& options, float* v) {
    const int P = R + (before != nullptr ? 1 : 0) + (after != nullptr ? 1 : 0);
    if (options.parameters == LoftParameters::uniform || P < 2) {
        return uniformParameters(P, false, v);
    }
    v[0] = 0.0f;
    v[P - 1] = 1.0f;
    if (P < 3) return true;
    const bool centripetal = options.parameters == LoftParameters::centripetal;
    const size_t rowFloats = 4 * static_cast<size_t>(cols);
    // The chords to and from the added rows, measured as rows of the net they stand beside.
    std::vector<float> pair(2 * rowFloats);
    std::vector<float> outer(2 * static_cast<size_t>(cols));
    std::vector<float> total(static_cast<size_t>(cols));
    float* beforeChord = outer.data();
    float* afterChord = outer.data() + cols;
    if (before != nullptr) {
        std::copy_n(before, rowFloats, pair.data());
        std::copy_n(net, rowFloats, pair.data() + rowFloats);
        measureChords(pair.data(), cols, 2, 1, centripetal, beforeChord, total.data());
    }
    if (after != nullptr) {
        std::copy_n(net + static_cast<size_t>(R - 1) * rowFloats, rowFloats, pair.data());
        std::copy_n(after, rowFloats, pair.data() + rowFloats);
        measureChords(pair.data(), cols, 2, 1, centripetal, afterChord, total.data());
    }
    // Each column's total adds its chords in order along the rows, as for one stacked net.
    const int shift = before != nullptr ? 1 : 0;
    for (int t = 0; t < cols; ++t) {
        float sum = before != nullptr ? beforeChord[t] : 0.0f;
        for (int k = 0; k + 1 < R; ++k) sum += chord[static_cast<size_t>(k) * cols + t];
        if (after != nullptr) sum += afterChord[t];
        total[t] = sum;
    }
    auto rows = [&](int k) {
        if (k < shift) return static_cast<const float*>(beforeChord);
        if (k - shift == R - 1) return static_cast<const float*>(afterChord);
        return chord.data() + static_cast<size_t>(k - shift) * cols;
    };
    return shareChords(rows, total.data(), cols, P - 2, v);
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
