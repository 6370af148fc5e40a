// The main view's kept tessellation of the surface: the picture matches GLU drawing the surface
// itself, outline and filled, and the tessellation is redone exactly when something that shapes
// it changes.
#include <GL/freeglut.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "input/section_input.h"
#include "model/editor_state.h"
#include "model/section_centroid.h"
#include "support/gui_test_env.h"
#include "support/main_window_probe.h"
#include "support/test_surface.h"
#include "view/main_view.h"
#include "view/nurbs_renderers.h"
#include "view/section_view.h"
#include "view/surface_cache.h"

using testsupport::drawMainFrame;
using testsupport::MainFrame;
using testsupport::setHull;

namespace {

struct Difference {
    int covered = 0;    // pixels off the background in GLU's own picture
    int differing = 0;  // pixels whose colour differs by more than a rounding step
};

Difference compare(const MainFrame& reference, const MainFrame& cached) {
    Difference d;
    for (size_t i = 0; i + 2 < reference.rgb.size(); i += 3) {
        const unsigned char* a = &reference.rgb[i];
        const unsigned char* b = &cached.rgb[i];
        if (a[0] != 204 || a[1] != 204 || a[2] != 204) ++d.covered;
        int worst = 0;
        for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(a[c] - b[c]));
        if (worst > 2) ++d.differing;
    }
    return d;
}

struct PictureCase {
    const char* name;
    const char* sample;  // file in examples/, or null for the 50 x 50 hull
    float displayMode;
    float polar, azimuth, distance;
};

void PrintTo(const PictureCase& c, std::ostream* out) {
    *out << c.name;
}

// The case's display mode and camera.
void view(const PictureCase& c) {
    editor.panel.surfaceDisplayMode = c.displayMode;
    editor.view.cameraPolar = c.polar;
    editor.view.cameraAzimuth = c.azimuth;
    editor.view.cameraDistance = c.distance;
}

class SurfaceCachePicture : public ::testing::TestWithParam<PictureCase> {
protected:
    void TearDown() override { setSurfaceCaching(true); }
};

TEST_P(SurfaceCachePicture, MatchesGluDrawingTheSurfaceItself) {
    const PictureCase& c = GetParam();
    testsupport::resetMainView();
    if (c.sample != nullptr) {
        ASSERT_TRUE(testsupport::loadSurface(testsupport::examplePath(c.sample)));
    } else {
        setHull(50);
    }
    view(c);
    // Each path starts from GL's initial normal and draws a frame before the one compared: GL
    // state a frame leaves behind (the current normal the net is lit with) reaches the next.
    setSurfaceCaching(true);
    glNormal3f(0.0f, 0.0f, 1.0f);
    drawMainFrame();
    const MainFrame cached = drawMainFrame();
    setSurfaceCaching(false);
    glNormal3f(0.0f, 0.0f, 1.0f);
    drawMainFrame();
    const MainFrame reference = drawMainFrame();
    setSurfaceCaching(true);
    const Difference d = compare(reference, cached);
    EXPECT_GT(d.covered, 5000);
    // The same primitives, evaluated by GLU's own code instead of Mesa's evaluators (and, on the
    // rational bottle, lit from divided instead of homogeneous vertices), so some pixels round the
    // other way, by a few levels: on the bottle seen from above, its lit inside through the neck
    // adds about 1.3%. A lost patch or a wrong polygon mode changes thousands.
    EXPECT_LT(d.differing, d.covered / 50) << d.differing << " of " << d.covered;
}

INSTANTIATE_TEST_SUITE_P(
    Samples, SurfaceCachePicture,
    ::testing::Values(
        PictureCase{"vase_outline", "vase.surf", kDisplayModeOutline, 1.57f, 0.0f, 3.9f},
        PictureCase{"vase_fill", "vase.surf", kDisplayModeFill, 1.57f, 0.0f, 3.9f},
        PictureCase{"hull_outline", "hull.surf", kDisplayModeOutline, 1.2f, 0.7f, 3.9f},
        PictureCase{"hull_fill", "hull.surf", kDisplayModeFill, 1.2f, 0.7f, 3.9f},
        PictureCase{"bottle_outline", "bottle.surf", kDisplayModeOutline, 1.0f, 2.0f, 3.9f},
        PictureCase{"bottle_fill", "bottle.surf", kDisplayModeFill, 1.0f, 2.0f, 3.9f},
        PictureCase{"hull50_outline", nullptr, kDisplayModeOutline, 1.3f, 0.4f, 3.9f},
        PictureCase{"hull50_fill", nullptr, kDisplayModeFill, 1.3f, 0.4f, 3.9f},
        PictureCase{"hull50_near_outline", nullptr, kDisplayModeOutline, 0.6f, 0.3f, 0.9f},
        PictureCase{"hull50_near_fill", nullptr, kDisplayModeFill, 0.6f, 0.3f, 0.9f}),
    [](const ::testing::TestParamInfo<PictureCase>& info) { return std::string(info.param.name); });

}  // namespace

namespace {

class SurfaceCacheReuse : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::resetMainView();
        setHull(8);
        drawMainFrame();
    }
};

// What a frame drawn by GLU itself prints.
std::string printedByGluDrawing() {
    setSurfaceCaching(false);
    testing::internal::CaptureStdout();
    drawMainFrame();
    const std::string printed = testing::internal::GetCapturedStdout();
    setSurfaceCaching(true);
    return printed;
}

// Tessellations one more frame runs.
long tessellationsOfOneFrame() {
    const long before = surfaceTessellationCount();
    drawMainFrame();
    return surfaceTessellationCount() - before;
}

TEST_F(SurfaceCacheReuse, AnimationFramesOfAnUnchangedSurfaceDoNotTessellate) {
    for (int i = 0; i < 3; ++i) {
        editor.view.probeU += 0.01f;
        editor.selection.pickedPointOffset = 4 * i;
        EXPECT_EQ(tessellationsOfOneFrame(), 0) << "frame " << i;
    }
}

TEST_F(SurfaceCacheReuse, EverythingThatShapesTheTessellationRedoesIt) {
    struct Change {
        const char* what;
        void (*apply)();
    };
    const Change changes[] = {
        {"point moved", [] { editor.surface.controlNet[10].y += 0.01f; }},
        {"weight changed", [] { editor.surface.controlNet[10].w = 0.5f; }},
        {"knot moved", [] { editor.surface.knotsU[5] += 0.01f; }},
        {"display mode", [] { editor.panel.surfaceDisplayMode = kDisplayModeFill; }},
        {"camera turned", [] { editor.view.cameraAzimuth += 0.05f; }},
        {"camera closer", [] { editor.view.cameraDistance -= 0.1f; }},
        {"window resized", [] { mainReshape(600, 480); }},
        {"skinned net shown",
         [] {
             editor.panel.skinningEnabled = 1;
             editor.derived.skinnedNet = editor.surface.controlNet;
             editor.derived.skinnedNet[3].z += 0.05f;
             editor.derived.skinnedKnotsV = editor.surface.knotsV;
         }},
    };
    for (const Change& change : changes) {
        change.apply();
        EXPECT_EQ(tessellationsOfOneFrame(), 1) << change.what;
        EXPECT_EQ(tessellationsOfOneFrame(), 0) << change.what << ", next frame";
    }
    mainReshape(640, 480);
}

// GLU refuses a surface on every frame that draws it, and the cache replays its errors: a bad
// knot vector once printed hundreds of lines a second. The first error, which names the cause,
// is printed once, and on the status line, until the surface changes; the section view's curve
// meets the same cause.
TEST_F(SurfaceCacheReuse, EachNurbsErrorIsPrintedOnceUntilTheSurfaceChanges) {
    forgetReportedNurbsErrors();
    editor.surface.knotsU[5] = editor.surface.knotsU[6] + 0.1f;  // out of order
    const std::string direct = printedByGluDrawing();
    ASSERT_EQ(direct.rfind("Nurbs Error: ", 0), 0u) << direct;
    EXPECT_NE(std::string(editor.panel.statusLine).find(direct.substr(0, direct.size() - 1)),
              std::string::npos)
        << editor.panel.statusLine;
    const struct {
        const char* what;
        void (*apply)();
        int lines;  // "Nurbs Error" lines printed by the step and three frames
    } steps[] = {
        {"the same surface, cached", [] {}, 0},
        {"filled instead of outlined", [] { editor.panel.surfaceDisplayMode = kDisplayModeFill; },
         0},
        {"the section view's own error, drawn three times",
         [] {
             for (int frame = 0; frame < 3; ++frame) {
                 glutSetWindow(editor.handles.sectionWindow);
                 sectionDisplay();
             }
         },
         0},
        {"a knot edited, still out of order", [] { editor.surface.knotsU[5] += 0.05f; }, 1},
        {"the knots back in order", [] { editor.surface.knotsU[5] = editor.surface.knotsU[4]; }, 0},
        {"out of order again", [] { editor.surface.knotsU[5] += 0.5f; }, 1},
    };
    for (const auto& step : steps) {
        testing::internal::CaptureStdout();
        step.apply();
        for (int frame = 0; frame < 3; ++frame) drawMainFrame();
        const std::string printed = testing::internal::GetCapturedStdout();
        int lines = 0;
        for (size_t at = printed.find("Nurbs Error: "); at != std::string::npos;
             at = printed.find("Nurbs Error: ", at + 1)) {
            ++lines;
        }
        EXPECT_EQ(lines, step.lines) << step.what << ": " << printed;
    }
}

}  // namespace

namespace {

// A drag step with skinning on skins again and draws the main view once, with the skinned
// surface; the section view was drawn just before.
TEST(SectionDragRedraw, OneDragStepDrawsTheMainViewOnceWithTheNewSkinnedSurface) {
    testsupport::resetMainView();
    setHull(6);
    editor.selection.currentSection = 2;
    editor.selection.selectedPoint = 3;
    editor.panel.skinningEnabled = 1;
    syncDerivedNets(editor);
    computeSectionCentroid(editor.surface, editor.selection.currentSection,
                           editor.selection.sectionCentroid);
    glutSetWindow(editor.handles.sectionWindow);
    sectionDisplay();
    // The selected point, through the section window's matrices (GLUT pixels, y down).
    const PointH& selected = editor.surface.controlNet[2 * 6 + 3];
    GLdouble modelView[16], projection[16], wx = 0, wy = 0, wz = 0;
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelView);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    gluProject(selected.x / selected.w, selected.y / selected.w, selected.z / selected.w, modelView,
               projection, viewport, &wx, &wy, &wz);
    const struct { int x, y; } p = {static_cast<int>(wx), viewport[3] - static_cast<int>(wy)};
    sectionMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, p.x, p.y);
    testsupport::pumpEvents(1);  // the frames the press asked for
    const std::vector<PointH> skinnedBefore = editor.derived.skinnedNet;
    const long frames = mainFrameCount();
    const long tessellations = surfaceTessellationCount();
    sectionMotion(p.x + 12, p.y - 9);
    testsupport::pumpEvents(1);
    EXPECT_EQ(mainFrameCount(), frames + 1);
    EXPECT_EQ(surfaceTessellationCount(), tessellations + 1);
    ASSERT_EQ(editor.derived.skinnedNet.size(), skinnedBefore.size());
    EXPECT_NE(std::memcmp(editor.derived.skinnedNet.data(), skinnedBefore.data(),
                          skinnedBefore.size() * sizeof(PointH)),
              0);
    sectionMouse(GLUT_LEFT_BUTTON, GLUT_UP, p.x + 12, p.y - 9);
    editor.panel.skinningEnabled = 0;
}

}  // namespace

namespace {

// A large surface is tessellated in two parts on two threads; the picture is the one the whole
// surface gives, in every display mode and view, and in later frames drawn from the kept lists.
class SurfaceCutInParts : public ::testing::TestWithParam<PictureCase> {
protected:
    void TearDown() override { setSurfaceCutting(true); }
};

// A hull whose t knots are uneven, with a double and a full-order interior knot, and whose s
// direction has more spans than t, so the cut runs across s.
void setUnevenHull() {
    setHull(50);
    std::vector<PointH> net(editor.surface.controlNet.begin(),
                            editor.surface.controlNet.begin() + 50 * 20);
    for (PointH& p : net) p.w = 1.0f;
    for (size_t i = 0; i < net.size(); i += 7) {
        PointH& p = net[i];
        p = testsupport::weighted(p.x, p.y, p.z, 1.6f);
    }
    testsupport::setSurface(50, 20, 4, 3, net);
    float* t = editor.surface.knotsV.data();  // 23 knots, order 3: 0 0 0 | 20 interior | 1 1 1
    for (int i = 3; i < 20; ++i) {
        const float x = static_cast<float>(i - 2) / 18.0f;
        t[i] = x * x * (3.0f - 2.0f * x);
    }
    t[8] = t[7];
    t[13] = t[12] = t[11];
}

TEST_P(SurfaceCutInParts, DrawsThePictureOfTheWholeSurface) {
    const PictureCase& c = GetParam();
    testsupport::resetMainView();
    if (c.sample != nullptr) {
        setUnevenHull();
    } else {
        setHull(50);
    }
    view(c);
    setSurfaceCutting(false);
    clearSurfaceCache();
    glNormal3f(0.0f, 0.0f, 1.0f);
    drawMainFrame();
    const MainFrame whole = drawMainFrame();
    setSurfaceCutting(true);
    clearSurfaceCache();
    const long inParts = surfaceTessellationInPartsCount();
    glNormal3f(0.0f, 0.0f, 1.0f);
    drawMainFrame();
    clearSurfaceCache();
    const MainFrame cut = drawMainFrame();
    EXPECT_EQ(surfaceTessellationInPartsCount(), inParts + 2);
    const MainFrame kept = drawMainFrame();
    EXPECT_EQ(surfaceTessellationInPartsCount(), inParts + 2);
    const Difference d = compare(whole, cut);
    EXPECT_GT(d.covered, 5000);
    EXPECT_EQ(d.differing, 0) << "of " << d.covered;
    EXPECT_EQ(compare(whole, kept).differing, 0);
}

INSTANTIATE_TEST_SUITE_P(
    LargeSurfaces, SurfaceCutInParts,
    ::testing::Values(
        PictureCase{"hull50_outline", nullptr, kDisplayModeOutline, 1.3f, 0.4f, 3.9f},
        PictureCase{"hull50_fill", nullptr, kDisplayModeFill, 1.3f, 0.4f, 3.9f},
        PictureCase{"hull50_near_outline", nullptr, kDisplayModeOutline, 0.6f, 0.3f, 0.9f},
        PictureCase{"uneven_outline", "uneven", kDisplayModeOutline, 1.1f, 0.9f, 3.2f},
        PictureCase{"uneven_fill", "uneven", kDisplayModeFill, 1.1f, 0.9f, 3.2f}),
    [](const ::testing::TestParamInfo<PictureCase>& info) { return std::string(info.param.name); });

TEST(SurfaceCutInPartsErrors, ALargeSurfaceGluRefusesIsReportedOnceAsWhole) {
    testsupport::resetMainView();
    setHull(50);
    editor.surface.knotsV[20] = editor.surface.knotsV[21] + 0.1f;
    const std::string direct = printedByGluDrawing();
    ASSERT_EQ(direct.rfind("Nurbs Error: ", 0), 0u) << direct;
    const long inParts = surfaceTessellationInPartsCount();
    forgetReportedNurbsErrors();
    testing::internal::CaptureStdout();
    drawMainFrame();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), direct);
    EXPECT_EQ(surfaceTessellationInPartsCount(), inParts);
}

}  // namespace
