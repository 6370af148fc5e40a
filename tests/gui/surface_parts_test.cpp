// Cutting a large surface in two for tessellation on two threads: each part is the surface over
// its own range, the two ranges meet at a breakpoint and cover the whole, and surfaces GLU would
// refuse, or too small to gain, are left whole.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "model/knots.h"
#include "view/surface_parts.h"

namespace {

struct Net {
    int countS, countT, orderS, orderT;
    std::vector<float> knotsS, knotsT;
    std::vector<float> points;  // x*w, y*w, z*w, w; countS per row, countT rows

    SurfaceDescription description() const {
        SurfaceDescription d;
        d.knotCountS = static_cast<GLint>(knotsS.size());
        d.knotsS = knotsS.data();
        d.knotCountT = static_cast<GLint>(knotsT.size());
        d.knotsT = knotsT.data();
        d.strideS = 4;
        d.strideT = 4 * countS;
        d.points = points.data();
        d.orderS = orderS;
        d.orderT = orderT;
        return d;
    }
};

// Clamped knots for count points of the given order, interior knots uneven; `repeats` lists
// interior knot indices (from 0) that take the value of the knot before them.
std::vector<float> knots(int count, int order, std::vector<int> repeats = {}) {
    std::vector<float> k(static_cast<size_t>(count + order), 0.0f);
    const int interior = count - order;
    for (int i = 0; i < interior; ++i) {
        const float x = static_cast<float>(i + 1) / static_cast<float>(interior + 1);
        k[static_cast<size_t>(order + i)] = x * x * (3.0f - 2.0f * x);
    }
    for (int r : repeats) k[static_cast<size_t>(order + r)] = k[static_cast<size_t>(order + r - 1)];
    for (int i = count; i < count + order; ++i) k[static_cast<size_t>(i)] = 1.0f;
    return k;
}

Net makeNet(int countS, int countT, int orderS, int orderT, std::vector<int> repeatsS = {},
            std::vector<int> repeatsT = {}) {
    Net n{countS,
          countT,
          orderS,
          orderT,
          knots(countS, orderS, repeatsS),
          knots(countT, orderT, repeatsT),
          {}};
    for (int t = 0; t < countT; ++t) {
        for (int s = 0; s < countS; ++s) {
            const float w = 1.0f + 0.3f * std::sin(static_cast<float>(s * 7 + t * 3));
            const float x = static_cast<float>(t) * 0.1f;
            const float y = std::sin(0.2f * static_cast<float>(s)) + 0.01f * static_cast<float>(t);
            const float z = std::cos(0.3f * static_cast<float>(s * t));
            n.points.insert(n.points.end(), {x * w, y * w, z * w, w});
        }
    }
    return n;
}

// The homogeneous point of a described surface at (s, t), summed the way the editor sums it.
std::vector<float> pointAt(const SurfaceDescription& d, float s, float t) {
    const int pointsS = d.knotCountS - d.orderS, pointsT = d.knotCountT - d.orderT;
    const int Is = findKnotSpan(pointsS - 1, d.orderS - 1, s, d.knotsS);
    const int It = findKnotSpan(pointsT - 1, d.orderT - 1, t, d.knotsT);
    std::vector<float> Ns(static_cast<size_t>(d.orderS)), Nt(static_cast<size_t>(d.orderT));
    evaluateBasis(Ns.data(), Is, s, d.orderS - 1, d.knotsS);
    evaluateBasis(Nt.data(), It, t, d.orderT - 1, d.knotsT);
    std::vector<float> sum(4, 0.0f);
    for (int l = 0; l < d.orderT; ++l) {
        for (int k = 0; k < d.orderS; ++k) {
            const float* p = d.points + (It - d.orderT + l) * d.strideT + (Is - d.orderS + k) * 4;
            const float b = Nt[static_cast<size_t>(l)] * Ns[static_cast<size_t>(k)];
            for (int c = 0; c < 4; ++c) sum[static_cast<size_t>(c)] += b * p[c];
        }
    }
    return sum;
}

struct Range {
    float low, high;
};

Range rangeOf(const GLfloat* knots, GLint knotCount, GLint order) {
    return {knots[order - 1], knots[knotCount - order]};
}

// Parameters inside a range: its start and the middle of every span in it.
std::vector<float> samplesIn(const GLfloat* knots, GLint knotCount, GLint order) {
    const Range r = rangeOf(knots, knotCount, order);
    std::vector<float> at = {r.low};
    for (GLint i = order - 1; i < knotCount - order; ++i) {
        if (knots[i + 1] > knots[i]) at.push_back(0.5f * (knots[i] + knots[i + 1]));
    }
    return at;
}

void expectPartIsTheSurface(const SurfaceDescription& whole, const SurfaceDescription& part) {
    for (float s : samplesIn(part.knotsS, part.knotCountS, part.orderS)) {
        for (float t : samplesIn(part.knotsT, part.knotCountT, part.orderT)) {
            EXPECT_EQ(pointAt(part, s, t), pointAt(whole, s, t)) << "at " << s << ", " << t;
        }
    }
}

struct CutCase {
    const char* name;
    Net net;
    bool acrossT;  // the direction expected to be cut
};

Range rangeAcross(const SurfaceDescription& d, bool acrossT) {
    return acrossT ? rangeOf(d.knotsT, d.knotCountT, d.orderT)
                   : rangeOf(d.knotsS, d.knotCountS, d.orderS);
}

TEST(SurfaceParts, EachPartIsTheSurfaceOverItsRangeAndTheRangesFollowOneAnother) {
    const CutCase cases[] = {
        {"uniform 50 x 50, cubic", makeNet(50, 50, 4, 4), true},
        {"more spans in s", makeNet(40, 12, 4, 3), false},
        {"double and full-order knots in t", makeNet(10, 30, 3, 4, {}, {3, 9, 10, 11, 17, 18}),
         true},
        {"repeated knots in s, quadratic", makeNet(30, 9, 3, 2, {4, 12, 13}), false},
    };
    for (const CutCase& c : cases) {
        SCOPED_TRACE(c.name);
        const SurfaceDescription whole = c.net.description();
        const Range all = rangeAcross(whole, c.acrossT);
        for (int count = 2; count <= 9; ++count) {
            SCOPED_TRACE(count);
            const std::vector<SurfaceDescription> parts = cutSurface(whole, count);
            ASSERT_GE(parts.size(), 2u);
            EXPECT_LE(parts.size(), static_cast<size_t>(count));
            float reached = all.low;
            for (const SurfaceDescription& part : parts) {
                const Range r = rangeAcross(part, c.acrossT);
                EXPECT_EQ(r.low, reached);
                EXPECT_LT(r.low, r.high);
                reached = r.high;
                // The other direction is untouched.
                EXPECT_EQ(c.acrossT ? part.knotCountS : part.knotCountT,
                          c.acrossT ? whole.knotCountS : whole.knotCountT);
                expectPartIsTheSurface(whole, part);
            }
            EXPECT_EQ(reached, all.high);
        }
    }
}

TEST(SurfaceParts, SurfacesGluWouldRefuseOrTooSmallToGainAreLeftWhole) {
    struct Refused {
        const char* name;
        void (*spoil)(Net&);
    };
    const Refused refused[] = {
        {"knots out of order", [](Net& n) { n.knotsT[20] = n.knotsT[21] + 0.1f; }},
        {"knot not finite", [](Net& n) { n.knotsS[10] = std::nanf(""); }},
        {"knot repeated more than order times",
         [](Net& n) {
             for (int i = 10; i < 15; ++i) n.knotsT[static_cast<size_t>(i)] = n.knotsT[10];
         }},
        {"fewer points than order", [](Net& n) { n.orderS = 30; }},
        {"order past GLU's", [](Net& n) { n.orderT = 25; }},
        {"empty range", [](Net& n) { std::fill(n.knotsS.begin(), n.knotsS.end(), 0.5f); }},
        {"7 x 7 patches", [](Net& n) { n = makeNet(10, 10, 4, 4); }},
    };
    for (const Refused& r : refused) {
        Net net = makeNet(26, 26, 4, 4);
        r.spoil(net);
        EXPECT_TRUE(cutSurface(net.description(), 4).empty()) << r.name;
    }
    Net fine = makeNet(26, 26, 4, 4);
    EXPECT_EQ(cutSurface(fine.description(), 4).size(), 4u);
    EXPECT_TRUE(cutSurface(fine.description(), 1).empty());
}

}  // namespace
