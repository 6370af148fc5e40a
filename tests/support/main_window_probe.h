// Helpers for GUI tests of the main window: a fixed starting view, where a model point lands in
// the window, and how much of the window a frame covers.
#pragma once

#include <GL/freeglut.h>
#include <GL/glu.h>

#include <vector>

#include "app/application.h"
#include "model/editor_state.h"
#include "support/gui_test_env.h"
#include "view/main_view.h"

namespace testsupport {

// The start-up camera, no probe or click marker in the way, outline mode; the main window is
// current, at its start-up size and lit the way the start-up scene lights it.
inline void resetMainView() {
    EditorState& s = editor;
    glutSetWindow(s.handles.mainWindow);
    mainReshape(640, 480);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    s.view.cameraPolar = 1.57f;
    s.view.cameraAzimuth = 0.0f;
    s.view.cameraDistance = 3.9f;
    s.view.cameraTarget[0] = s.view.cameraTarget[1] = s.view.cameraTarget[2] = 0.0f;
    s.view.clickPoint[0] = s.view.clickPoint[1] = s.view.clickPoint[2] = 0.0;
    s.view.probeU = s.view.probeV = 0.0f;
    s.panel.fillSurface = 0;
    s.panel.surfaceDisplayMode = kDisplayModeOutline;
    s.panel.shading = kShadingGlu;
    s.selection.sectionCentroid[0] = s.selection.sectionCentroid[1] =
        s.selection.sectionCentroid[2] = 0.0f;
}

// GLUT window position (y down) of the pixel a model point falls on, through the matrices the
// main window's last frame left. The pixel's row is the one the depth-buffer unprojection reads.
struct WindowPosition {
    int x, y;
};
inline WindowPosition mainWindowPositionOf(double x, double y, double z) {
    glutSetWindow(editor.handles.mainWindow);
    GLdouble modelView[16], projection[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelView);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    GLdouble wx = 0, wy = 0, wz = 0;
    gluProject(x, y, z, modelView, projection, viewport, &wx, &wy, &wz);
    return {static_cast<int>(wx), viewport[3] - static_cast<int>(wy)};
}

// One frame of the main view as it goes to the screen: drawn into the back buffer and read
// there before the swap. (Reading the front buffer back gives black with Mesa's software
// renderer on Xvfb.)
struct MainFrame {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;  // bottom row first
    Rgb at(int x, int y) const {
        const size_t i = (static_cast<size_t>(y) * width + x) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
    // Pixels that differ from the light grey background.
    int covered() const {
        int count = 0;
        for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
            if (rgb[i] != 204 || rgb[i + 1] != 204 || rgb[i + 2] != 204) ++count;
        }
        return count;
    }
};

inline MainFrame drawMainFrame() {
    MainFrame frame;
    frame.rgb = drawAndReadBack(
        editor.handles.mainWindow,
        [] {
            drawMainScene(editor.surface, editor.derived, editor.selection, editor.panel,
                          editor.view, editor.handles.surfaceRenderer);
        },
        &frame.width, &frame.height);
    return frame;
}

inline int coveredMainPixels() {
    return drawMainFrame().covered();
}

}  // namespace testsupport
