// The main view's surface drawn from the editor's own grid against GLU's picture of the same
// net, the grid after a drag against one evaluated afresh, and which nets the measured cost of
// GLU sends to the grid.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "input/history_keys.h"
#include "input/section_input.h"
#include "model/derived_nets.h"
#include "model/editor_state.h"
#include "model/loft_options.h"
#include "support/gui_test_env.h"
#include "support/main_window_probe.h"
#include "support/test_surface.h"
#include "view/glu_limits.h"
#include "view/grid_surface.h"
#include "view/main_view.h"
#include "view/section_view.h"

using testsupport::drawMainFrame;
using testsupport::MainFrame;

namespace {

// Which pixels a frame covers (off the background), grown by `reach` pixels each way.
std::vector<unsigned char> coverage(const MainFrame& frame, int reach) {
    const int w = frame.width, h = frame.height;
    std::vector<unsigned char> covered(static_cast<size_t>(w) * h, 0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const testsupport::Rgb p = frame.at(x, y);
            if (p.r != 204 || p.g != 204 || p.b != 204) {
                for (int dy = -reach; dy <= reach; ++dy) {
                    for (int dx = -reach; dx <= reach; ++dx) {
                        const int cx = x + dx, cy = y + dy;
                        if (cx >= 0 && cy >= 0 && cx < w && cy < h)
                            covered[static_cast<size_t>(cy) * w + cx] = 1;
                    }
                }
            }
        }
    }
    return covered;
}

// Pixels covered in one picture and not in the other, against those covered in either.
struct Overlap {
    int either = 0, onlyOne = 0;
};

Overlap overlap(const MainFrame& a, const MainFrame& b, int reach) {
    const std::vector<unsigned char> ca = coverage(a, reach), cb = coverage(b, reach);
    Overlap o;
    for (size_t i = 0; i < ca.size(); ++i) {
        o.either += ca[i] | cb[i];
        o.onlyOne += ca[i] ^ cb[i];
    }
    return o;
}

// Pixels whose colour differs by more than a rounding step.
int differingPixels(const MainFrame& a, const MainFrame& b) {
    int differing = 0;
    for (size_t i = 0; i + 2 < a.rgb.size(); i += 3) {
        int worst = 0;
        for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(a.rgb[i + c] - b.rgb[i + c]));
        if (worst > 2) ++differing;
    }
    return differing;
}

struct PictureCase {
    const char* name;
    const char* sample;  // file in examples/, or null for a count x count hull
    int count;
    float displayMode;
    float polar, azimuth, distance;
    int reach;           // pixels each picture's coverage is grown by before comparing
    double mostOnlyOne;  // share of the covered pixels covered in one picture only
};

void PrintTo(const PictureCase& c, std::ostream* out) {
    *out << c.name;
}

class GridSurfacePicture : public ::testing::TestWithParam<PictureCase> {
protected:
    void TearDown() override { setSurfaceTessellator(SurfaceTessellator::byCost); }
};

MainFrame frameBy(SurfaceTessellator tessellator) {
    setSurfaceTessellator(tessellator);
    drawMainFrame();
    return drawMainFrame();
}

// The same surface covers the same pixels whichever tessellator draws it. Filled, only the
// silhouette's edge pixels may round the other way; in outline the lines lie elsewhere inside
// the surface (GLU's sampling against the grid's steps), so each picture's lines are grown by
// a few pixels before comparing: a missing patch, a wrong polygon mode, a surface drawn at the
// wrong place or an outline with lines only at the knots changes far more.
TEST_P(GridSurfacePicture, CoversThePixelsOfGlusPicture) {
    const PictureCase& c = GetParam();
    testsupport::resetMainView();
    if (c.sample != nullptr) {
        ASSERT_TRUE(testsupport::loadSurface(testsupport::examplePath(c.sample)));
    } else {
        testsupport::setHull(c.count);
    }
    editor.panel.surfaceDisplayMode = c.displayMode;
    editor.view.cameraPolar = c.polar;
    editor.view.cameraAzimuth = c.azimuth;
    editor.view.cameraDistance = c.distance;
    const MainFrame glu = frameBy(SurfaceTessellator::glu);
    const MainFrame grid = frameBy(SurfaceTessellator::grid);
    const MainFrame none = [] {
        testsupport::clearSurface();
        return drawMainFrame();
    }();
    const int surfacePixels = glu.covered() - none.covered();
    EXPECT_GT(surfacePixels, 2000);
    const Overlap o = overlap(glu, grid, c.reach);
    EXPECT_LT(o.onlyOne, c.mostOnlyOne * o.either) << o.onlyOne << " of " << o.either;
    // Without the grown lines, the outline's grid covers about as many pixels as GLU's.
    const int gridSurfacePixels = grid.covered() - none.covered();
    EXPECT_GT(gridSurfacePixels, surfacePixels / 2);
    EXPECT_LT(gridSurfacePixels, surfacePixels * 2);
}

INSTANTIATE_TEST_SUITE_P(
    Nets, GridSurfacePicture,
    ::testing::Values(
        PictureCase{"vase_fill", "vase.surf", 0, kDisplayModeFill, 1.57f, 0.0f, 3.9f, 0, 0.02},
        PictureCase{"hull_fill", "hull.surf", 0, kDisplayModeFill, 1.2f, 0.7f, 3.9f, 0, 0.02},
        PictureCase{"bottle_fill", "bottle.surf", 0, kDisplayModeFill, 1.0f, 2.0f, 3.9f, 0, 0.02},
        PictureCase{"hull20_near_fill", nullptr, 20, kDisplayModeFill, 0.6f, 0.3f, 1.2f, 0, 0.02},
        PictureCase{"vase_outline", "vase.surf", 0, kDisplayModeOutline, 1.57f, 0.0f, 3.9f, 4,
                    0.03},
        PictureCase{"hull_outline", "hull.surf", 0, kDisplayModeOutline, 1.2f, 0.7f, 3.9f, 4, 0.03},
        PictureCase{"hull20_outline", nullptr, 20, kDisplayModeOutline, 1.3f, 0.4f, 3.9f, 4, 0.03}),
    [](const ::testing::TestParamInfo<PictureCase>& info) { return std::string(info.param.name); });

// With "mirror" on, the half-model's mirror image is drawn from the kept tessellation by
// either tessellator: the hull mirrored across y = 0.6 covers about as many pixels more
// whichever draws it, and the same ones.
TEST_F(GridSurfacePicture, TheMirrorImageIsDrawnByEitherTessellator) {
    testsupport::resetMainView();
    ASSERT_TRUE(testsupport::loadSurface(testsupport::examplePath("hull.surf")));
    editor.panel.surfaceDisplayMode = kDisplayModeFill;
    editor.view.cameraDistance = 6.0f;
    const MainFrame half = frameBy(SurfaceTessellator::glu);
    editor.panel.mirrorEnabled = 1;
    editor.panel.mirrorPlane = {1, 0.6f};
    const MainFrame glu = frameBy(SurfaceTessellator::glu);
    const MainFrame grid = frameBy(SurfaceTessellator::grid);
    editor.panel.mirrorEnabled = 0;
    editor.panel.mirrorPlane = MirrorPlane();
    EXPECT_GT(glu.covered() - half.covered(), 1000);
    const Overlap o = overlap(glu, grid, 0);
    EXPECT_LT(o.onlyOne, 0.02 * o.either) << o.onlyOne << " of " << o.either;
}

// A drag moves one point of a 60 x 40 net: the grid evaluated again only where that point
// reaches draws what a grid evaluated afresh for the moved net draws. Skinned with uniform
// section parameters, the move changes one column of the skinned net and not its knots.
TEST(GridSurfaceDrag, PartlyEvaluatedGridDrawsTheMovedNet) {
    struct Case {
        float mode;
        bool skinned;
    };
    for (const Case c : {Case{kDisplayModeFill, false}, Case{kDisplayModeOutline, false},
                         Case{kDisplayModeFill, true}}) {
        testsupport::resetMainView();
        editor.panel.surfaceDisplayMode = c.mode;
        editor.view.cameraPolar = 1.2f;
        editor.view.cameraAzimuth = 0.5f;
        std::vector<PointH> net;
        for (int v = 0; v < 40; ++v) {
            for (int u = 0; u < 60; ++u) {
                net.push_back(testsupport::weighted(-0.8f + 1.6f * u / 59.0f,
                                                    0.1f * std::sin(0.3f * (u + v)),
                                                    -0.6f + 1.2f * v / 39.0f, 1.0f));
            }
        }
        testsupport::setSurface(60, 40, 4, 3, net);
        editor.panel.skinningEnabled = c.skinned ? 1 : 0;
        editor.panel.loftParameters = static_cast<int32_t>(LoftParameters::uniform);
        syncDerivedNets(editor);
        setSurfaceTessellator(SurfaceTessellator::grid);
        const MainFrame before = drawMainFrame();
        PointH& moved = editor.surface.controlNet[20 * 60 + 30];
        moved.y += 0.5f;
        syncDerivedNets(editor);
        const MainFrame dragged = drawMainFrame();
        EXPECT_TRUE(lastGridSurfaceFrame().partial) << c.skinned;
        releaseGridSurface();
        const MainFrame afresh = drawMainFrame();
        EXPECT_FALSE(lastGridSurfaceFrame().partial);
        setSurfaceTessellator(SurfaceTessellator::byCost);
        editor.panel.skinningEnabled = 0;
        editor.panel.loftParameters = 0;
        // The bump shows, and only the parameters' spacing (kept from before the drag, or
        // chosen afresh) may differ: a few shading levels along the lit sheet's folds, on both
        // of its lit sides.
        EXPECT_GT(differingPixels(before, dragged), 200) << c.mode << " " << c.skinned;
        const int differing = differingPixels(dragged, afresh);
        EXPECT_LT(differing, afresh.covered() / 50) << c.mode << " " << c.skinned;
    }
}

// The main scene's camera and lights, then over a cleared window the surface's grid alone (of
// the skinned net while skinning is on), as the main scene left it: its nets hide it at
// 100 x 100.
void drawGridAlone() {
    drawMainScene(editor.surface, editor.derived, editor.selection, editor.panel, editor.view,
                  editor.handles.surfaceRenderer);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const SurfaceModel& s = editor.surface;
    const DerivedNets& d = editor.derived;
    const bool skinned = editor.panel.skinningEnabled != 0;
    const std::vector<PointH>& points = skinned ? d.skinnedNet : s.controlNet;
    NetSurface net;
    net.net = points.data();
    net.countU = s.countU;
    net.countV = static_cast<int>(points.size() / static_cast<size_t>(s.countU));
    net.orderU = s.orderU;
    net.orderV = s.orderV;
    net.knotsU = s.knotsU.data();
    net.knotsV = skinned ? d.skinnedKnotsV.data() : s.knotsV.data();
    drawGridSurface(net, editor.panel.surfaceDisplayMode != kDisplayModeFill);
}

MainFrame gridAlone() {
    MainFrame f;
    f.rgb =
        testsupport::drawAndReadBack(editor.handles.mainWindow, drawGridAlone, &f.width, &f.height);
    return f;
}

// A drag step on a 100 x 100 hull skinned with chord-length section parameters moves every
// skinned point and the knots across the sections a little: the grid keeps its parameters,
// moved with the knots, and evaluated again whole, draws the bump.
TEST(GridSurfaceDrag, SkinnedStepMovingEveryPointDrawsTheMovedNet) {
    testsupport::resetMainView();
    testsupport::setHull(100);
    editor.panel.surfaceDisplayMode = kDisplayModeOutline;
    editor.panel.skinningEnabled = 1;
    syncDerivedNets(editor);
    setSurfaceTessellator(SurfaceTessellator::grid);
    const MainFrame before = gridAlone();
    const std::vector<float> knotsBefore = editor.derived.skinnedKnotsV;
    editor.surface.controlNet[50 * 100 + 30].y += 0.3f;
    syncDerivedNets(editor);
    ASSERT_NE(editor.derived.skinnedKnotsV, knotsBefore);
    const MainFrame dragged = gridAlone();
    releaseGridSurface();
    const MainFrame afresh = gridAlone();
    setSurfaceTessellator(SurfaceTessellator::byCost);
    editor.panel.skinningEnabled = 0;
    // The bump shows; the lines, spread over the spans by a demand the bump changed, lie
    // elsewhere in a grid chosen afresh, over as many pixels give or take a few.
    EXPECT_GT(differingPixels(before, dragged), 50);
    EXPECT_LE(std::abs(dragged.covered() - afresh.covered()), afresh.covered() / 50);
}

// Knots across the sections warped by up to half a percent of their range, as a drag with
// skinning moves them: the grid's parameters, moved with the knots, draw what a grid chosen
// afresh draws (the steps a span takes follow its control polygon, not its knots).
TEST(GridSurfaceDrag, ParametersFollowKnotsThatDrift) {
    testsupport::resetMainView();
    testsupport::setHull(100);
    editor.panel.surfaceDisplayMode = kDisplayModeOutline;
    syncDerivedNets(editor);
    setSurfaceTessellator(SurfaceTessellator::grid);
    const MainFrame before = gridAlone();
    for (float& t : editor.surface.knotsV) t += 0.02f * t * (1.0f - t);
    syncDerivedNets(editor);
    const MainFrame moved = gridAlone();
    releaseGridSurface();
    const MainFrame afresh = gridAlone();
    setSurfaceTessellator(SurfaceTessellator::byCost);
    // The lines moved; the two grids round their parameters apart, at a pixel or so.
    EXPECT_GT(differingPixels(before, moved), 5);
    EXPECT_LE(differingPixels(moved, afresh), 10);
}

// The largest net the editor takes, 1000 x 1000, skinned: the main view draws it (past GLU's
// bound, from the grid) in both modes, a drag in the section window moves a point and skins
// again, and undo brings the net back bit for bit.
TEST(LargestNet, IsDrawnDraggedAndUndone) {
    testsupport::resetMainView();
    testsupport::setHull(1000);
    editor.panel.skinningEnabled = 1;
    editor.selection.currentSection = 500;
    editor.selection.selectedPoint = 500;
    syncDerivedNets(editor);
    ASSERT_EQ(editor.derived.skinnedNet.size(), 1000000u);
    const std::vector<PointH> before = editor.surface.controlNet;
    for (const float mode : {kDisplayModeOutline, kDisplayModeFill}) {
        editor.panel.surfaceDisplayMode = mode;
        const MainFrame frame = drawMainFrame();
        EXPECT_GT(frame.covered(), 20000) << mode;
        EXPECT_GT(lastGridSurfaceFrame().columns, 10);
        EXPECT_LE(lastGridSurfaceFrame().columns, 640);
    }
    glutSetWindow(editor.handles.sectionWindow);
    sectionDisplay();
    sectionMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 200, 120);
    sectionMotion(230, 140);
    sectionMouse(GLUT_LEFT_BUTTON, GLUT_UP, 230, 140);
    EXPECT_NE(std::memcmp(editor.surface.controlNet.data(), before.data(),
                          before.size() * sizeof(PointH)),
              0);
    drawMainFrame();
    ASSERT_TRUE(handleHistoryKey('z' & 0x1f, GLUT_ACTIVE_CTRL)) << editor.panel.statusLine;
    ASSERT_EQ(editor.surface.controlNet.size(), before.size());
    EXPECT_EQ(std::memcmp(editor.surface.controlNet.data(), before.data(),
                          before.size() * sizeof(PointH)),
              0);
    EXPECT_GT(drawMainFrame().covered(), 20000);
    testsupport::setBulgedSurface();
}

// GLU's measured tessellations, and whether it is expected to draw a net within a frame.
struct CostCase {
    const char* name;
    std::vector<std::pair<long long, double>> measured;  // patches, milliseconds
    long long points, patches;
    bool glu;
};

TEST(GluCostDecides, TheNetsGluDrawsWithinAFrame) {
    const std::vector<CostCase> cases = {
        {"nothing measured, a 100 x 100 net", {}, 10000, 9409, true},
        {"nothing measured, past GLU's own bound", {}, 250001, 1000, false},
        {"nothing measured, a 200 x 200 net", {}, 40000, 38809, true},
        {"nothing measured, a 500 x 500 net goes untried", {}, 250000, 247009, false},
        {"100 x 100 took 70 ms", {{9409, 70.0}}, 10000, 9409, false},
        {"100 x 100 took 70 ms, then a 60 x 60 net", {{9409, 70.0}}, 3600, 3249, false},
        {"100 x 100 took 70 ms, 50 x 50 stays", {{9409, 70.0}}, 2500, 2209, true},
        {"the lowest rate predicts", {{20000, 60.0}, {9409, 14.0}}, 10000, 10000, true},
        {"small tessellations do not rate", {{900, 10.0}}, 10000, 9409, true},
        {"a 4 x 4 net on a slow machine", {{2209, 400.0}}, 16, 1, true},
        {"a fast machine draws past a frame's patches", {{9409, 5.0}}, 40000, 29000, true},
        {"a fast machine, far past", {{9409, 5.0}}, 160000, 150000, false},
        {"a close view took longer than the rate says",
         {{9409, 5.0}, {4000, 30.0}},
         4900,
         4500,
         false},
        {"and a net of fewer patches still stays", {{9409, 5.0}, {4000, 30.0}}, 3600, 3249, true},
        {"a slow 50 x 50 frame keeps GLU below the floor", {{2209, 40.0}}, 2500, 2209, true},
    };
    for (const CostCase& c : cases) {
        GluCost cost;
        for (const auto& [patches, ms] : c.measured) recordGluTessellation(cost, patches, ms);
        EXPECT_EQ(gluHoldsFrame(cost, c.points, c.patches), c.glu) << c.name;
    }
}

// Patches are the knot spans of positive width, both ways: repeated knots make none.
TEST(GluCostDecides, PatchesCountOnlySpansOfPositiveWidth) {
    const float cubic5[] = {0, 0, 0, 0, 0.5f, 1, 1, 1, 1};  // 5 points, order 4: 2 spans
    const float repeated7[] = {0, 0, 0, 0.3f, 0.3f, 0.3f, 1, 1, 1, 1};  // 7 points, order 3: 2
    const float linear3[] = {0, 1, 2, 3, 4};                            // 3 points, order 2: 2
    EXPECT_EQ(bezierPatches(cubic5, 5, 4, repeated7, 7, 3), 4);
    EXPECT_EQ(bezierPatches(linear3, 3, 2, cubic5, 5, 4), 4);
    EXPECT_EQ(bezierPatches(repeated7, 7, 3, repeated7, 7, 3), 4);
}

// Whether a net may go to GLU, against every point taken through both matrices in long double
// here: nets the quick bound admits, nets it cannot admit that still fit (the point by point
// check decides), and nets with a value or a projected point out of range.
TEST(GluRange, AgreesWithEveryPointProjected) {
    // The net's x, y and z run over +-scale, its last point has the weight, the model-view
    // matrix scales x and y by zoom.
    const struct {
        const char* name;
        float scale, weight;
        double zoom;
    } cases[] = {
        {"an ordinary net", 2.0f, 1.0f, 1.0},
        {"large values, zoomed out", 4e14f, 1.0f, 0.5},
        {"a large weight that still fits", 1.0f, 7e14f, 1.0},
        {"zoomed in past the range", 4e14f, 1.0f, 8.0},
        {"a value past the range", 2e15f, 1.0f, 1e-3},
        {"a weight of NaN", 1.0f, std::nanf(""), 1.0},
    };
    glutSetWindow(editor.handles.mainWindow);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(-2.0, 2.0, -1.5, 1.5, 1.0, 10.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    for (const auto& c : cases) {
        std::vector<PointH> net;
        for (int i = 0; i < 5; ++i)
            net.push_back({c.scale * (i - 2) / 2.0f, c.scale * 0.3f, -c.scale, 1.0f});
        net.back().w = c.weight;
        const float knots[] = {0.0f, 0.0f, 0.5f, 1.0f, 1.0f};
        glLoadIdentity();
        glScaled(c.zoom, c.zoom, 1.0);
        double mv[16], pr[16];
        glGetDoublev(GL_MODELVIEW_MATRIX, mv);
        glGetDoublev(GL_PROJECTION_MATRIX, pr);
        bool expected = true;
        for (const PointH& p : net) {
            const long double in[4] = {p.x, p.y, p.z, p.w};
            for (int r = 0; r < 4; ++r) {
                long double clip = 0.0L;
                for (int k = 0; k < 4; ++k) {
                    long double eye = 0.0L;
                    for (int j = 0; j < 4; ++j) eye += mv[4 * j + k] * in[j];
                    clip += pr[4 * k + r] * eye;
                }
                expected = expected && std::fabs(in[r]) <= 1e15L && std::fabs(clip) <= 1e15L;
            }
        }
        EXPECT_EQ(fitsGluRange(net.data(), net.size(), knots, 5), expected) << c.name;
    }
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

}  // namespace
