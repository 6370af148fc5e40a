// End conditions of the loft: poles that round a nose, tangent ends, free ends that stay as they
// were, the refusals, the command-line words and the undoable panel change.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "io/editor_file_io.h"
#include "model/curvature.h"
#include "model/derived_nets.h"
#include "model/edit_history.h"
#include "model/editor_state.h"
#include "model/knots.h"
#include "model/loft_ends.h"
#include "model/loft_settings.h"
#include "model/skinning.h"
#include "model/surface_edit.h"
#include "support/scratch_files.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
const float kHalfRoot2 = static_cast<float>(std::sqrt(0.5));

// The nine-point rational quadratic circle of radius rho at height z, stored (x*w, y*w, z*w, w).
void appendCircle(std::vector<PointH>& net, float rho, float z, float cx = 0.0f) {
    const float corners[9][2] = {{1, 0},   {1, 1},  {0, 1},  {-1, 1}, {-1, 0},
                                 {-1, -1}, {0, -1}, {1, -1}, {1, 0}};
    for (int j = 0; j < 9; ++j) {
        const float w = j % 2 == 1 ? kHalfRoot2 : 1.0f;
        net.push_back({(cx + rho * corners[j][0]) * w, rho * corners[j][1] * w, z * w, w});
    }
}

SurfaceModel circleLoft(const std::vector<PointH>& net, int orderV) {
    SurfaceModel s;
    s.countU = 9;
    s.countV = static_cast<int>(net.size() / 9);
    s.orderU = 3;
    s.orderV = orderV;
    s.knotCountU = 12;
    s.knotCountV = s.countV + orderV;
    s.knotsU = {0, 0, 0, 0.25f, 0.25f, 0.5f, 0.5f, 0.75f, 0.75f, 1, 1, 1};
    s.knotsV.resize(static_cast<size_t>(s.knotCountV));
    fillUniformKnots(s.knotsV.data(), s.knotCountV, orderV);
    s.controlNet = net;
    return s;
}

// Circles of latitude of a sphere of radius r at polar angles k pi / (count + 1).
SurfaceModel sphereLatitudes(float r, int count) {
    std::vector<PointH> net;
    for (int k = 1; k <= count; ++k) {
        const double phi = kPi * k / (count + 1);
        appendCircle(net, static_cast<float>(r * std::sin(phi)),
                     static_cast<float>(r * std::cos(phi)));
    }
    return circleLoft(net, 4);
}

LoftEnd endOf(const char* text) {
    LoftEnd end;
    std::string problem;
    EXPECT_TRUE(parseLoftEnd(text, end, problem)) << text << ": " << problem;
    return end;
}

// The skinned surface the file writer would save.
SurfaceModel skinned(const SurfaceModel& s, const LoftOptions& options) {
    DerivedNets derived;
    std::string refusal;
    EXPECT_TRUE(skinSurface(s, options, derived, refusal)) << refusal;
    EXPECT_TRUE(skinnedNetUsable(s, true, derived));
    SurfaceModel out;
    return surfaceToSave(s, true, derived, out);
}

TEST(LoftEnds, PolesCloseASphereRoundWithItsCurvature) {
    const float r = 2.0f;
    const SurfaceModel sphere = sphereLatitudes(r, 7);
    LoftOptions options;
    options.start = endOf("point:0,0,2");
    options.end = endOf("point:0,0,-2");
    const SurfaceModel s = skinned(sphere, options);
    ASSERT_EQ(s.countV, 7 + 4);
    // The ends are the poles themselves.
    for (float v : {0.0f, 1.0f}) {
        for (float u : {0.1f, 0.6f}) {
            SurfaceCurvature c;
            evaluateSurfaceCurvature(s, u, v, c);
            EXPECT_NEAR(c.point.z, v == 0.0f ? r : -r, 1e-5f);
            EXPECT_NEAR(std::hypot(c.point.x, c.point.y), 0.0f, 1e-5f);
        }
    }
    // K = 1/r^2 within 12% over the caps between the poles and the first circles (stations
    // 22.5 degrees apart leave the caps this freedom), and positive everywhere: no flat or
    // conical spot, which would show K near 0 by the poles.
    const double expected = 1.0 / (r * r);
    double worstCap = 0.0;
    for (int i = 1; i < 200; ++i) {
        const float v = static_cast<float>(i) / 200.0f;
        for (int j = 0; j < 8; ++j) {
            const float u = (static_cast<float>(j) + 0.3f) / 8.0f;
            SurfaceCurvature c;
            ASSERT_EQ(evaluateSurfaceCurvature(s, u, v, c), CurvatureStatus::Defined)
                << u << " " << v;
            const double polar = std::acos(std::fmax(-1.0, std::fmin(1.0, c.point.z / r)));
            EXPECT_GT(c.gaussian, 0.5 * expected) << "u " << u << " v " << v;
            if (polar < kPi / 8 || polar > 7 * kPi / 8) {
                worstCap = std::fmax(worstCap, std::fabs(c.gaussian / expected - 1.0));
            }
        }
    }
    EXPECT_LT(worstCap, 0.12);
}

TEST(LoftEnds, DefaultPoleLiesOutsideTheEndSectionAlongItsNormal) {
    // Three circles stacked up z: the default poles lie below the first and above the last, by
    // the given length.
    std::vector<PointH> net;
    for (float z : {0.0f, 1.0f, 2.0f}) appendCircle(net, 1.0f, z);
    LoftOptions options;
    options.start = endOf("point");
    options.start.length = 0.75f;
    options.end = endOf("point");
    options.end.length = 0.5f;
    const SurfaceModel s = skinned(circleLoft(net, 3), options);
    SurfaceCurvature c;
    evaluateSurfaceCurvature(s, 0.3f, 0.0f, c);
    EXPECT_NEAR(c.point.z, -0.75f, 1e-6f);
    evaluateSurfaceCurvature(s, 0.3f, 1.0f, c);
    EXPECT_NEAR(c.point.z, 2.5f, 1e-6f);
    EXPECT_NEAR(std::hypot(c.point.x, c.point.y), 0.0f, 1e-6f);
}

// Cartesian derivative along v at an end of column t, in double from the stored net:
// (A' - w' C) / w with A' = slope (P1 - P0) of the homogeneous points.
void endDerivative(const SurfaceModel& s, int t, bool atStart, double d[3]) {
    const int rows = s.countV;
    const PointH& a = s.controlNet[static_cast<size_t>((atStart ? 0 : rows - 1) * s.countU + t)];
    const PointH& b = s.controlNet[static_cast<size_t>((atStart ? 1 : rows - 2) * s.countU + t)];
    const double pa[4] = {a.x, a.y, a.z, a.w}, pb[4] = {b.x, b.y, b.z, b.w};
    const double dw = pb[3] - pa[3];
    // At the end, b - a already points into the loft.
    for (int c = 0; c < 3; ++c) d[c] = ((pb[c] - pa[c]) - dw * pa[c] / pa[3]) / pa[3];
}

double angleBetween(const double a[3], const double b[3]) {
    const double cx = a[1] * b[2] - a[2] * b[1], cy = a[2] * b[0] - a[0] * b[2],
                 cz = a[0] * b[1] - a[1] * b[0];
    return std::atan2(std::sqrt(cx * cx + cy * cy + cz * cz),
                      a[0] * b[0] + a[1] * b[1] + a[2] * b[2]);
}

TEST(LoftEnds, TangentEndsLeaveAlongTheirDirection) {
    struct Case {
        const char* start;
        const char* end;
        double startDirection[3];
        double endDirection[3];  // into the loft from the last section
    };
    // Circles up z, the second one off the axis so the free surface would lean.
    const Case cases[] = {
        {"tangent", "tangent", {0, 0, 1}, {0, 0, -1}},
        {"tangent:1,0.2,3", "tangent:0.5,-0.5,-2", {1, 0.2, 3}, {0.5, -0.5, -2}},
        {"tangent:0,1,1", "free", {0, 1, 1}, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        std::vector<PointH> net;
        appendCircle(net, 1.0f, 0.0f);
        appendCircle(net, 1.3f, 1.0f, 0.4f);
        appendCircle(net, 0.9f, 2.2f);
        appendCircle(net, 1.1f, 3.0f);
        LoftOptions options;
        options.start = endOf(c.start);
        options.end = endOf(c.end);
        options.start.bulge = 1.5f;
        const SurfaceModel s = skinned(circleLoft(net, 4), options);
        for (int t = 0; t < 9; ++t) {
            double d[3];
            endDerivative(s, t, true, d);
            EXPECT_LT(angleBetween(d, c.startDirection), 1e-6) << c.start << " column " << t;
            if (options.end.kind == LoftEndKind::free) continue;
            endDerivative(s, t, false, d);
            EXPECT_LT(angleBetween(d, c.endDirection), 1e-6) << c.end << " column " << t;
        }
        // The surface still passes through every section.
        EXPECT_EQ(s.countV, options.end.kind == LoftEndKind::free ? 5 : 6) << c.start;
    }
}

TEST(LoftEnds, FreeEndsGiveTheInterpolationBitForBit) {
    std::vector<PointH> net;
    for (int k = 0; k < 5; ++k) appendCircle(net, 1.0f + 0.2f * k * k, 0.7f * k, 0.1f * k);
    const SurfaceModel s = circleLoft(net, 4);
    // Free ends whatever else their fields hold, and the ends of a closed loft, change nothing.
    LoftOptions free;
    free.start.bulge = 3.0f;
    free.start.vector[0] = 5.0f;
    free.end.length = 2.0f;
    free.end.given = true;
    DerivedNets plain, withFields;
    std::string refusal;
    ASSERT_TRUE(skinSurface(s, plain, refusal));
    ASSERT_TRUE(skinSurface(s, free, withFields, refusal));
    std::vector<float> v(5), V(9), reference(5 * 9 * 4);
    ASSERT_TRUE(computeSectionParameters(&s.controlNet[0].x, 9, 5, v.data()));
    averageKnots(v.data(), 5, 4, V.data());
    skinNetReference(reference.data(), &s.controlNet[0].x, 9, 5, 3, V.data(), v.data());
    ASSERT_EQ(plain.skinnedNet.size(), 45u);
    EXPECT_EQ(0, std::memcmp(plain.skinnedNet.data(), reference.data(), reference.size() * 4));
    EXPECT_EQ(0, std::memcmp(withFields.skinnedNet.data(), reference.data(), reference.size() * 4));
    EXPECT_EQ(plain.skinnedKnotsV, V);

    LoftOptions closed, closedWithEnds;
    closed.closed = closedWithEnds.closed = true;
    closedWithEnds.start = endOf("point");
    closedWithEnds.end = endOf("tangent");
    DerivedNets a, b;
    ASSERT_TRUE(skinSurface(s, closed, a, refusal));
    ASSERT_TRUE(skinSurface(s, closedWithEnds, b, refusal));
    ASSERT_EQ(a.skinnedNet.size(), b.skinnedNet.size());
    EXPECT_EQ(0, std::memcmp(a.skinnedNet.data(), b.skinnedNet.data(), a.skinnedNet.size() * 16));
}

TEST(LoftEnds, RefusalsSayWhyAndKeepTheSkinnedNet) {
    std::vector<PointH> net;
    for (float z : {0.0f, 1.0f, 2.0f}) appendCircle(net, 1.0f, z);
    std::vector<PointH> flat;  // the first section a straight line: no plane
    for (int j = 0; j < 9; ++j) flat.push_back({static_cast<float>(j), 0.0f, 0.0f, 1.0f});
    flat.insert(flat.end(), net.begin() + 9, net.end());
    struct Case {
        const char* start;
        const char* end;
        int orderV;
        bool flatStart;
        const char* reason;
    };
    const Case cases[] = {
        {"tangent:0,0,0", "free", 3, false, "the start direction is zero"},
        {"free", "point:5,1,2", 3, false, "the end point (5, 1, 2) lies in the plane of the last"},
        {"point:3,0,0", "free", 3, false, "lies in the plane of the first"},  // a side pole
        {"point", "free", 2, false, "degree of at least 2"},
        {"tangent", "free", 3, true, "first section has no plane"},
        {"point:0,0,-1", "free", 3, true, "first section has no plane"},
    };
    for (const Case& c : cases) {
        const SurfaceModel s = circleLoft(c.flatStart ? flat : net, c.orderV);
        LoftOptions options;
        options.start = endOf(c.start);
        options.end = endOf(c.end);
        DerivedNets derived;
        derived.skinnedNet.assign(3, PointH{1, 2, 3, 4});
        derived.skinnedKnotsV = {7.0f};
        std::string refusal;
        EXPECT_FALSE(skinSurface(s, options, derived, refusal)) << c.start << " " << c.end;
        EXPECT_NE(refusal.find(c.reason), std::string::npos) << refusal;
        EXPECT_EQ(derived.skinnedNet.size(), 3u);
        EXPECT_EQ(derived.skinnedKnotsV, std::vector<float>{7.0f});
    }
}

TEST(LoftEnds, ParsesTheCommandLineWords) {
    struct Case {
        const char* text;
        bool ok;
        LoftEndKind kind;
        bool given;
        float x, y, z;
    };
    const Case cases[] = {
        {"free", true, LoftEndKind::free, false, 0, 0, 0},
        {"point", true, LoftEndKind::point, false, 0, 0, 0},
        {"point:1,-2.5,3e1", true, LoftEndKind::point, true, 1, -2.5f, 30},
        {"tangent", true, LoftEndKind::tangent, false, 0, 0, 0},
        {"tangent:0,0,1", true, LoftEndKind::tangent, true, 0, 0, 1},
        {"tangent:1,2", false, LoftEndKind::free, false, 0, 0, 0},
        {"tangent:1,2,3,4", false, LoftEndKind::free, false, 0, 0, 0},
        {"point:1,nan,2", false, LoftEndKind::free, false, 0, 0, 0},
        {"free:1,2,3", false, LoftEndKind::free, false, 0, 0, 0},
        {"pointy", false, LoftEndKind::free, false, 0, 0, 0},
        {"", false, LoftEndKind::free, false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        LoftEnd end;
        end.bulge = 2.0f;
        std::string problem;
        EXPECT_EQ(parseLoftEnd(c.text, end, problem), c.ok) << c.text;
        EXPECT_EQ(end.kind, c.kind) << c.text;  // a refused word leaves the end as it was
        EXPECT_EQ(end.given, c.given) << c.text;
        EXPECT_EQ(end.vector[0], c.x);
        EXPECT_EQ(end.vector[1], c.y);
        EXPECT_EQ(end.vector[2], c.z);
        EXPECT_EQ(end.bulge, 2.0f);
        EXPECT_EQ(problem.empty(), c.ok) << c.text;
    }
}

TEST(LoftEnds, APanelChangeIsOneUndoableStepAndARefusalChangesNothing) {
    testsupport::EditorScope scope;
    std::vector<PointH> net;
    for (float z : {0.0f, 1.0f, 2.0f}) appendCircle(net, 1.0f, z);
    editor = EditorState();
    editor.surface = circleLoft(net, 3);
    editor.panel.skinningEnabled = 1;
    ASSERT_TRUE(computeSkinning(editor));
    const std::vector<PointH> freeNet = editor.derived.skinnedNet;

    ASSERT_TRUE(setLoftEnd(editor, true, endOf("point")));
    EXPECT_EQ(editor.derived.skinnedNet.size(), freeNet.size() + 18);
    const std::vector<PointH> poleNet = editor.derived.skinnedNet;

    // A direction of zero is refused: the panel, the surface and the history stay.
    const size_t steps = editor.history.undoSteps.size();
    EXPECT_FALSE(setLoftEnd(editor, false, endOf("tangent:0,0,0")));
    EXPECT_EQ(editor.panel.loftEnd.kind, LoftEndKind::free);
    EXPECT_EQ(editor.derived.skinnedNet.size(), poleNet.size());
    EXPECT_EQ(editor.history.undoSteps.size(), steps);
    EXPECT_NE(std::string(editor.panel.statusLine).find("direction is zero"), std::string::npos);

    ASSERT_TRUE(undoEdit(editor));
    EXPECT_EQ(editor.panel.loftStart.kind, LoftEndKind::free);
    ASSERT_EQ(editor.derived.skinnedNet.size(), freeNet.size());
    EXPECT_EQ(0,
              std::memcmp(editor.derived.skinnedNet.data(), freeNet.data(), freeNet.size() * 16));
    ASSERT_TRUE(redoEdit(editor));
    EXPECT_EQ(editor.panel.loftStart.kind, LoftEndKind::point);
    EXPECT_EQ(editor.derived.skinnedNet.size(), poleNet.size());
}

}  // namespace
