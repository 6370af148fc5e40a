// Start-up wiring: window placement, the main view's projection, the probe raster, the popup
// menu and the ways out of the program.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cmath>

#include "app/application.h"
#include "app/control_panel.h"
#include "input/main_input.h"
#include "input/section_input.h"
#include "model/editor_state.h"
#include "support/gui_test_env.h"
#include "support/state_text.h"
#include "view/section_view.h"

using testsupport::pumpEvents;

TEST(Windows, SectionWindowTopLeftAndMainWindowFlushRight) {
    pumpEvents();
    glutSetWindow(editor.handles.sectionWindow);
    EXPECT_EQ(glutGet(GLUT_WINDOW_X), 0);
    EXPECT_EQ(glutGet(GLUT_WINDOW_Y), 0);
    EXPECT_EQ(glutGet(GLUT_WINDOW_WIDTH), 320);
    EXPECT_EQ(glutGet(GLUT_WINDOW_HEIGHT), 240);

    glutSetWindow(editor.handles.mainWindow);
    EXPECT_EQ(glutGet(GLUT_SCREEN_WIDTH), 1280);
    EXPECT_EQ(glutGet(GLUT_WINDOW_X), 1280 - 640);
    EXPECT_EQ(glutGet(GLUT_WINDOW_Y), 0);
    EXPECT_EQ(glutGet(GLUT_WINDOW_WIDTH), 640);
    EXPECT_EQ(glutGet(GLUT_WINDOW_HEIGHT), 480);
    EXPECT_EQ(glutGet(GLUT_WINDOW_DOUBLEBUFFER), 1);
    EXPECT_GT(glutGet(GLUT_WINDOW_DEPTH_SIZE), 0);
}

TEST(MainReshape, HeightZeroCountsAsOne) {
    glutSetWindow(editor.handles.mainWindow);
    mainReshape(300, 0);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 300);
    EXPECT_EQ(viewport[3], 1);
    EXPECT_EQ(editor.view.mainWindowHeight, 1);
    GLdouble projection[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    const double f = 1.0 / std::tan(22.5 * M_PI / 180.0);
    EXPECT_NEAR(projection[5], f, 1e-6);
    EXPECT_NEAR(projection[0], f / 300.0, 1e-9);  // aspect 300 / 1
    GLint mode;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    mainReshape(640, 480);
}

TEST(ProbeRaster, TurnsAtTheEndsAndStepsVAtTheBottom) {
    EditorState s;
    for (int i = 0; i < 100; ++i) advanceProbe(s);
    EXPECT_LT(s.view.probeU, 1.0f);
    EXPECT_GT(s.view.probeU, 0.99f);
    advanceProbe(s);
    EXPECT_GT(s.view.probeU, 1.0f);
    for (int call = 102; call <= 202; ++call) {
        advanceProbe(s);
        EXPECT_EQ(s.view.probeV, 0.0f) << "call " << call;
    }
    EXPECT_LT(std::fabs(s.view.probeU), 0.01f);
    advanceProbe(s);  // call 203
    EXPECT_EQ(s.view.probeV, 0.01f);
    EXPECT_GT(s.view.probeU, 0.0f);
    EXPECT_EQ(s.view.probeStepU, 0.01f);
}

TEST(ProbeRaster, VTurnsBackBelowOne) {
    EditorState s;
    float highest = 0.0f;
    for (int i = 0; i < 250000; ++i) {
        advanceProbe(s);
        highest = std::max(highest, s.view.probeV);
        ASSERT_GE(s.view.probeV, -0.02f);
    }
    EXPECT_LT(highest, 1.02f);
    EXPECT_GT(highest, 0.98f);
}

TEST(PopupMenu, IdsOtherThanAddDeleteQuitChangeNothing) {
    const std::string before = testsupport::stateText(editor);
    for (int id : {0, 3, 4, 112, 114, -1, 1000}) sectionMenuCallback(id);
    EXPECT_EQ(testsupport::stateText(editor), before);
}

TEST(ExitDeathTest, QuitKeysAndMenuEndWithStatusZero) {
    EXPECT_EXIT(mainKeyboard('q', 0, 0), ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(mainKeyboard('Q', 0, 0), ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(sectionKeyboard('q', 0, 0), ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(sectionMenuCallback(kMenuQuit), ::testing::ExitedWithCode(0), "");
}

TEST(ExitDeathTest, CleanupTwiceAfterWindowsAreGone) {
    EXPECT_EXIT(
        {
            glutDestroyWindow(editor.handles.mainWindow);
            glutDestroyWindow(editor.handles.sectionWindow);
            exitCleanup();
            exitCleanup();
            exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

// The idle editor draws the panel and the section window only when what they show changed: the
// panel once ran on a timer, and every animation frame of the main view redrew the section
// window too. Each change of what they show must still reach them.
TEST(IdleRedraws, TheSectionWindowAndThePanelFollowEveryChangeTheyShow) {
    ASSERT_TRUE(testsupport::loadSurface(testsupport::examplePath("vase.surf")));
    // The frames the start-up still owes the section window (a new size asks for two), drawn
    // here: under Xvfb the panel covers it, and a covered window is not drawn.
    glutSetWindow(editor.handles.sectionWindow);
    for (int i = 0; i < 2 && sectionViewStale(); ++i) sectionDisplay();
    const struct {
        const char* name;
        void (*change)();
        bool sectionStale;
    } cases[] = {
        {"a point of the current section", [] { editor.surface.controlNet[1].y += 0.01f; }, true},
        {"a point of another section",
         [] { editor.surface.controlNet[5 * editor.surface.countU].y += 0.01f; }, false},
        {"a U knot", [] { editor.surface.knotsU[4] += 0.01f; }, true},
        {"the current section", [] { editor.selection.currentSection = 3; }, true},
        {"the selected point", [] { editor.selection.selectedPoint = 2; }, true},
        {"the zoom", [] { editor.view.sectionZoom += 0.25f; }, true},
        {"a pan", [] { editor.view.sectionRefOffset[2] += 0.1f; }, true},
        {"the window's size", [] { editor.view.sectionWindowHeight = 200; }, true},
        {"the probe's step", [] { advanceProbe(editor); }, false},
        {"the main camera", [] { editor.view.cameraAzimuth += 0.2f; }, false},
    };
    for (const auto& c : cases) {
        glutSetWindow(editor.handles.sectionWindow);
        sectionDisplay();
        ASSERT_FALSE(sectionViewStale()) << c.name;
        c.change();
        EXPECT_EQ(sectionViewStale(), c.sectionStale) << c.name;
    }
    editor.view.sectionWindowHeight = 240;

    // A status line set outside the panel reaches it at the next idle steps.
    setStatusLinef(editor.panel, "set outside the panel");
    for (int i = 0; i < 10 && lastPanelFrame().find("status", "set outside the panel") == nullptr;
         ++i) {
        probeIdle();
        pumpEvents(2);
    }
    EXPECT_NE(lastPanelFrame().find("status", "set outside the panel"), nullptr);
}

// The comb key of the section window changes a check box of the panel: the key asks for the
// panel's frame itself, with no idle step to notice the change.
TEST(IdleRedraws, TheCombKeyReachesThePanelWithoutAnIdleStep) {
    for (int i = 0; i < 2; ++i) {
        const bool wasOn = editor.view.curvatureComb != 0;
        sectionKeyboard('k', 0, 0);
        pumpEvents(2);
        const PanelItem* comb = lastPanelFrame().find("check box", "comb");
        ASSERT_NE(comb, nullptr);
        EXPECT_EQ(comb->on, !wasOn);
    }
}
