// Clamped uniform knots, span search, basis functions and the rational surface point.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "model/editor_state.h"
#include "model/knots.h"
#include "support/scratch_files.h"

namespace {

using testsupport::EditorScope;

struct UniformCase {
    int count;
    int order;
    std::vector<float> knots;
};
void PrintTo(const UniformCase& c, std::ostream* os) {
    *os << "count " << c.count << ", order " << c.order;
}

class UniformKnots : public ::testing::TestWithParam<UniformCase> {};

TEST_P(UniformKnots, FillsClampedKnotsForEitherDirection) {
    const UniformCase& c = GetParam();
    EditorScope scope;
    editor.surface.countU = c.count;
    editor.surface.orderU = c.order;
    editor.surface.knotCountU = c.count + c.order;
    generateUniformKnots(editor.surface, 1);
    EXPECT_EQ(editor.surface.knotsU, c.knots);

    editor.surface.countV = c.count;
    editor.surface.orderV = c.order;
    editor.surface.knotCountV = c.count + c.order;
    editor.surface.knotsV.clear();
    generateUniformKnots(editor.surface, 2);
    EXPECT_EQ(editor.surface.knotsV, c.knots);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UniformKnots,
    ::testing::Values(UniformCase{6, 4, {0, 0, 0, 0, 1 / 3.0f, 2 / 3.0f, 1, 1, 1, 1}},
                      UniformCase{5, 3, {0, 0, 0, 1 / 3.0f, 2 / 3.0f, 1, 1, 1}},
                      UniformCase{3, 3, {0, 0, 0, 1, 1, 1}},
                      UniformCase{4, 2, {0, 0, 1 / 3.0f, 2 / 3.0f, 1, 1}},
                      // One point fewer than the order: a single middle knot.
                      UniformCase{2, 3, {0, 0, 0.5f, 1, 1}},
                      // Even fewer: zeros, then ones.
                      UniformCase{1, 4, {0, 0, 0, 1, 1}}));

TEST(UniformKnots, OtherDirectionsChangeNothing) {
    EditorScope scope;
    editor.surface.knotCountU = 4;
    editor.surface.orderU = 2;
    editor.surface.knotsU = {0, 0.25f, 0.75f, 1};
    editor.surface.knotCountV = 4;
    editor.surface.orderV = 2;
    editor.surface.knotsV = {0, 0.5f, 0.5f, 1};
    generateUniformKnots(editor.surface, 0);
    generateUniformKnots(editor.surface, 3);
    EXPECT_EQ(editor.surface.knotsU, (std::vector<float>{0, 0.25f, 0.75f, 1}));
    EXPECT_EQ(editor.surface.knotsV, (std::vector<float>{0, 0.5f, 0.5f, 1}));
}

struct SpanCase {
    std::vector<float> U;
    int n;
    int p;
    float u;
    int span;
};
void PrintTo(const SpanCase& c, std::ostream* os) {
    *os << "n " << c.n << ", p " << c.p << ", u " << c.u;
}

class KnotSpan : public ::testing::TestWithParam<SpanCase> {};

TEST_P(KnotSpan, FindsTheOneBasedSpan) {
    const SpanCase& c = GetParam();
    EXPECT_EQ(findKnotSpan(c.n, c.p, c.u, c.U.data()), c.span) << "u = " << c.u;
}

const std::vector<float> kCubic = {0, 0, 0, 0, 1 / 3.0f, 2 / 3.0f, 1, 1, 1, 1};
const std::vector<float> kDoubleMiddle = {0, 0, 0, 0.5f, 0.5f, 1, 1, 1};
const std::vector<float> kBook = {0, 0, 0, 1, 2, 3, 4, 4, 5, 5, 5};

INSTANTIATE_TEST_SUITE_P(
    Cases, KnotSpan,
    ::testing::Values(SpanCase{kCubic, 5, 3, 0.0f, 4}, SpanCase{kCubic, 5, 3, 1 / 3.0f, 5},
                      SpanCase{kCubic, 5, 3, 0.5f, 5}, SpanCase{kCubic, 5, 3, 0.9f, 6},
                      // The end knot belongs to the last span, not to the empty one after it.
                      SpanCase{kCubic, 5, 3, 1.0f, 6},
                      // Outside the range: first or last span, no error.
                      SpanCase{kCubic, 5, 3, -0.5f, 4}, SpanCase{kCubic, 5, 3, 1.5f, 6},
                      // A double interior knot belongs to the span on its right.
                      SpanCase{kDoubleMiddle, 4, 2, 0.5f, 5},
                      SpanCase{kDoubleMiddle, 4, 2, 0.4999f, 3}, SpanCase{kBook, 7, 2, 2.5f, 5},
                      SpanCase{kBook, 7, 2, 4.0f, 8}, SpanCase{kBook, 7, 2, 3.999f, 6},
                      SpanCase{kBook, 7, 2, 5.0f, 8}, SpanCase{kBook, 7, 2, 0.0f, 3}));

struct BasisCase {
    std::vector<float> U;
    int n;
    int p;
    float u;
    std::vector<float> values;
};
void PrintTo(const BasisCase& c, std::ostream* os) {
    *os << "n " << c.n << ", p " << c.p << ", u " << c.u;
}

class Basis : public ::testing::TestWithParam<BasisCase> {};

TEST_P(Basis, MatchesTextbookValues) {
    const BasisCase& c = GetParam();
    const int span = findKnotSpan(c.n, c.p, c.u, c.U.data());
    std::vector<float> N(static_cast<size_t>(c.p) + 1, -1.0f);
    evaluateBasis(N.data(), span, c.u, c.p, c.U.data());
    EXPECT_EQ(N, c.values) << "u = " << c.u;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Basis,
    ::testing::Values(BasisCase{kBook, 7, 2, 2.5f, {1 / 8.0f, 6 / 8.0f, 1 / 8.0f}},
                      BasisCase{{0, 0, 0, 1, 1, 1}, 2, 2, 0.5f, {0.25f, 0.5f, 0.25f}},
                      // At a double knot the curve passes through a control point.
                      BasisCase{kBook, 7, 2, 4.0f, {1, 0, 0}},
                      BasisCase{kBook, 7, 2, 5.0f, {0, 0, 1}},
                      BasisCase{{0, 0, 1, 1}, 1, 1, 0.25f, {0.75f, 0.25f}},
                      BasisCase{{0, 0.5f, 1}, 1, 0, 0.75f, {1}}));

TEST(Basis, CubicValuesSumToOne) {
    for (float u = 0.0f; u <= 1.0f; u += 0.0625f) {
        const int span = findKnotSpan(5, 3, u, kCubic.data());
        float N[4];
        evaluateBasis(N, span, u, 3, kCubic.data());
        float sum = 0.0f;
        for (float value : N) {
            EXPECT_GE(value, 0.0f);
            sum += value;
        }
        EXPECT_NEAR(sum, 1.0f, 1e-6f) << "u = " << u;
    }
}

// A 2 x 2 bilinear patch; section 0 runs from x = 0 (weight w0) to x = 4 (weight w1), section 1
// sits at y = 1 with weight 1.
void loadBilinearPatch(float w0, float w1) {
    editor.surface.countU = 2;
    editor.surface.countV = 2;
    editor.surface.orderU = 2;
    editor.surface.orderV = 2;
    editor.surface.knotCountU = 4;
    editor.surface.knotCountV = 4;
    editor.surface.knotsU = {0, 0, 1, 1};
    editor.surface.knotsV = {0, 0, 1, 1};
    editor.surface.controlNet = {
        {0 * w0, 0, 0, w0}, {4 * w1, 0, 0, w1}, {0, 1, 0, 1}, {4, 1, 0, 1}};
}

TEST(SurfacePoint, WeightsPullThePointTowardsTheHeavierCorner) {
    EditorScope scope;
    loadBilinearPatch(1.0f, 3.0f);
    float x = -1, y = -1, z = -1;
    ASSERT_TRUE(evaluateSurfacePoint(editor.surface, x, y, z, 0.5f, 0.0f));
    EXPECT_EQ(x, 3.0f);  // (0.5 * 0 * 1 + 0.5 * 4 * 3) / (0.5 * 1 + 0.5 * 3), not the midpoint 2
    EXPECT_EQ(y, 0.0f);
    // U runs along a section and V across: at v = 1 the point lies on section 1.
    ASSERT_TRUE(evaluateSurfacePoint(editor.surface, x, y, z, 0.5f, 1.0f));
    EXPECT_EQ(x, 2.0f);
    EXPECT_EQ(y, 1.0f);
}

TEST(SurfacePoint, CornersAreTheCartesianEndPoints) {
    EditorScope scope;
    editor.surface.countU = 5;
    editor.surface.countV = 3;
    editor.surface.orderU = 3;
    editor.surface.orderV = 2;
    editor.surface.knotCountU = 8;
    editor.surface.knotCountV = 5;
    generateUniformKnots(editor.surface, 1);
    generateUniformKnots(editor.surface, 2);
    editor.surface.controlNet.clear();
    for (int s = 0; s < 3; ++s) {
        for (int j = 0; j < 5; ++j) {
            const float w = 1.0f + 0.5f * static_cast<float>(j % 3);
            editor.surface.controlNet.push_back({static_cast<float>(j) * w,
                                                 static_cast<float>(s) * w,
                                                 static_cast<float>(j * s) * w, w});
        }
    }
    float x, y, z;
    ASSERT_TRUE(evaluateSurfacePoint(editor.surface, x, y, z, 0.0f, 0.0f));
    EXPECT_EQ(x, 0.0f);
    EXPECT_EQ(y, 0.0f);
    ASSERT_TRUE(evaluateSurfacePoint(editor.surface, x, y, z, 1.0f, 1.0f));
    EXPECT_FLOAT_EQ(x, 4.0f);
    EXPECT_FLOAT_EQ(y, 2.0f);
    EXPECT_FLOAT_EQ(z, 8.0f);
    ASSERT_TRUE(evaluateSurfacePoint(editor.surface, x, y, z, 1.0f, 0.0f));
    EXPECT_FLOAT_EQ(x, 4.0f);
    EXPECT_EQ(y, 0.0f);
}

TEST(SurfacePoint, NoPointWithoutAUsableSurfaceOrWithVanishingWeights) {
    EditorScope scope;
    float x = 7, y = 8, z = 9;
    editor = EditorState();
    EXPECT_FALSE(evaluateSurfacePoint(editor.surface, x, y, z, 0.5f, 0.5f));

    loadBilinearPatch(0.0f, 0.0f);
    editor.surface.controlNet[2].w = 0.0f;
    editor.surface.controlNet[3].w = 0.0f;
    EXPECT_FALSE(evaluateSurfacePoint(editor.surface, x, y, z, 0.5f, 0.5f));

    loadBilinearPatch(1.0f, 1.0f);
    editor.surface.knotsU.pop_back();  // arrays no longer match the counts
    EXPECT_FALSE(evaluateSurfacePoint(editor.surface, x, y, z, 0.5f, 0.5f));
    EXPECT_EQ(x, 7.0f);
    EXPECT_EQ(y, 8.0f);
    EXPECT_EQ(z, 9.0f);
}

}  // namespace
