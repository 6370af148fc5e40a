// Window positions to model points: the depth-buffer variant reads the row above the pointer
// (the top row for the top pixel row) and flips y by the full height; the selected-point variant
// keeps the selected point's depth, stands a past-the-end index for the last point, and refuses
// what it cannot do without touching its outputs.
#include <GL/freeglut.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "model/editor_state.h"
#include "support/main_window_probe.h"
#include "support/test_surface.h"
#include "view/section_view.h"
#include "view/unproject.h"

namespace {

struct Point {
    double x, y, z;
};

// gluUnProject through the current window's matrices, for comparison.
Point unprojectHere(double winX, double winY, double winZ) {
    GLdouble modelView[16], projection[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelView);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    Point p{0, 0, 0};
    gluUnProject(winX, winY, winZ, modelView, projection, viewport, &p.x, &p.y, &p.z);
    return p;
}

// Sets the depth of one GL row (counted from the bottom) of the main window's depth buffer.
void setRowDepth(int row, double depth) {
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, row, 640, 1);
    glClearDepth(depth);
    glClear(GL_DEPTH_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    glClearDepth(1.0);
}

}  // namespace

TEST(UnprojectWithDepthBuffer, ReadsTheRowAboveThePointerAndFlipsByTheFullHeight) {
    testsupport::resetMainView();
    testsupport::clearSurface();
    testsupport::drawMainFrame();
    glClearDepth(0.5);
    glClear(GL_DEPTH_BUFFER_BIT);
    glClearDepth(1.0);
    setRowDepth(100, 0.25);
    setRowDepth(479, 0.75);

    struct Case {
        int y;         // GLUT y, down from the top
        double winY;   // GL window y the point must lie at
        double depth;  // depth of the row that must be read
    };
    const std::vector<Case> cases = {
        {380, 100, 0.25},  // reads row 100, the row just above the pointer's row 99
        {379, 101, 0.5},   // pointer on row 100 reads row 101
        {381, 99, 0.5},
        {479, 1, 0.5},  // bottom row
        {1, 479, 0.75},
        {0, 480, 0.75},  // top row: the row above lies outside; the top row's depth is used
    };
    for (const Case& c : cases) {
        for (int x : {0, 200, 639}) {
            double p[3] = {0, 0, 0};
            ASSERT_EQ(unprojectWithDepthBuffer(x, c.y, &p[0], &p[1], &p[2]), GL_TRUE);
            const Point expected = unprojectHere(x, c.winY, c.depth);
            EXPECT_NEAR(p[0], expected.x, 1e-6) << "x " << x << " y " << c.y;
            EXPECT_NEAR(p[1], expected.y, 1e-6) << "x " << x << " y " << c.y;
            EXPECT_NEAR(p[2], expected.z, 1e-6) << "x " << x << " y " << c.y;
        }
    }
    testsupport::drawMainFrame();
}

TEST(UnprojectWithDepthBuffer, SingularMatricesFailAndLeaveTheOutputsAlone) {
    testsupport::resetMainView();
    testsupport::drawMainFrame();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glScalef(0.0f, 0.0f, 0.0f);
    glMatrixMode(GL_MODELVIEW);
    double p[3] = {7.0, 8.0, 9.0};
    EXPECT_EQ(unprojectWithDepthBuffer(320, 240, &p[0], &p[1], &p[2]), GL_FALSE);
    EXPECT_EQ(p[0], 7.0);
    EXPECT_EQ(p[1], 8.0);
    EXPECT_EQ(p[2], 9.0);
    testsupport::resetMainView();
}

namespace {

// Three sections across x, each point of a section a little further along x (so that the
// point whose depth is used shows in the result), weight 2 on the middle section.
std::vector<PointH> sectionsAlongX() {
    std::vector<PointH> net;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 5; ++j) {
            net.push_back(testsupport::weighted(0.3f * i + 0.05f * j, 0.2f * j - 0.4f,
                                                0.1f * (j % 2), i == 1 ? 2.0f : 1.0f));
        }
    }
    return net;
}

// An orthographic camera on the -x side looking along +x, like the section view's.
void lookAlongX(float zoom) {
    glutSetWindow(editor.handles.sectionWindow);
    glViewport(0, 0, 320, 240);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1.0, 1.0, -0.75, 0.75, -100.0, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(-5.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    glScalef(zoom, zoom, zoom);
}

void restoreSectionWindow() {
    glutSetWindow(editor.handles.sectionWindow);
    sectionReshape(320, 240);
    sectionDisplay();
    glutSetWindow(editor.handles.mainWindow);
}

}  // namespace

TEST(UnprojectAtSelectedPoint, KeepsTheSelectedPointsDepthAndClampsItsIndex) {
    testsupport::setSurface(5, 3, 3, 3, sectionsAlongX());
    struct Case {
        int section, selected, usedPoint;
    };
    const std::vector<Case> cases = {
        {1, 0, 0}, {1, 3, 3}, {1, 4, 4}, {1, 5, 4}, {1, 40, 4}, {1, -2, 0}, {0, 2, 2}, {2, 1, 1},
    };
    lookAlongX(1.0f);
    for (const Case& c : cases) {
        editor.selection.currentSection = c.section;
        editor.selection.selectedPoint = c.selected;
        const PointH& P =
            editor.surface.controlNet[static_cast<size_t>(c.section * 5 + c.usedPoint)];
        for (auto [x, y] : {std::pair{160, 120}, {10, 230}, {300, 0}}) {
            double p[3] = {0, 0, 0};
            ASSERT_EQ(unprojectAtSelectedPoint(x, y, &p[0], &p[1], &p[2]), GL_TRUE);
            EXPECT_NEAR(p[0], P.x / P.w, 1e-5)
                << "section " << c.section << " point " << c.selected;
            // Looking along x, the model y and z under the pointer do not depend on depth.
            const Point expected = unprojectHere(x, 240 - y, 0.5);
            EXPECT_NEAR(p[1], expected.y, 1e-6);
            EXPECT_NEAR(p[2], expected.z, 1e-6);
        }
    }
    // Twice the zoom: the same pointer movement covers half the model distance.
    double a[3], b[3];
    editor.selection.currentSection = 1;
    editor.selection.selectedPoint = 2;
    lookAlongX(2.0f);
    ASSERT_EQ(unprojectAtSelectedPoint(100, 100, &a[0], &a[1], &a[2]), GL_TRUE);
    ASSERT_EQ(unprojectAtSelectedPoint(140, 100, &b[0], &b[1], &b[2]), GL_TRUE);
    EXPECT_NEAR(b[2] - a[2], 40.0 / 160.0 / 2.0, 1e-6);
    restoreSectionWindow();
}

TEST(UnprojectAtSelectedPoint, RefusesWhatItCannotUnprojectAndLeavesTheOutputsAlone) {
    struct Case {
        const char* what;
        std::function<void()> spoil;
    };
    const std::vector<Case> cases = {
        {"no surface", [] { testsupport::clearSurface(); }},
        {"net shorter than its counts", [] { editor.surface.countV = 4; }},
        {"current section past the end", [] { editor.selection.currentSection = 3; }},
        {"negative current section", [] { editor.selection.currentSection = -1; }},
        {"selected point of weight zero",
         [] {
             editor.surface.controlNet[static_cast<size_t>(editor.selection.currentSection * 5 + 2)]
                 .w = 0.0f;
         }},
        {"section zoom 0", [] { lookAlongX(0.0f); }},
    };
    for (const Case& c : cases) {
        testsupport::setSurface(5, 3, 3, 3, sectionsAlongX());
        editor.selection.currentSection = 1;
        editor.selection.selectedPoint = 2;
        lookAlongX(1.0f);
        c.spoil();
        double p[3] = {7.0, 8.0, 9.0};
        EXPECT_EQ(unprojectAtSelectedPoint(160, 120, &p[0], &p[1], &p[2]), GL_FALSE) << c.what;
        EXPECT_EQ(p[0], 7.0) << c.what;
        EXPECT_EQ(p[1], 8.0) << c.what;
        EXPECT_EQ(p[2], 9.0) << c.what;
    }
    restoreSectionWindow();
}
