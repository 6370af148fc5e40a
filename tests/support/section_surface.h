// Small surfaces built straight into the editor state, and the section window's model-to-pixel
// mapping, for the tests of the section view and its editing handlers.
#pragma once

#include <GL/freeglut.h>
#include <GL/glu.h>

#include <vector>

#include "model/derived_nets.h"
#include "model/editor_state.h"
#include "model/knots.h"
#include "model/section_centroid.h"
#include "view/section_view.h"
#include "support/gui_test_env.h"

namespace testsupport {

// A section point given by its Cartesian position and weight.
struct SectionPoint {
    float x, y, z, w;
};

// Replaces the surface by countV copies of `section`, copy s shifted by s * sectionStep along
// x (every section lies in a plane x = const, as the section window expects), with clamped
// uniform knots. Selection, zoom and pan go back to their start values and the centroid is
// recomputed, as the main view does on each frame.
inline void setSectionSurface(const std::vector<SectionPoint>& section, int countV, int orderU,
                              int orderV, float sectionStep = 0.1f) {
    EditorState& s = editor;
    s.surface.countU = static_cast<int>(section.size());
    s.surface.countV = countV;
    s.surface.orderU = orderU;
    s.surface.orderV = orderV;
    s.surface.knotCountU = s.surface.countU + orderU;
    s.surface.knotCountV = countV + orderV;
    generateUniformKnots(editor.surface, 1);
    generateUniformKnots(editor.surface, 2);
    s.surface.controlNet.clear();
    for (int v = 0; v < countV; ++v) {
        for (const SectionPoint& p : section) {
            const float x = p.x + static_cast<float>(v) * sectionStep;
            s.surface.controlNet.push_back({x * p.w, p.y * p.w, p.z * p.w, p.w});
        }
    }
    s.selection.currentSection = 0;
    s.selection.selectedPoint = 0;
    s.view.sectionZoom = 1.0f;
    s.view.sectionRefOffset[0] = s.view.sectionRefOffset[1] = s.view.sectionRefOffset[2] = 0.0f;
    s.view.sectionMouseButton = -1;
    s.view.sectionLeftHeld = 0;
    syncDerivedNets(editor);
    computeSectionCentroid(editor.surface, editor.selection.currentSection,
                           s.selection.sectionCentroid);
}

// Cartesian position of point j of section v.
inline SectionPoint sectionPoint(int v, int j) {
    const PointH& p = editor.surface.controlNet[static_cast<size_t>(v) * editor.surface.countU + j];
    return {p.x / p.w, p.y / p.w, p.z / p.w, p.w};
}

// Draws the section window now (it stays current).
inline void drawSectionWindow() {
    glutSetWindow(editor.handles.sectionWindow);
    sectionDisplay();
}

// One frame of the section window as it goes to the screen: drawn into the back buffer and
// read there before the swap (reading the front buffer back gives black with Mesa's software
// renderer on Xvfb).
struct SectionFrame {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;  // bottom row first
    // RGB at GL window coordinates (y up); black outside the window.
    void at(int x, int y, int out[3]) const {
        out[0] = out[1] = out[2] = 0;
        if (x < 0 || y < 0 || x >= width || y >= height) return;
        const size_t i = (static_cast<size_t>(y) * width + x) * 3;
        for (int k = 0; k < 3; ++k) out[k] = rgb[i + k];
    }
};
inline SectionFrame captureSectionFrame() {
    SectionFrame frame;
    frame.rgb = drawAndReadBack(
        editor.handles.sectionWindow,
        [] {
            drawSectionFrame(editor.surface, editor.selection, editor.view,
                             editor.handles.sectionRenderer);
        },
        &frame.width, &frame.height);
    return frame;
}

// GLUT window position (pixels, y down) of the model point, through the matrices the section
// window's last frame left behind.
struct WindowPosition {
    int x, y;
};
inline WindowPosition sectionWindowPosition(float x, float y, float z) {
    glutSetWindow(editor.handles.sectionWindow);
    GLdouble modelView[16], projection[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelView);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    GLdouble wx = 0.0, wy = 0.0, wz = 0.0;
    gluProject(x, y, z, modelView, projection, viewport, &wx, &wy, &wz);
    // GL's y counts up from the bottom edge; the handlers flip it back with the full height.
    return {static_cast<int>(wx + 0.5), static_cast<int>(viewport[3] - wy + 0.5)};
}

}  // namespace testsupport
