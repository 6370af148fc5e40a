// Skinning: section parameters, averaged knots, the two solvers (reference and banded, bit for
// bit), a skinned surface that passes through every section, and refusals on degenerate nets.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "model/derived_nets.h"
#include "model/editor_state.h"
#include "model/gui_hooks.h"
#include "model/knots.h"
#include "model/skinning.h"
#include "support/scratch_files.h"
#include "support/state_text.h"

namespace {

using testsupport::EditorScope;

// Loads a countU x countV surface with uniform knots and the given net (section-major).
void loadSurface(int countU, int countV, int orderU, int orderV, std::vector<PointH> net) {
    editor = EditorState();
    editor.surface.countU = countU;
    editor.surface.countV = countV;
    editor.surface.orderU = orderU;
    editor.surface.orderV = orderV;
    editor.surface.knotCountU = countU + orderU;
    editor.surface.knotCountV = countV + orderV;
    generateUniformKnots(editor.surface, 1);
    generateUniformKnots(editor.surface, 2);
    editor.surface.controlNet = std::move(net);
    editor.derived.multiplicity = 1;
}

// A curved net whose sections are unevenly spaced, turned a little each time, with unequal
// weights; seed varies the shape.
std::vector<PointH> wavyNet(int countU, int countV, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> jitter(-0.2f, 0.2f);
    std::uniform_real_distribution<float> weight(0.5f, 2.0f);
    std::vector<PointH> net;
    float z = 0.0f;
    for (int s = 0; s < countV; ++s) {
        z += 0.5f + static_cast<float>((s * 7) % 5) * 0.3f;
        for (int j = 0; j < countU; ++j) {
            const float a = 6.2831853f * static_cast<float>(j) / static_cast<float>(countU);
            const float r = 1.0f + 0.3f * std::sin(static_cast<float>(s)) + jitter(random);
            const float w = weight(random);
            net.push_back({r * std::cos(a + 0.1f * s) * w, r * std::sin(a + 0.1f * s) * w,
                           (z + jitter(random)) * w, w});
        }
    }
    return net;
}

// The Cartesian point of section k's curve (knotsU, orderU) at u.
void sectionPoint(const std::vector<PointH>& net, int k, float u, float out[3]) {
    const int n = editor.surface.countU - 1;
    const int p = editor.surface.orderU - 1;
    const int span = findKnotSpan(n, p, u, editor.surface.knotsU.data());
    std::vector<float> N(static_cast<size_t>(p) + 1);
    evaluateBasis(N.data(), span, u, p, editor.surface.knotsU.data());
    double sum[4] = {0, 0, 0, 0};
    for (int r = 0; r <= p; ++r) {
        const PointH& P = net[static_cast<size_t>(k) * editor.surface.countU + span - p - 1 + r];
        sum[0] += N[r] * P.x;
        sum[1] += N[r] * P.y;
        sum[2] += N[r] * P.z;
        sum[3] += N[r] * P.w;
    }
    for (int c = 0; c < 3; ++c) out[c] = static_cast<float>(sum[c] / sum[3]);
}

std::vector<float> parametersOf(const std::vector<PointH>& net, int cols, int R) {
    std::vector<float> v(static_cast<size_t>(R), -1.0f);
    EXPECT_TRUE(computeSectionParameters(&net[0].x, cols, R, v.data()));
    return v;
}

// A section of two points translated by offset; weight w multiplies every stored number.
void addSection(std::vector<PointH>& net, float offset, float w = 1.0f) {
    net.push_back({(0.0f + offset) * w, 1.0f * w, 0.0f, w});
    net.push_back({(2.0f + offset) * w, 0.0f, 1.0f * w, w});
}

bool sameBits(const float* a, const float* b, size_t count) {
    return std::memcmp(a, b, count * sizeof(float)) == 0;
}

bool allFinite(const std::vector<PointH>& net) {
    for (const PointH& p : net) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z) ||
            !std::isfinite(p.w)) {
            return false;
        }
    }
    return true;
}

// --- Section parameters ------------------------------------------------------------------

TEST(SectionParameters, ChordLengthsOfTranslatedSections) {
    std::vector<PointH> net;
    addSection(net, 0.0f);
    addSection(net, 1.0f);
    addSection(net, 4.0f);  // chords 1 and 3 in every column
    EXPECT_EQ(parametersOf(net, 2, 3), (std::vector<float>{0, 0.25f, 1}));
}

TEST(SectionParameters, AveragedOverTheColumns) {
    // Column 0 has chords 1 and 1, column 1 chords 1 and 3: v1 = (1/2 + 1/4) / 2.
    const std::vector<PointH> net = {{0, 0, 0, 1}, {5, 0, 0, 1}, {0, 1, 0, 1},
                                     {5, 1, 0, 1}, {0, 2, 0, 1}, {5, 4, 0, 1}};
    EXPECT_EQ(parametersOf(net, 2, 3), (std::vector<float>{0, 0.375f, 1}));
}

TEST(SectionParameters, ScalingEveryStoredNumberKeepsTheParameters) {
    std::vector<PointH> net;
    std::vector<PointH> scaled;
    const float offsets[] = {0.0f, 1.0f, 1.5f, 4.0f};
    for (float offset : offsets) {
        addSection(net, offset);
        addSection(scaled, offset, 4.0f);
    }
    EXPECT_EQ(parametersOf(net, 2, 4), parametersOf(scaled, 2, 4));
}

TEST(SectionParameters, AColumnThatNeverMovesIsLeftOutOfTheAverage) {
    // Column 1 is the same point in every section (an apex): no chord length of its own.
    const std::vector<PointH> net = {{0, 0, 0, 1}, {9, 9, 9, 1}, {0, 1, 0, 1},
                                     {9, 9, 9, 1}, {0, 4, 0, 1}, {9, 9, 9, 1}};
    EXPECT_EQ(parametersOf(net, 2, 3), (std::vector<float>{0, 0.25f, 1}));
}

TEST(SectionParameters, FewSectionsNeedNoChords) {
    std::vector<PointH> same = {{1, 2, 3, 1}, {1, 2, 3, 1}};
    EXPECT_EQ(parametersOf(same, 1, 1), (std::vector<float>{1}));
    EXPECT_EQ(parametersOf(same, 1, 2), (std::vector<float>{0, 1}));
    same.push_back(same[0]);
    std::vector<float> v(3);
    EXPECT_FALSE(computeSectionParameters(&same[0].x, 1, 3, v.data()));  // all coincide
}

// --- Knots ---------------------------------------------------------------------------------

struct KnotCase {
    std::vector<float> v;
    int order;
    std::vector<float> knots;
};
void PrintTo(const KnotCase& c, std::ostream* os) {
    *os << c.v.size() << " parameters, order " << c.order;
}

class AveragedKnots : public ::testing::TestWithParam<KnotCase> {};

TEST_P(AveragedKnots, AverageConsecutiveParameters) {
    const KnotCase& c = GetParam();
    const int R = static_cast<int>(c.v.size());
    std::vector<float> V(static_cast<size_t>(R + c.order), -1.0f);
    averageKnots(c.v.data(), R, c.order, V.data());
    EXPECT_EQ(V, c.knots);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AveragedKnots,
    ::testing::Values(
        KnotCase{{0, 0.25f, 0.5f, 0.75f, 1}, 3, {0, 0, 0, 0.375f, 0.625f, 1, 1, 1}},
        // Degree 1: the knots are the parameters themselves.
        KnotCase{{0, 0.25f, 0.5f, 0.75f, 1}, 2, {0, 0, 0.25f, 0.5f, 0.75f, 1, 1}},
        KnotCase{{0, 0.5f, 1}, 3, {0, 0, 0, 1, 1, 1}},
        KnotCase{{0, 0.1f, 0.4f, 0.7f, 0.8f, 1},
                 4,
                 {0, 0, 0, 0, (1.0f / 3.0f) * (0.1f + 0.4f + 0.7f),
                  (1.0f / 3.0f) * (0.4f + 0.7f + 0.8f), 1, 1, 1, 1}},
        // Degree 0: each section owns the stretch halfway to its neighbours, never 0 / 0.
        KnotCase{{0, 0.25f, 1}, 1, {0, 0.125f, 0.625f, 1}}, KnotCase{{1}, 1, {0, 1}}));

// --- The two solvers -------------------------------------------------------------------------

// Every float of a net given by the banded path equals, bit for bit, the reference path's.
struct PathCase {
    int countU;
    int countV;
    int orderU;
    int orderV;
    unsigned seed;
};
void PrintTo(const PathCase& c, std::ostream* os) {
    *os << c.countU << " x " << c.countV << ", orders " << c.orderU << " x " << c.orderV;
}

class SolverPaths : public ::testing::TestWithParam<PathCase> {};

TEST_P(SolverPaths, BandedSkinningGivesTheReferenceBits) {
    const PathCase& c = GetParam();
    std::vector<PointH> net = wavyNet(c.countU, c.countV, c.seed);
    // Zeros of both signs and negative neighbours: a -0 on the right-hand side changes sign
    // in the reference elimination, which the banded one must reproduce.
    for (size_t i = 0; i < net.size(); i += 3) net[i].z = (i / 3) % 2 ? -0.0f : 0.0f;
    for (size_t i = 1; i < net.size(); i += 5) net[i].y = -0.0f;
    const float* q = &net[0].x;
    std::vector<float> v(static_cast<size_t>(c.countV));
    ASSERT_TRUE(computeSectionParameters(q, c.countU, c.countV, v.data()));
    std::vector<float> V(static_cast<size_t>(c.countV + c.orderV));
    averageKnots(v.data(), c.countV, c.orderV, V.data());

    const size_t floats = net.size() * 4;
    std::vector<float> reference(floats, 1.0f);
    skinNetReference(reference.data(), q, c.countU, c.countV, c.orderV - 1, V.data(), v.data());
    std::vector<float> banded(floats, 2.0f);
    ASSERT_TRUE(interpolateCurveBanded(banded.data(), c.countV - 1, q, 4 * c.countU, c.orderV - 1,
                                       V.data(), v.data()));
    for (size_t i = 0; i < floats; ++i) {
        ASSERT_TRUE(sameBits(&reference[i], &banded[i], 1))
            << "float " << i << ": " << reference[i] << " vs " << banded[i];
    }
}

INSTANTIATE_TEST_SUITE_P(Nets, SolverPaths,
                         ::testing::Values(PathCase{5, 3, 3, 2, 1}, PathCase{5, 3, 2, 3, 2},
                                           PathCase{7, 9, 4, 2, 3}, PathCase{7, 9, 3, 3, 4},
                                           PathCase{7, 9, 2, 4, 5}, PathCase{12, 30, 4, 4, 6},
                                           PathCase{4, 17, 3, 1, 7}, PathCase{3, 40, 2, 4, 8},
                                           // Enough right-hand sides to split them over two
                                           // threads.
                                           PathCase{400, 90, 4, 4, 9}));

// Random matrices with partial pivoting at work: negative entries, -0 entries, negative
// pivots, rows whose band starts late and rows swapped past each other.
struct MatrixCase {
    int n;
    int below;  // non-zeros below the diagonal in each column
    int above;
    unsigned seed;
    bool zeroHeavy = false;  // many zeros of both signs in A and B, a non-zero diagonal
};
void PrintTo(const MatrixCase& c, std::ostream* os) {
    *os << "n " << c.n << ", band " << c.below << " / " << c.above << ", seed " << c.seed;
}

class SharedElimination : public ::testing::TestWithParam<MatrixCase> {};

TEST_P(SharedElimination, EqualsOneReferenceSolvePerColumn) {
    const MatrixCase& c = GetParam();
    const int n = c.n;
    const int nrhs = 6;
    std::mt19937 random(c.seed);
    std::uniform_real_distribution<float> value(-2.0f, 2.0f);
    std::vector<float> A(static_cast<size_t>(n) * n, 0.0f);
    for (int i = 0; i < n; ++i) {
        for (int j = std::max(0, i - c.below); j <= std::min(n - 1, i + c.above); ++j) {
            A[i * n + j] = value(random);
        }
        // A -0 off the diagonal, where the matrix has room for one.
        const int right = std::min(n - 1, i + c.above);
        const int left = std::max(0, i - c.below);
        if (i % 4 == 3 && right != i) A[i * n + right] = -0.0f;
        if (i % 4 == 1 && left != i) A[i * n + left] = -0.0f;
        if (c.zeroHeavy) {
            for (int j = left; j <= right; ++j) {
                if (j != i && random() % 3 == 0) A[i * n + j] = random() % 2 ? -0.0f : 0.0f;
            }
            A[i * n + i] = A[i * n + i] < 0.0f ? A[i * n + i] - 1.0f : A[i * n + i] + 1.0f;
        }
    }
    std::vector<float> B(static_cast<size_t>(n) * nrhs);
    for (size_t i = 0; i < B.size(); ++i) {
        const bool zero = c.zeroHeavy ? random() % 2 == 0 : i % 3 == 0;
        B[i] = zero ? (random() % 2 ? -0.0f : 0.0f) : value(random);
    }
    std::vector<float> X(B.size(), 9.0f);
    std::vector<float> shared = B;
    ASSERT_TRUE(solveBanded(A.data(), shared.data(), X.data(), n, nrhs));
    std::vector<float> b(static_cast<size_t>(n)), x(static_cast<size_t>(n));
    for (int j = 0; j < nrhs; ++j) {
        for (int i = 0; i < n; ++i) b[i] = B[i * nrhs + j];
        solveLinearSystem(A.data(), b.data(), x.data(), n);
        for (int i = 0; i < n; ++i) {
            ASSERT_TRUE(sameBits(&x[i], &X[i * nrhs + j], 1))
                << "x[" << i << "] of column " << j << ": " << x[i] << " vs " << X[i * nrhs + j];
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Matrices, SharedElimination,
                         ::testing::Values(MatrixCase{1, 0, 0, 1}, MatrixCase{2, 1, 1, 2},
                                           MatrixCase{8, 7, 7, 3}, MatrixCase{20, 2, 3, 4},
                                           MatrixCase{25, 3, 1, 5}, MatrixCase{30, 1, 0, 6},
                                           MatrixCase{16, 0, 2, 7}, MatrixCase{40, 3, 3, 8, true},
                                           MatrixCase{40, 2, 4, 9, true},
                                           MatrixCase{40, 4, 2, 10, true}));

TEST(SharedElimination, ANegativeZeroEntryChangesSignLikeInTheReference) {
    // Row 1 waits for column 1, where it holds -0; step 0 turns that into +0 (-0 - (+0 * -1)),
    // which decides the sign of the zero solution x[2].
    const float A[9] = {1, -1, 0, 0, -0.0f, 1, 0, 1, 1};
    float b[3] = {1, -0.0f, 1};
    float B[3] = {1, -0.0f, 1};
    float x[3], X[3];
    solveLinearSystem(A, b, x, 3);
    ASSERT_TRUE(solveBanded(A, B, X, 3, 1));
    EXPECT_TRUE(sameBits(x, X, 3)) << x[2] << " vs " << X[2];
}

TEST(SharedElimination, RefusesWhatTheReferenceTurnsIntoNaN) {
    // Two equal rows: the reference divides by a zero pivot.
    const float A[9] = {1, 2, 0, 1, 2, 0, 0, 1, 1};
    float B[3] = {1, 2, 3};
    float X[3];
    EXPECT_FALSE(solveBanded(A, B, X, 3, 1));
    float b[3] = {1, 2, 3}, x[3];
    solveLinearSystem(A, b, x, 3);
    EXPECT_FALSE(std::isfinite(x[0]) && std::isfinite(x[1]) && std::isfinite(x[2]));

    const float zeroRow[4] = {1, 2, 0, 0};
    EXPECT_FALSE(solveBanded(zeroRow, B, X, 2, 1));
}

TEST(ReferenceSolver, PivotsOnTheLargestMagnitude) {
    // Without the row swap the first pivot 1e-8 would wreck the second unknown.
    const float A[4] = {1e-8f, 1, 1, 1};
    float b[2] = {1, 2};
    float x[2];
    solveLinearSystem(A, b, x, 2);
    EXPECT_NEAR(x[0], 1.0f, 1e-6f);
    EXPECT_NEAR(x[1], 1.0f, 1e-6f);
    // The matrix is left alone; b is permuted and reduced.
    EXPECT_EQ(A[0], 1e-8f);
}

TEST(VectorNorm, SumsSquaresInSinglePrecision) {
    const float v[4] = {1, 2, 2, 4};
    EXPECT_EQ(vectorNorm(v, 4), 5.0f);
    EXPECT_EQ(vectorNorm(v, 0), 0.0f);
}

// --- The skinned net of the editor ----------------------------------------------------------

// With V degree 1 the collocation matrix is the identity, up to the rounding of v * (1 / v) in
// the basis recurrence.
TEST(Skinning, DegreeOneInVReproducesTheNet) {
    EditorScope scope;
    loadSurface(5, 3, 3, 2, wavyNet(5, 3, 11));
    ASSERT_TRUE(computeSkinning(editor));
    ASSERT_EQ(editor.derived.skinnedNet.size(), editor.surface.controlNet.size());
    for (size_t i = 0; i < editor.surface.controlNet.size(); ++i) {
        EXPECT_FLOAT_EQ(editor.derived.skinnedNet[i].x, editor.surface.controlNet[i].x) << i;
        EXPECT_FLOAT_EQ(editor.derived.skinnedNet[i].y, editor.surface.controlNet[i].y) << i;
        EXPECT_FLOAT_EQ(editor.derived.skinnedNet[i].z, editor.surface.controlNet[i].z) << i;
        EXPECT_FLOAT_EQ(editor.derived.skinnedNet[i].w, editor.surface.controlNet[i].w) << i;
    }
    // Two sections: parameters 0 and 1.
    loadSurface(5, 2, 3, 2, wavyNet(5, 2, 12));
    ASSERT_TRUE(computeSkinning(editor));
    EXPECT_EQ(editor.derived.skinnedKnotsV, (std::vector<float>{0, 0, 1, 1}));
    for (size_t i = 0; i < editor.surface.controlNet.size(); ++i) {
        EXPECT_EQ(editor.derived.skinnedNet[i].x, editor.surface.controlNet[i].x) << i;
    }
}

TEST(Skinning, EquallySpacedCopiesKeepTheirMiddleSection) {
    EditorScope scope;
    std::vector<PointH> net;
    for (int s = 0; s < 3; ++s) {
        for (int j = 0; j < 5; ++j) {
            net.push_back({static_cast<float>(j), static_cast<float>(j % 2), 2.0f * s, 1.0f});
        }
    }
    loadSurface(5, 3, 3, 3, net);
    ASSERT_TRUE(computeSkinning(editor));
    EXPECT_EQ(editor.derived.skinnedKnotsV, (std::vector<float>{0, 0, 0, 1, 1, 1}));
    for (int j = 0; j < 5; ++j) {
        const PointH& middle = editor.derived.skinnedNet[5 + j];
        EXPECT_FLOAT_EQ(middle.x, net[5 + j].x);
        EXPECT_FLOAT_EQ(middle.y, net[5 + j].y);
        EXPECT_FLOAT_EQ(middle.z, 2.0f);
        EXPECT_FLOAT_EQ(middle.w, 1.0f);
    }
}

struct SurfaceCase {
    int countU;
    int countV;
    int orderU;
    int orderV;
};
void PrintTo(const SurfaceCase& c, std::ostream* os) {
    *os << c.countU << " x " << c.countV << ", orders " << c.orderU << " x " << c.orderV;
}

class SkinnedSurface : public ::testing::TestWithParam<SurfaceCase> {};

TEST_P(SkinnedSurface, PassesThroughEverySectionCurve) {
    const SurfaceCase& c = GetParam();
    EditorScope scope;
    const std::vector<PointH> net = wavyNet(c.countU, c.countV, 21);
    loadSurface(c.countU, c.countV, c.orderU, c.orderV, net);
    ASSERT_TRUE(computeSkinning(editor));
    const std::vector<float> v = parametersOf(net, c.countU, c.countV);

    // Evaluate the skinned surface through the editor's own evaluator.
    editor.surface.controlNet = editor.derived.skinnedNet;
    editor.surface.knotsV = editor.derived.skinnedKnotsV;
    for (int k = 0; k < c.countV; ++k) {
        for (float u = 0.0f; u <= 1.0f; u += 0.125f) {
            float expected[3];
            sectionPoint(net, k, u, expected);
            float x, y, z;
            ASSERT_TRUE(evaluateSurfacePoint(editor.surface, x, y, z, u, v[k]));
            const float tolerance = 2e-4f * (1.0f + std::fabs(expected[2]));
            EXPECT_NEAR(x, expected[0], tolerance) << "section " << k << ", u = " << u;
            EXPECT_NEAR(y, expected[1], tolerance) << "section " << k << ", u = " << u;
            EXPECT_NEAR(z, expected[2], tolerance) << "section " << k << ", u = " << u;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Nets, SkinnedSurface,
                         ::testing::Values(SurfaceCase{5, 3, 3, 3}, SurfaceCase{5, 3, 4, 2},
                                           SurfaceCase{7, 9, 3, 4}, SurfaceCase{7, 9, 2, 3},
                                           SurfaceCase{6, 5, 4, 1}, SurfaceCase{4, 12, 3, 4}));

TEST(Skinning, KnotsDependOnlyOnTheSectionsAndTheVOrder) {
    EditorScope scope;
    const std::vector<PointH> net = wavyNet(6, 5, 31);
    loadSurface(6, 5, 2, 3, net);
    ASSERT_TRUE(computeSkinning(editor));
    const std::vector<float> knots = editor.derived.skinnedKnotsV;
    const std::vector<PointH> skinned = editor.derived.skinnedNet;
    loadSurface(6, 5, 4, 3, net);
    ASSERT_TRUE(computeSkinning(editor));
    EXPECT_EQ(editor.derived.skinnedKnotsV, knots);
    EXPECT_TRUE(sameBits(&editor.derived.skinnedNet[0].x, &skinned[0].x, skinned.size() * 4));
}

TEST(Skinning, AColumnThatNeverMovesStaysFinite) {
    EditorScope scope;
    std::vector<PointH> net = wavyNet(5, 4, 41);
    for (int s = 0; s < 4; ++s) net[static_cast<size_t>(s) * 5 + 2] = {0, 0, 3, 1};
    loadSurface(5, 4, 3, 3, net);
    ASSERT_TRUE(computeSkinning(editor));
    EXPECT_TRUE(allFinite(editor.derived.skinnedNet));
    for (int s = 0; s < 4; ++s) {
        EXPECT_NEAR(editor.derived.skinnedNet[static_cast<size_t>(s) * 5 + 2].z, 3.0f, 1e-5f);
    }
}

TEST(Skinning, DegreeZeroInVCopiesTheSections) {
    EditorScope scope;
    const std::vector<PointH> net = wavyNet(5, 4, 51);
    loadSurface(5, 4, 3, 1, net);
    ASSERT_TRUE(computeSkinning(editor));
    EXPECT_TRUE(sameBits(&editor.derived.skinnedNet[0].x, &net[0].x, net.size() * 4));
    ASSERT_EQ(editor.derived.skinnedKnotsV.size(), 5u);
    for (float knot : editor.derived.skinnedKnotsV) EXPECT_TRUE(std::isfinite(knot));
}

// Degenerate nets are refused with a message; the previous skinned net stays as it was.
struct RefusalCase {
    const char* name;
    void (*spoil)(std::vector<PointH>& net);  // on a 5 x 4 net
    const char* message;
};
void PrintTo(const RefusalCase& c, std::ostream* os) {
    *os << c.name;
}

class SkinningRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(SkinningRefusal, KeepsThePreviousSkinnedNet) {
    const RefusalCase& c = GetParam();
    EditorScope scope;
    loadSurface(5, 4, 3, 3, wavyNet(5, 4, 61));
    ASSERT_TRUE(computeSkinning(editor));
    c.spoil(editor.surface.controlNet);
    editor.panel.statusLine[0] = '\0';
    const std::string before = testsupport::stateText(editor);
    EXPECT_FALSE(computeSkinning(editor));
    EXPECT_EQ(testsupport::stateText(editor), before);
    EXPECT_NE(std::string(editor.panel.statusLine).find(c.message), std::string::npos)
        << editor.panel.statusLine;
    EXPECT_TRUE(allFinite(editor.derived.skinnedNet));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SkinningRefusal,
    ::testing::Values(RefusalCase{"twoSectionsCoincide",
                                  [](std::vector<PointH>& net) {
                                      for (int j = 0; j < 5; ++j) net[10 + j] = net[5 + j];
                                  },
                                  "sections 1 and 2 lie at the same place"},
                      RefusalCase{"allSectionsCoincide",
                                  [](std::vector<PointH>& net) {
                                      for (size_t i = 5; i < net.size(); ++i) net[i] = net[i % 5];
                                  },
                                  "all sections lie at the same place"},
                      RefusalCase{"chordsOverflow",
                                  [](std::vector<PointH>& net) {
                                      net[7].x = 3e38f;
                                      net[12].x = -3e38f;
                                  },
                                  "too far apart"},
                      RefusalCase{"nonFiniteInput",
                                  [](std::vector<PointH>& net) { net[3].y = NAN; },
                                  "out of range"}),
    [](const testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

// 2000 sections of degree 1999 held the GUI thread for 7.6 s; what costs that much is refused
// before the elimination starts, and the largest nets the editor loads still skin (their random
// weights brought to common ones, as a degree of 23 takes them through 0 otherwise).
TEST(Skinning, RefusesNetsWhoseEliminationWouldTakeLong) {
    struct Case {
        int countU, countV, orderV;
        bool refused;
    } cases[] = {
        {1, 2000, 2000, true},
        {1, 2000, 200, true},
        {125, 2000, 24, false},
        {500, 500, 24, false},
    };
    for (const Case& c : cases) {
        EditorScope scope;
        loadSurface(c.countU, c.countV, 1, c.orderV, wavyNet(c.countU, c.countV, 7));
        DerivedNets derived;
        std::string refusal;
        LoftOptions options;
        options.rational = LoftRational::compatible;
        EXPECT_EQ(skinSurface(editor.surface, options, derived, refusal), !c.refused) << c.countV;
        EXPECT_EQ(refusal.find("take too long to skin") != std::string::npos, c.refused) << refusal;
    }
}

TEST(Skinning, ARefusalIsReportedOnceAndClearedByTheNextSkinning) {
    EditorScope scope;
    loadSurface(5, 3, 3, 3, wavyNet(5, 3, 65));
    const std::vector<PointH> good = editor.surface.controlNet;
    for (int j = 0; j < 5; ++j) editor.surface.controlNet[5 + j] = editor.surface.controlNet[j];
    editor.panel.statusLine[0] = '\0';
    testing::internal::CaptureStderr();
    EXPECT_FALSE(computeSkinning(editor));
    EXPECT_FALSE(computeSkinning(editor));  // the next motion event of a drag
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(errors, "Skinning refused: sections 0 and 1 lie at the same place\n");
    editor.surface.controlNet = good;
    EXPECT_TRUE(computeSkinning(editor));
    EXPECT_STREQ(editor.panel.statusLine, "");
}

TEST(Skinning, RefusesASurfaceItCannotUse) {
    EditorScope scope;
    loadSurface(5, 3, 3, 3, wavyNet(5, 3, 71));
    editor.surface.orderV = 4;  // more than the sections
    editor.surface.knotCountV = 7;
    generateUniformKnots(editor.surface, 2);
    const std::string before = testsupport::stateText(editor);
    EXPECT_FALSE(computeSkinning(editor));
    EXPECT_EQ(testsupport::stateText(editor), before);
    editor = EditorState();
    EXPECT_FALSE(computeSkinning(editor));
    EXPECT_TRUE(editor.derived.skinnedNet.empty());
}

TEST(Skinning, TheCallbackSkinsWhateverTheCheckBoxSaysThenRefreshesAndRedraws) {
    EditorScope scope;
    loadSurface(5, 3, 3, 3, wavyNet(5, 3, 81));
    editor.panel.skinningEnabled = 0;
    const GuiHookCalls before = guiHookCalls;
    skinningSwitched(editor);
    EXPECT_EQ(editor.derived.skinnedNet.size(), 15u);
    EXPECT_EQ(guiHookCalls.refreshPanel, before.refreshPanel + 1);
    EXPECT_EQ(guiHookCalls.redrawViews, before.redrawViews + 1);
}

// --- Keeping the skinned net in step with the surface ----------------------------------------

TEST(SyncDerivedNets, ReskinsAfterASizeChangeAndDropsARefusedNet) {
    EditorScope scope;
    loadSurface(5, 3, 3, 3, wavyNet(5, 3, 91));
    editor.panel.skinningEnabled = 1;
    ASSERT_TRUE(computeSkinning(editor));
    // Another net of other sizes arrives while skinning is on.
    loadSurface(7, 4, 3, 3, wavyNet(7, 4, 92));
    editor.panel.skinningEnabled = 1;
    editor.derived.skinnedNet.assign(15, PointH{1, 1, 1, 1});
    syncDerivedNets(editor);
    EXPECT_EQ(editor.derived.skinnedNet.size(), 28u);
    EXPECT_EQ(editor.derived.skinnedKnotsV.size(), 7u);
    EXPECT_TRUE(
        skinnedNetUsable(editor.surface, editor.panel.skinningEnabled != 0, editor.derived));

    // A net of the same sizes whose sections coincide: the old skinned net belongs to another
    // surface, so it goes rather than being drawn.
    for (size_t i = 7; i < editor.surface.controlNet.size(); ++i) {
        editor.surface.controlNet[i] = editor.surface.controlNet[i % 7];
    }
    syncDerivedNets(editor);
    EXPECT_TRUE(editor.derived.skinnedNet.empty());
    EXPECT_FALSE(
        skinnedNetUsable(editor.surface, editor.panel.skinningEnabled != 0, editor.derived));
}

// The finite check skinning runs on a net and on its result: one value out of range at the
// start, inside and at the edges of the blocks it checks together, or in the tail after them,
// is found; the largest floats, the smallest denormals and -0 pass.
TEST(AllFinite, FindsAValueOutOfRangeWhereverItLies) {
    const float passing[] = {3.4028235e38f, -3.4028235e38f, 1e-45f, -0.0f};
    for (const size_t count : {0, 1, 63, 64, 65, 200}) {
        std::vector<float> values(count);
        for (size_t k = 0; k < count; ++k) values[k] = passing[k % 4];
        EXPECT_TRUE(::allFinite(values.data(), count)) << count;
        for (const size_t at : {size_t{0}, size_t{62}, size_t{63}, size_t{64}, count - 1}) {
            for (const float bad : {INFINITY, -INFINITY, NAN, -NAN}) {
                if (at >= count) continue;
                std::vector<float> v = values;
                v[at] = bad;
                EXPECT_FALSE(::allFinite(v.data(), count)) << count << " " << at << " " << bad;
            }
        }
    }
}

}  // namespace
