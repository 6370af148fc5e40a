// What the windows show on the screen while the editor runs its own idle loop: the section window
// after every change of what it draws, and the main window while its probe sweeps the surface,
// each against a frame drawn afresh from the editor's state.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/application.h"
#include "input/calibration_input.h"
#include "model/editor_state.h"
#include "support/gui_test_env.h"
#include "support/panel_driver.h"
#include "view/background_image.h"
#include "view/main_view.h"
#include "view/section_view.h"

using namespace testsupport;

namespace {

// One step of the idle animation as the editor's main loop runs it: idle calls until the probe
// moves, then the window events and the frames they posted.
void idleStep() {
    const float u = editor.view.probeU, v = editor.view.probeV;
    for (int i = 0; i < 1000 && editor.view.probeU == u && editor.view.probeV == v; ++i)
        probeIdle();
    glutMainLoopEvent();
}

// Pixels in which two pictures of the same size differ.
int differingPixels(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
    if (a.size() != b.size()) return -1;
    int count = 0;
    for (size_t i = 0; i < a.size(); i += 3) {
        if (a[i] != b[i] || a[i + 1] != b[i + 1] || a[i + 2] != b[i + 2]) ++count;
    }
    return count;
}

void drawSectionNow() {
    drawSectionFrame(editor.surface, editor.selection, editor.view, editor.handles.sectionRenderer);
}

void drawMainNow() {
    drawMainScene(editor.surface, editor.derived, editor.selection, editor.panel, editor.view,
                  editor.handles.surfaceRenderer);
}

// The panel below the section window, so the screen shows all of it.
void uncoverSectionWindow() {
    glutSetWindow(editor.handles.controlPanel);
    glutPositionWindow(0, 420);
    pumpEvents(5);
}

std::string copyIntoScratch(const char* example) {
    const std::string to = scratchDirectory() + "/" + example;
    FILE* in = fopen(examplePath(example).c_str(), "rb");
    FILE* out = fopen(to.c_str(), "wb");
    char buffer[8192];
    size_t n = 0;
    while (in != nullptr && out != nullptr && (n = fread(buffer, 1, sizeof buffer, in)) > 0)
        fwrite(buffer, 1, n, out);
    if (in != nullptr) fclose(in);
    if (out != nullptr) fclose(out);
    return to;
}

// The section window kept its old picture (the old opacity, the uncalibrated image, a clipped
// and off-centre frame after a resize) until a key was pressed in it.
TEST(SectionWindowOnScreen, FollowsEveryChangeOfWhatItShows) {
    ASSERT_TRUE(loadSurface(examplePath("bottle.surf")));
    uncoverSectionWindow();
    const std::string image = copyIntoScratch("profile.png");
    snprintf(editor.panel.backgroundFileName, sizeof editor.panel.backgroundFileName, "%s",
             image.c_str());
    backgroundCallback(-1);
    ASSERT_NE(editor.view.backgroundTexture, 0u);
    drawPanel(3);

    const struct {
        const char* change;
        std::function<void()> make;
    } cases[] = {
        {"opacity dragged",
         [] {
             const PanelItem opacity = panelItem("slider", "opacity");
             dragPanel(centreX(opacity), centreY(opacity), -35.0f, 0.0f);
         }},
        {"calibration distance typed",
         [] {
             editor.view.calibration.step = CalibrationStep::distance;
             editor.view.calibration.marks[0][0] = 50.0f;
             editor.view.calibration.marks[0][1] = 100.0f;
             editor.view.calibration.marks[1][0] = 350.0f;
             editor.view.calibration.marks[1][1] = 500.0f;
             typeIntoField("typed", "distance", 0, 1, "2.5");
         }},
        {"comb turned on", [] { clickPanel("check box", "comb"); }},
        {"window made larger",
         [] {
             glutSetWindow(editor.handles.sectionWindow);
             glutReshapeWindow(400, 300);
         }},
        {"window made smaller",
         [] {
             glutSetWindow(editor.handles.sectionWindow);
             glutReshapeWindow(260, 330);
         }},
    };
    for (const auto& c : cases) {
        for (int i = 0; i < 3; ++i) idleStep();
        c.make();
        for (int i = 0; i < 12; ++i) idleStep();
        int w = 0, h = 0, dw = 0, dh = 0;
        const std::vector<unsigned char> shown =
            shownOnScreen(editor.handles.sectionWindow, &w, &h);
        const std::vector<unsigned char> drawn =
            drawAndReadBack(editor.handles.sectionWindow, drawSectionNow, &dw, &dh);
        ASSERT_EQ(w, dw) << c.change;
        ASSERT_EQ(h, dh) << c.change;
        EXPECT_EQ(differingPixels(shown, drawn), 0) << c.change;
    }
    EXPECT_GT(editor.view.backgroundPlacement.scale, 0.0f);  // the distance calibrated it
    glutSetWindow(editor.handles.sectionWindow);
    glutReshapeWindow(320, 240);
    editor.view.curvatureComb = 0;
    for (int i = 0; i < 5; ++i) idleStep();
}

// The idle editor drew the whole scene on every step of the probe, 13 to 37% of a core: now the
// probe is drawn over the scene kept from the last frame, and a step that changes nothing on the
// screen (the probe behind the surface) draws no frame. What the screen shows is the same.
TEST(MainWindowOnScreen, ShowsTheSweepingProbeAsAFreshFrameWould) {
    ASSERT_TRUE(loadSurface(examplePath("vase.surf")));
    const struct {
        const char* shading;
        int32_t analysis;
        float mode;
        bool resize;       // the window is resized before the sweep
        bool someHidden;   // the probe is hidden behind the surface on some steps
        bool afterDrag;    // the sweep starts over a scene that changed frame after frame
    } cases[] = {
        {"outline", kShadingGlu, kDisplayModeOutline, false, false, false},
        {"fill", kShadingGlu, kDisplayModeFill, false, true, false},
        {"zebra", kShadingZebra, kDisplayModeOutline, false, true, false},
        {"fill, window resized", kShadingGlu, kDisplayModeFill, true, true, false},
        {"fill, after a drag", kShadingGlu, kDisplayModeFill, false, true, true},
    };
    constexpr size_t kSteps = 45;
    for (const auto& c : cases) {
        editor.panel.shading = c.analysis;
        editor.panel.surfaceDisplayMode = c.mode;
        if (c.resize) {
            glutSetWindow(editor.handles.mainWindow);
            glutReshapeWindow(560, 420);
        }
        editor.view.probeU = editor.view.probeV = 0.0f;
        editor.view.probeStepU = editor.view.probeStepV = 0.01f;
        for (int i = 0; i < 4; ++i) idleStep();
        // Frames of a point moved and moved back, as a drag draws them: the last scene is one
        // the main view did not keep.
        if (c.afterDrag) {
            for (float dy : {0.05f, -0.05f}) {
                editor.surface.controlNet[0].y += dy;
                glutPostWindowRedisplay(editor.handles.mainWindow);
                glutMainLoopEvent();
            }
        }
        const ViewState start = editor.view;

        // The frames the sweep should show, drawn afresh one by one, and the scene without the
        // probe (no surface point outside the parameter square): the probe is hidden on a step
        // whose frame is that.
        int w = 0, h = 0;
        editor.view.probeU = -1.0f;
        const std::vector<unsigned char> withoutProbe =
            drawAndReadBack(editor.handles.mainWindow, drawMainNow, &w, &h);
        editor.view = start;
        std::vector<std::vector<unsigned char>> expected;
        for (size_t i = 0; i < kSteps; ++i) {
            advanceProbe(editor);
            expected.push_back(drawAndReadBack(editor.handles.mainWindow, drawMainNow, &w, &h));
        }
        editor.view = start;
        glutPostWindowRedisplay(editor.handles.mainWindow);
        glutMainLoopEvent();

        // The probe stays hidden over a step: no frame is drawn for it.
        int hiddenSteps = 0, framesWhileHidden = 0;
        for (size_t i = 0; i < kSteps; ++i) {
            const long frames = mainFrameCount();
            idleStep();
            const std::vector<unsigned char> shown =
                shownOnScreen(editor.handles.mainWindow, &w, &h);
            ASSERT_EQ(differingPixels(shown, expected[i]), 0) << c.shading << ", step " << i;
            if (i > 0 && expected[i] == withoutProbe && expected[i - 1] == withoutProbe) {
                ++hiddenSteps;
                framesWhileHidden += static_cast<int>(mainFrameCount() - frames);
            }
        }
        if (c.someHidden) {
            EXPECT_GT(hiddenSteps, 5) << c.shading;
        }
        // A frame may be drawn where the probe lies too near the surface to be sure it is hidden.
        EXPECT_LE(framesWhileHidden, hiddenSteps / 4) << c.shading;
    }
    glutSetWindow(editor.handles.mainWindow);
    glutReshapeWindow(640, 480);
    editor.panel.shading = kShadingGlu;
    editor.panel.surfaceDisplayMode = kDisplayModeOutline;
    for (int i = 0; i < 4; ++i) idleStep();
}

}  // namespace
