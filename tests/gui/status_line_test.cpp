// The status line after each kind of edit made in the real windows, the boxes after a refused
// value, and what a knot drag that breaks the knot order says.
#include <GL/freeglut.h>
#include <GL/glu.h>
#include <gtest/gtest.h>
#include <imgui.h>
#include <imgui_impl_glut.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/control_panel.h"
#include "input/main_input.h"
#include "input/section_input.h"
#include "input/calibration_input.h"
#include "model/editor_state.h"
#include "model/section_centroid.h"
#include "model/section_points.h"
#include "model/surface_edit.h"
#include "view/main_view.h"
#include "support/gui_test_env.h"
#include "support/panel_driver.h"
#include "support/section_surface.h"

using namespace testsupport;

namespace {

void loadVase() {
    editor.panel.skinningEnabled = 0;
    editor.selection.currentSection = 2;
    ASSERT_TRUE(loadSurface(examplePath("vase.surf")));
    editor.history = EditHistory();
    markSurfaceSaved(editor);
    drawPanel(2);
}

// A left drag on the panel from (x, y) by (dx, dy) in `steps` motions; after each, the windows'
// posted frames are drawn as the main loop would.
void dragPanelWithFrames(float x, float y, float dx, float dy, int steps) {
    ImGui::GetIO().MouseClickedTime[0] = -1.0e9;
    ImGui_ImplGLUT_MotionFunc(static_cast<int>(x), static_cast<int>(y));
    drawPanel();
    ImGui_ImplGLUT_MouseFunc(GLUT_LEFT_BUTTON, GLUT_DOWN, static_cast<int>(x), static_cast<int>(y));
    drawPanel();
    int px = static_cast<int>(x), py = static_cast<int>(y);
    for (int i = 1; i <= steps; ++i) {
        px = static_cast<int>(x + dx * i / steps);
        py = static_cast<int>(y + dy * i / steps);
        ImGui_ImplGLUT_MotionFunc(px, py);
        drawPanel();
        glutMainLoopEvent();
        probeIdle();
        glutMainLoopEvent();
    }
    ImGui_ImplGLUT_MouseFunc(GLUT_LEFT_BUTTON, GLUT_UP, px, py);
    drawPanel(2);
    for (int i = 0; i < 3; ++i) {
        glutMainLoopEvent();
        probeIdle();
    }
}

int countOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// The point of the net nearest the main view's camera (which looks along -z), in front of the
// surface where a right click finds it.
size_t frontPoint() {
    size_t best = 0;
    for (size_t i = 1; i < editor.surface.controlNet.size(); ++i) {
        const PointH& p = editor.surface.controlNet[i];
        const PointH& b = editor.surface.controlNet[best];
        if (p.z / p.w > b.z / b.w) best = i;
    }
    return best;
}

// A right click on that point in the main window, over a frame drawn with the start-up camera.
void pickFrontPoint() {
    EditorState& s = editor;
    s.view.cameraPolar = 1.57f;
    s.view.cameraAzimuth = 0.0f;
    s.view.cameraDistance = 3.9f;
    glutSetWindow(s.handles.mainWindow);
    mainDisplay();  // the pick reads the depth buffer of the last frame
    const PointH& p = s.surface.controlNet[frontPoint()];
    GLdouble modelView[16], projection[16], wx = 0.0, wy = 0.0, wz = 0.0;
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelView);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    gluProject(p.x / p.w, p.y / p.w, p.z / p.w, modelView, projection, viewport, &wx, &wy, &wz);
    const int x = static_cast<int>(wx), y = viewport[3] - static_cast<int>(wy);
    mainMouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, x, y);
    mainMouse(GLUT_RIGHT_BUTTON, GLUT_UP, x, y);
    ASSERT_EQ(editor.selection.pickedPointOffset, static_cast<int32_t>(4 * frontPoint()));
}

std::string numbers(const char* pattern, double a, double b = 0.0, double c = 0.0) {
    char line[128];
    snprintf(line, sizeof line, pattern, a, b, c);
    return line;
}

// The centre of the current section, as the status line gives it.
std::string sectionCentre() {
    float c[3];
    computeSectionCentroid(editor.surface, editor.selection.currentSection, c);
    return numbers("centred at (%.4g, %.4g, %.4g)", c[0], c[1], c[2]);
}

// The picked point, as the status line gives it.
std::string pickedPointNow() {
    const PointH& p = editor.surface.controlNet[static_cast<size_t>(
        editor.selection.pickedPointOffset / 4)];
    return numbers("now at (%.4g, %.4g, %.4g)", p.x / p.w, p.y / p.w, p.z / p.w) +
           numbers(", weight %g", p.w);
}

// The status line kept the message of the command before (a pick's "weight 1" after a weight of
// 2 was set) after typed "z_rot", the rotation ball, the move pads, degree and knot changes and
// point drags.
TEST(StatusLine, SaysWhatEachEditLeft) {
    const struct {
        const char* edit;
        std::function<void()> make;
        std::function<std::string()> expected;  // the status line after it
    } cases[] = {
        {"weight typed",
         [] {
             pickFrontPoint();
             drawPanel(2);
             typeIntoSpinner("weight", "2", 30);
         },
         [] {
             const int k = editor.selection.pickedPointOffset / 4;
             return "weight of point " + std::to_string(k % editor.surface.countU) +
                    " of section " + std::to_string(k / editor.surface.countU) + ": " +
                    pickedPointNow();
         }},
        {"z_rot typed", [] { typeIntoSpinner("z_rot", "0.5", 30); },
         [] { return "rotate section 2: section " + sectionCentre(); }},
        {"rotation ball dragged",
         [] {
             const PanelItem ball = panelItem("rotation", "rotation");
             dragPanel(centreX(ball), centreY(ball), 25.0f, 10.0f);
         },
         [] { return "rotate section 2: section " + sectionCentre(); }},
        {"move pad dragged",
         [] {
             const PanelItem pad = panelItem("translation", "x");  // the pad, then its label
             dragPanel(pad.minX + 12.0f, centreY(pad), 30.0f, 0.0f);
         },
         [] { return "move section 2: section " + sectionCentre(); }},
        {"degree typed", [] { typeIntoSpinner("degree S", "2", 30); },
         [] {
             return numbers("degree S: degree %g in s and %g in t, with uniform knots",
                            editor.surface.orderU - 1.0, editor.surface.orderV - 1.0);
         }},
        {"knot dragged",
         [] {
             clickPanel("rollout", "knots in s");
             drawPanel(2);
             const PanelItem knot = panelItem("spinner", "3", "knots in s");
             dragPanel(centreX(knot), centreY(knot), 12.0f, 0.0f, 4);  // stays below knot 4
             clickPanel("rollout", "knots in s");
         },
         [] {
             return numbers("knot 3 in s: now %.6g", editor.surface.knotsU[3]);
         }},
        {"section point dragged",
         [] {
             const PointH p = sectionPoints(editor.surface, 2)[3];
             editor.selection.selectedPoint = 3;
             drawSectionWindow();
             const WindowPosition at = sectionWindowPosition(p.x / p.w, p.y / p.w, p.z / p.w);
             sectionMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, at.x, at.y);
             sectionMotion(at.x + 6, at.y - 4);
             sectionMotion(at.x + 12, at.y - 8);
             sectionMouse(GLUT_LEFT_BUTTON, GLUT_UP, at.x + 12, at.y - 8);
         },
         [] {
             const PointH& p = sectionPoints(editor.surface, 2)[3];
             return "move point 3 of section 2: " +
                    numbers("now at (%.4g, %.4g, %.4g)", p.x / p.w, p.y / p.w, p.z / p.w) +
                    numbers(", weight %g", p.w);
         }},
    };
    loadVase();
    for (const auto& c : cases) {
        setStatusLinef(editor.panel, "before the edit");
        const size_t steps = editor.history.undoSteps.size();
        c.make();
        EXPECT_EQ(editor.history.undoSteps.size(), steps + 1) << c.edit;
        EXPECT_EQ(std::string(editor.panel.statusLine), c.expected()) << c.edit;
        drawPanel(2);
        EXPECT_NE(lastPanelFrame().find("status", editor.panel.statusLine), nullptr) << c.edit;
    }
}

// A refused value stayed in its box: a weight typed with no point picked, a calibration distance
// the marks cannot take.
TEST(StatusLine, RefusedValueLeavesItsBox) {
    loadVase();
    editor.selection.pickedPointOffset = -1;
    editor.selection.weightValue = -1.0f;
    drawPanel(2);
    typeIntoSpinner("weight", "3", 30);
    EXPECT_NE(std::string(editor.panel.statusLine).find("No point picked"), std::string::npos);
    EXPECT_EQ(panelItem("spinner", "weight").value, -1.0);

    editor.view.calibration.step = CalibrationStep::distance;  // no image: the distance is refused
    typeIntoField("typed", "distance", 0, 1, "4");
    EXPECT_EQ(panelItem("typed", "distance").value, 0.0);
    editor.view.calibration.step = CalibrationStep::idle;
}

// Dragging a knot past its neighbour printed four "Nurbs Error" lines per motion event and left
// GLU's last wording on the status line, not the cause.
TEST(KnotDragOutOfOrder, SaysTheCauseOncePerDrag) {
    loadVase();
    clickPanel("rollout", "knots in s");
    drawPanel(2);
    const PanelItem knot = panelItem("spinner", "3", "knots in s");
    testing::internal::CaptureStdout();
    dragPanelWithFrames(centreX(knot), centreY(knot), 120.0f, 0.0f, 12);
    const std::string printed = testing::internal::GetCapturedStdout();
    const std::vector<float>& knots = editor.surface.knotsU;
    ASSERT_GT(knots[3], knots[4]) << "the drag did not pass the next knot";
    EXPECT_EQ(countOf(printed, "Nurbs Error"), 1) << printed;
    const std::string status = editor.panel.statusLine;
    EXPECT_NE(status.find(numbers("knot 4 in s (%g) is below knot 3 (%g)", knots[4], knots[3])),
              std::string::npos)
        << status;
    EXPECT_EQ(status.find("trimming"), std::string::npos) << status;

    // Dragged back into order and past it again: one more line for the new drag.
    testing::internal::CaptureStdout();
    dragPanelWithFrames(centreX(knot) + 120.0f, centreY(knot), -120.0f, 0.0f, 6);
    dragPanelWithFrames(centreX(knot), centreY(knot), 120.0f, 0.0f, 6);
    EXPECT_EQ(countOf(testing::internal::GetCapturedStdout(), "Nurbs Error"), 1);
    clickPanel("rollout", "knots in s");
}

}  // namespace
