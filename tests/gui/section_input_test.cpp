// Editing the current section with the mouse, the keys and the popup menu's "Add" and
// "Delete", through the real section window: clicks are placed by projecting model points to
// window pixels with the matrices the window's last frame used.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "input/section_input.h"
#include "model/editor_state.h"
#include "model/gui_hooks.h"
#include "model/knots.h"
#include "support/curve_shape.h"
#include "support/gui_test_env.h"
#include "support/section_surface.h"
#include "support/state_text.h"

using testsupport::SectionPoint;
using testsupport::sectionPoint;
using testsupport::sectionWindowPosition;
using testsupport::setSectionSurface;
using testsupport::stateText;

namespace {

// One window pixel is 1/160 unit across and high at zoom 1.
constexpr float kPixel = 1.0f / 100.0f;

// Five points with different weights in the plane x = 0; the other sections are copies at
// x = 0.1 and x = 0.2.
const std::vector<SectionPoint> kSection = {{0, -0.4f, -0.5f, 1.0f},
                                            {0, 0.0f, -0.3f, 0.5f},
                                            {0, 0.3f, 0.0f, 2.0f},
                                            {0, 0.0f, 0.3f, 1.0f},
                                            {0, -0.4f, 0.5f, 1.0f}};

class SectionEditing : public ::testing::Test {
protected:
    void SetUp() override {
        setSectionSurface(kSection, 3, 3, 2);
        editor.panel.skinningEnabled = 0;
        testsupport::drawSectionWindow();
    }

    // GLUT position of the model point (y, z) in the current section's plane, as the window
    // shows it now.
    static testsupport::WindowPosition at(float y, float z) {
        const bool inRange = editor.selection.currentSection >= 0 &&
                             editor.selection.currentSection < editor.surface.countV;
        return sectionWindowPosition(
            inRange ? sectionPoint(editor.selection.currentSection, 0).x : 0.0f, y, z);
    }

    static void press(int button, float y, float z) {
        const testsupport::WindowPosition p = at(y, z);
        sectionMouse(button, GLUT_DOWN, p.x, p.y);
    }
    static void release(int button, float y, float z) {
        const testsupport::WindowPosition p = at(y, z);
        sectionMouse(button, GLUT_UP, p.x, p.y);
    }
    static void drag(float y, float z) {
        const testsupport::WindowPosition p = at(y, z);
        sectionMotion(p.x, p.y);
    }
    // Where the pointer rests when the popup menu opens.
    static void hover(float y, float z) {
        const testsupport::WindowPosition p = at(y, z);
        sectionPassiveMotion(p.x, p.y);
    }
};

void expectAt(int section, int index, float y, float z, const char* what) {
    const SectionPoint p = sectionPoint(section, index);
    EXPECT_NEAR(p.y, y, kPixel) << what;
    EXPECT_NEAR(p.z, z, kPixel) << what;
}

}  // namespace

TEST_F(SectionEditing, PressSelectsTheNearestPointAndSnapsItKeepingWeightAndPlane) {
    const std::vector<PointH> before = editor.surface.controlNet;
    press(GLUT_LEFT_BUTTON, 0.05f, 0.25f);  // nearest to point 3

    EXPECT_EQ(editor.selection.selectedPoint, 3);
    expectAt(0, 3, 0.05f, 0.25f, "point 3 follows the pointer");
    EXPECT_EQ(editor.surface.controlNet[3].w, before[3].w);
    EXPECT_NEAR(sectionPoint(0, 3).x, 0.0f, 1e-6f);
    for (size_t i = 0; i < before.size(); ++i) {
        if (i == 3) continue;
        EXPECT_EQ(std::memcmp(&editor.surface.controlNet[i], &before[i], sizeof(PointH)), 0) << i;
    }
    EXPECT_EQ(glutGetWindow(), editor.handles.sectionWindow);
}

TEST_F(SectionEditing, PressMovesAWeightedPointInItsOwnPlane) {
    // Point 2 (weight 2) of section 1, which lies in the plane x = 0.1, while point 0 of that
    // section was selected.
    editor.selection.currentSection = 1;
    testsupport::drawSectionWindow();
    press(GLUT_LEFT_BUTTON, 0.35f, 0.05f);
    EXPECT_EQ(editor.selection.selectedPoint, 2);
    const PointH& p = editor.surface.controlNet[editor.surface.countU + 2];
    EXPECT_EQ(p.w, 2.0f);
    EXPECT_NEAR(p.x / p.w, 0.1f, 1e-6f);
    expectAt(1, 2, 0.35f, 0.05f, "weighted point");
}

TEST_F(SectionEditing, EquallyDistantPointsGoToTheLowerIndex) {
    // Points 1 and 3 in the same place: every pointer position is as far from one as from the
    // other.
    editor.surface.controlNet[3] = {0.0f, 0.0f, -0.3f, 1.0f};
    testsupport::drawSectionWindow();
    press(GLUT_LEFT_BUTTON, 0.02f, -0.28f);
    EXPECT_EQ(editor.selection.selectedPoint, 1);
}

TEST_F(SectionEditing, LeftDragMovesOnEveryStepAndTheReleaseHasTheLastWord) {
    press(GLUT_LEFT_BUTTON, -0.38f, -0.48f);
    ASSERT_EQ(editor.selection.selectedPoint, 0);
    drag(-0.3f, -0.4f);
    expectAt(0, 0, -0.3f, -0.4f, "first motion");
    drag(-0.2f, -0.45f);
    expectAt(0, 0, -0.2f, -0.45f, "second motion");
    release(GLUT_LEFT_BUTTON, -0.25f, -0.6f);
    expectAt(0, 0, -0.25f, -0.6f, "release");
    EXPECT_EQ(editor.surface.controlNet[0].w, 1.0f);
    // After the release, motion with no button held here and a left release whose press went
    // elsewhere (the click that picks a popup menu's entry) leave the point where it is.
    drag(0.1f, 0.1f);
    release(GLUT_LEFT_BUTTON, 0.2f, 0.3f);
    expectAt(0, 0, -0.25f, -0.6f, "stray motion and release");
}

// With "mirror" on, a point on the mirror plane stays on it through the press, the drag and the
// release; a point off the plane, or any point with "mirror" off, follows the pointer.
TEST_F(SectionEditing, PointsOnTheMirrorPlaneStayOnItWhileDragged) {
    const struct {
        const char* name;
        int mirror, axis;
        float offset;
        float fromY, fromZ;  // the press, nearest to the point
        float toY, toZ;      // the release
        float expectY, expectZ;
    } cases[] = {
        {"weighted point on z = 0", 1, 2, 0.0f, 0.3f, 0.0f, 0.4f, 0.12f, 0.4f, 0.0f},
        {"mirror off", 0, 2, 0.0f, 0.3f, 0.0f, 0.4f, 0.12f, 0.4f, 0.12f},
        {"point off the plane", 1, 2, 0.0f, 0.0f, -0.3f, 0.1f, -0.2f, 0.1f, -0.2f},
        {"point on y = 0.3", 1, 1, 0.3f, 0.3f, 0.0f, 0.45f, 0.1f, 0.3f, 0.1f},
        {"point on z = 0.3", 1, 2, 0.3f, 0.0f, 0.3f, 0.1f, 0.35f, 0.1f, 0.3f},
    };
    for (const auto& c : cases) {
        SetUp();
        editor.panel.mirrorEnabled = c.mirror;
        editor.panel.mirrorPlane = {c.axis, c.offset};
        press(GLUT_LEFT_BUTTON, c.fromY, c.fromZ);
        const int index = editor.selection.selectedPoint;
        drag((c.fromY + c.toY) / 2.0f, (c.fromZ + c.toZ) / 2.0f);
        release(GLUT_LEFT_BUTTON, c.toY, c.toZ);
        const SectionPoint p = sectionPoint(0, index);
        EXPECT_NEAR(p.y, c.expectY, kPixel) << c.name;
        EXPECT_NEAR(p.z, c.expectZ, kPixel) << c.name;
        // On the plane exactly, not within a pixel.
        if (c.mirror != 0 && c.axis == 2 && c.expectZ == c.offset) {
            EXPECT_EQ(p.z, c.offset) << c.name;
        }
        if (c.mirror != 0 && c.axis == 1 && c.expectY == c.offset) {
            EXPECT_EQ(p.y, c.offset) << c.name;
        }
    }
    editor.panel.mirrorEnabled = 0;
    editor.panel.mirrorPlane = MirrorPlane();
}

TEST_F(SectionEditing, MiddleButtonDragMovesNothing) {
    const std::vector<PointH> before = editor.surface.controlNet;
    press(GLUT_MIDDLE_BUTTON, 0.1f, 0.1f);
    drag(0.2f, 0.2f);
    drag(0.25f, -0.2f);
    release(GLUT_MIDDLE_BUTTON, 0.25f, -0.2f);
    EXPECT_EQ(std::memcmp(editor.surface.controlNet.data(), before.data(),
                          before.size() * sizeof(PointH)),
              0);
    EXPECT_EQ(editor.selection.selectedPoint, 0);
}

TEST_F(SectionEditing, ZoomStepsAndAPressAtZoomZeroChangesNothing) {
    for (int i = 0; i < 3; ++i) sectionKeyboard('+', 0, 0);
    EXPECT_EQ(editor.view.sectionZoom, 1.75f);
    editor.view.sectionZoom = 1.0f;
    for (int i = 0; i < 4; ++i) sectionKeyboard('-', 0, 0);
    EXPECT_EQ(editor.view.sectionZoom, 0.0f);
    testsupport::drawSectionWindow();  // the press meets the window as drawn at zoom zero

    const std::string before = stateText(editor);
    sectionMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 40, 60);
    sectionMotion(200, 100);
    sectionMouse(GLUT_LEFT_BUTTON, GLUT_UP, 250, 30);
    sectionPassiveMotion(100, 100);
    addSectionPoint();
    deleteSectionPoint();
    editor.view.sectionMouseX = editor.view.sectionMouseY = 0;
    EXPECT_EQ(stateText(editor), before);
}

TEST_F(SectionEditing, NextPointWrapsToTheFirst) {
    const int steps[][2] = {{0, 1}, {3, 4}, {4, 0}};
    for (const auto& step : steps) {
        editor.selection.selectedPoint = step[0];
        sectionKeyboard('n', 0, 0);
        EXPECT_EQ(editor.selection.selectedPoint, step[1]) << "from " << step[0];
    }
}

TEST_F(SectionEditing, ArrowKeysPanSidewaysAlongZAndUpDownAlongY) {
    sectionSpecial(GLUT_KEY_LEFT, 0, 0);
    EXPECT_EQ(editor.view.sectionRefOffset[0], 0.0f);
    EXPECT_EQ(editor.view.sectionRefOffset[1], 0.0f);
    EXPECT_NEAR(editor.view.sectionRefOffset[2], -0.1f, 1e-7f);
    sectionSpecial(GLUT_KEY_RIGHT, 0, 0);
    for (float c : editor.view.sectionRefOffset) EXPECT_NEAR(c, 0.0f, 1e-7f);

    editor.view.sectionRefOffset[2] = 0.25f;
    sectionSpecial(GLUT_KEY_UP, 0, 0);
    EXPECT_EQ(editor.view.sectionRefOffset[0], 0.0f);
    EXPECT_EQ(editor.view.sectionRefOffset[1], 0.1f);
    EXPECT_EQ(editor.view.sectionRefOffset[2], 0.25f);
    sectionSpecial(GLUT_KEY_DOWN, 0, 0);
    sectionSpecial(GLUT_KEY_DOWN, 0, 0);
    EXPECT_NEAR(editor.view.sectionRefOffset[1], -0.1f, 1e-7f);
    EXPECT_EQ(editor.view.sectionRefOffset[2], 0.25f);
}

TEST_F(SectionEditing, PanningLeftMovesThePictureRight) {
    const testsupport::WindowPosition before = at(0.3f, 0.0f);
    sectionSpecial(GLUT_KEY_LEFT, 0, 0);
    glutSetWindow(editor.handles.sectionWindow);
    testsupport::drawSectionWindow();
    const testsupport::WindowPosition after = at(0.3f, 0.0f);
    EXPECT_NEAR(after.x - before.x, 16, 1);  // 0.1 unit at 160 pixels per unit
    EXPECT_EQ(after.y, before.y);
}

// "f" fits the current section into the window and centres it, "r" goes back to the start
// view, and a dragged point no longer pans the view (the camera followed the centroid).
TEST_F(SectionEditing, FrameResetAndAStillViewWhileDragging) {
    const struct {
        const char* name;
        float scale, shiftY, shiftZ;  // the section is scaled and moved before the keys
        const char* keys;
    } cases[] = {
        {"f on a small section off the centre", 0.05f, 2.0f, -3.0f, "f"},
        {"f on a large section", 6.0f, 0.0f, 1.0f, "f"},
        {"f after zooming and panning", 1.0f, 0.0f, 0.0f, "++f"},
        {"r after f", 0.05f, 2.0f, -3.0f, "fr"},
    };
    for (const auto& c : cases) {
        std::vector<SectionPoint> section = kSection;
        for (SectionPoint& p : section) {
            p.y = p.y * c.scale + c.shiftY;
            p.z = p.z * c.scale + c.shiftZ;
        }
        setSectionSurface(section, 3, 3, 2);
        testsupport::drawSectionWindow();
        for (const char* k = c.keys; *k != '\0'; ++k) sectionKeyboard(*k, 0, 0);
        testsupport::drawSectionWindow();
        if (c.keys[std::strlen(c.keys) - 1] == 'r') {
            EXPECT_EQ(editor.view.sectionZoom, 1.0f) << c.name;
            EXPECT_EQ(editor.view.sectionRefOffset[1], 0.0f) << c.name;
            continue;
        }
        int left = 1 << 20, right = -left, top = left, bottom = -left;
        for (size_t j = 0; j < section.size(); ++j) {
            const SectionPoint p = sectionPoint(0, static_cast<int>(j));
            const testsupport::WindowPosition w = sectionWindowPosition(p.x, p.y, p.z);
            left = std::min(left, w.x);
            right = std::max(right, w.x);
            top = std::min(top, w.y);
            bottom = std::max(bottom, w.y);
        }
        EXPECT_GE(left, 0) << c.name;
        EXPECT_LE(right, 320) << c.name;
        EXPECT_GE(top, 0) << c.name;
        EXPECT_LE(bottom, 240) << c.name;
        EXPECT_TRUE(right - left >= 280 || bottom - top >= 210) << c.name;
        EXPECT_NEAR((left + right) / 2, 160, 2) << c.name;
        EXPECT_NEAR((top + bottom) / 2, 120, 2) << c.name;
    }

    // A drag of point 2: point 4 stays on its pixel throughout.
    setSectionSurface(kSection, 3, 3, 2);
    testsupport::drawSectionWindow();
    const testsupport::WindowPosition still = at(-0.4f, 0.5f);
    press(GLUT_LEFT_BUTTON, 0.3f, 0.0f);
    for (int i = 1; i <= 4; ++i) {
        drag(0.3f + 0.05f * i, 0.05f * i);
        testsupport::drawSectionWindow();
        const testsupport::WindowPosition now = at(-0.4f, 0.5f);
        EXPECT_EQ(now.x, still.x) << "motion " << i;
        EXPECT_EQ(now.y, still.y) << "motion " << i;
    }
    release(GLUT_LEFT_BUTTON, 0.5f, 0.2f);
    expectAt(0, 2, 0.5f, 0.2f, "the dragged point under the pointer");
}

// The current section gets the point at the pointer and keeps its others; the other sections
// get a knot inserted there, so their curves keep their shapes (re-spacing the knots evenly
// once moved them by 4% of their size).
TEST_F(SectionEditing, AddInsertsIntoTheNearestSegmentOfEverySection) {
    const SurfaceModel before = editor.surface;
    const GuiHookCalls calls = guiHookCalls;
    editor.selection.selectedPoint = 4;
    testsupport::drawSectionWindow();
    hover(0.2f, -0.1f);  // beside the segment from point 1 to point 2
    addSectionPoint();

    ASSERT_EQ(editor.surface.countU, 6);
    EXPECT_EQ(editor.surface.knotCountU, 9);
    // The old knots and one more, between them.
    std::vector<float> knots = editor.surface.knotsU;
    ASSERT_EQ(knots.size(), 9u);
    EXPECT_TRUE(std::is_sorted(knots.begin(), knots.end()));
    for (float k : before.knotsU) knots.erase(std::find(knots.begin(), knots.end(), k));
    ASSERT_EQ(knots.size(), 1u);
    EXPECT_GT(knots[0], 0.0f);
    EXPECT_LT(knots[0], 1.0f);
    EXPECT_EQ(guiHookCalls.rebuildKnotControls, calls.rebuildKnotControls + 1);
    EXPECT_GT(guiHookCalls.refreshPanel, calls.refreshPanel);
    EXPECT_EQ(editor.selection.selectedPoint, 4);

    const PointH added = editor.surface.controlNet[2];
    EXPECT_EQ(added.w, 1.0f);
    EXPECT_NEAR(added.x, 0.0f, 1e-6f);
    EXPECT_NEAR(added.y, 0.2f, kPixel);
    EXPECT_NEAR(added.z, -0.1f, kPixel);
    for (int j = 0; j < 6; ++j) {
        const PointH& now = editor.surface.controlNet[j];
        const PointH& expected = j < 2    ? before.controlNet[j]
                                 : j == 2 ? added
                                          : before.controlNet[j - 1];
        EXPECT_EQ(std::memcmp(&now, &expected, sizeof(PointH)), 0) << "point " << j;
    }
    for (int v = 1; v < 3; ++v) {
        EXPECT_LT(testsupport::shapeChange(before, v, editor.surface, v), 1e-6) << "section " << v;
    }
}

TEST_F(SectionEditing, AddOnAPointGoesIntoTheShorterNeighbouringSegment) {
    // With the pointer on point 2, segment (1, 2) scores |P1 P2| and segment (2, 3) |P2 P3|.
    const struct {
        const char* name;
        int moved;
        PointH to;
        int expectedIndex;
    } cases[] = {{"point 1 close to point 2", 1, {0.0f, 0.2f, -0.1f, 1.0f}, 2},
                 {"point 3 close to point 2", 3, {0.0f, 0.2f, 0.1f, 1.0f}, 3}};
    for (const auto& c : cases) {
        setSectionSurface(kSection, 3, 3, 2);
        editor.surface.controlNet[c.moved] = c.to;
        editor.selection.selectedPoint = 2;
        testsupport::drawSectionWindow();
        hover(0.3f, 0.0f);
        addSectionPoint();
        ASSERT_EQ(editor.surface.countU, 6) << c.name;
        // The old point 2 has weight 2; the new one weight 1.
        EXPECT_EQ(editor.surface.controlNet[c.expectedIndex].w, 1.0f) << c.name;
        EXPECT_NEAR(editor.surface.controlNet[c.expectedIndex].y, 0.3f, kPixel) << c.name;
        EXPECT_EQ(editor.surface.controlNet[c.expectedIndex == 2 ? 3 : 2].w, 2.0f) << c.name;
    }
}

TEST_F(SectionEditing, DeleteRemovesTheNearestIndexFromEverySection) {
    const std::vector<PointH> before = editor.surface.controlNet;
    editor.selection.selectedPoint = 4;
    hover(0.05f, 0.28f);  // on point 3
    deleteSectionPoint();
    ASSERT_EQ(editor.surface.countU, 4);
    EXPECT_EQ(editor.surface.knotCountU, 7);
    EXPECT_EQ(editor.surface.knotsU.size(), 7u);
    EXPECT_EQ(editor.selection.selectedPoint, 3) << "selection past the new last point";
    for (int v = 0; v < 3; ++v) {
        for (int j = 0; j < 4; ++j) {
            const PointH& expected = before[v * 5 + (j < 3 ? j : j + 1)];
            EXPECT_EQ(std::memcmp(&editor.surface.controlNet[v * 4 + j], &expected, sizeof(PointH)),
                      0)
                << "section " << v << " point " << j;
        }
    }
}

TEST_F(SectionEditing, DeleteStopsAtTheOrder) {
    setSectionSurface({{0, 0, -0.3f, 1}, {0, 0.3f, 0, 1}, {0, 0, 0.3f, 1}}, 2, 3, 2);
    testsupport::drawSectionWindow();
    hover(0.3f, 0.0f);
    const std::string before = stateText(editor);
    editor.panel.statusLine[0] = '\0';
    deleteSectionPoint();
    EXPECT_EQ(stateText(editor), before);
    EXPECT_NE(editor.panel.statusLine[0], '\0');
}

TEST_F(SectionEditing, AddAndDeleteKeepTheDerivedNetsInStep) {
    editor.panel.skinningEnabled = 1;
    editor.derived.multiplicity = 2;
    editor.derived.expandedNet.assign(30, PointH{1, 1, 1, 1});
    editor.selection.pickedPointOffset = 4 * 14;  // last point of the net
    hover(0.0f, 0.3f);
    deleteSectionPoint();
    ASSERT_EQ(editor.surface.countU, 4);
    // Order 2 across the sections allows multiplicity 1, and the expanded net is built again
    // at the new width.
    EXPECT_EQ(editor.surface.orderV, 2);
    EXPECT_EQ(editor.derived.multiplicity, 1);
    EXPECT_EQ(editor.derived.expandedNet.size(), 4u * 3);
    EXPECT_LT(editor.selection.pickedPointOffset, 4 * 12);
    EXPECT_TRUE(editor.derived.skinnedNet.empty() || editor.derived.skinnedNet.size() == 12u);

    testsupport::drawSectionWindow();
    hover(0.1f, 0.1f);
    addSectionPoint();
    ASSERT_EQ(editor.surface.countU, 5);
    EXPECT_TRUE(editor.derived.skinnedNet.empty() || editor.derived.skinnedNet.size() == 15u);
    editor.panel.skinningEnabled = 0;
    editor.derived.multiplicity = 1;
}

TEST_F(SectionEditing, NoUsableSurfaceMeansNoEdit) {
    const struct {
        const char* name;
        void (*breakIt)();
    } cases[] = {
        {"net shorter than the counts", [] { editor.surface.controlNet.pop_back(); }},
        {"current section past the last", [] { editor.selection.currentSection = 3; }},
        {"selected point of weight 0", [] { editor.surface.controlNet[0].w = 0.0f; }},
    };
    for (const auto& c : cases) {
        SetUp();
        c.breakIt();
        const std::string before = stateText(editor);
        press(GLUT_LEFT_BUTTON, 0.1f, 0.1f);
        sectionMotion(10, 10);
        release(GLUT_LEFT_BUTTON, 0.2f, 0.1f);
        hover(0.1f, 0.1f);
        addSectionPoint();
        deleteSectionPoint();
        EXPECT_EQ(stateText(editor), before) << c.name;
    }
}

TEST(SectionKeys, QuitEndsTheProgramWithStatusZero) {
    EXPECT_EXIT(sectionKeyboard('q', 0, 0), ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(sectionKeyboard('Q', 0, 0), ::testing::ExitedWithCode(0), "");
}
