// Window positions to model points: GLUT pixels (origin top-left, y down) are flipped into GL
// window coordinates (origin bottom-left, y up) and unprojected through the current window's
// model-view and projection matrices and viewport.
#include "view/unproject.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

#include "model/editor_state.h"
#include "model/finite_values.h"
#include "view/window_transform.h"

namespace {

// GLUT's y counts down from the top edge, GL's up from the bottom. The flip uses the full
// viewport height, so the result is the upper edge of the pointer's pixel row.
float flipY(const WindowTransform& t, int y) {
    return static_cast<float>(t.viewport[3]) - static_cast<float>(y);
}

// gluUnProject into the out-parameters, which are written only when it succeeds with a finite
// point (a singular matrix, e.g. a zero zoom, makes it fail).
int unprojectTo(const WindowTransform& t, double winX, double winY, double winZ, double* objX,
                double* objY, double* objZ) {
    GLdouble x = 0.0, y = 0.0, z = 0.0;
    if (gluUnProject(winX, winY, winZ, t.modelView, t.projection, t.viewport, &x, &y, &z) !=
        GL_TRUE) {
        return GL_FALSE;
    }
    if (!finite(x, y, z)) return GL_FALSE;
    *objX = x;
    *objY = y;
    *objZ = z;
    return GL_TRUE;
}

}  // namespace

int unprojectWithDepthBuffer(int x, int y, double* objX, double* objY, double* objZ) {
    const WindowTransform t = readWindowTransform();
    if (t.viewport[2] < 1 || t.viewport[3] < 1) return GL_FALSE;
    const float winY = flipY(t, y);

    // The depth comes from the pixel at (x, winY); the row above the top one (y = 0) and any
    // position outside the window are brought to the nearest pixel inside it, whose depth GL
    // defines.
    const int left = t.viewport[0];
    const int bottom = t.viewport[1];
    const int readX = std::clamp(x, left, left + t.viewport[2] - 1);
    const int readY = std::clamp(static_cast<int>(winY), bottom, bottom + t.viewport[3] - 1);
    GLfloat depth = 1.0f;
    glReadPixels(readX, readY, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    if (!std::isfinite(depth)) return GL_FALSE;

    return unprojectTo(t, static_cast<double>(x), static_cast<double>(winY),
                       static_cast<double>(depth), objX, objY, objZ);
}

int unprojectAtSelectedPoint(int x, int y, double* objX, double* objY, double* objZ) {
    const EditorState& s = editor;
    // The current section must exist in a net of the counts' size; an index past the section's
    // end (left behind by a deletion) stands for its last point.
    if (!netMatchesCounts(s.surface) || s.selection.currentSection < 0 ||
        s.selection.currentSection >= s.surface.countV) {
        return GL_FALSE;
    }
    const int point = std::clamp(s.selection.selectedPoint, 0, s.surface.countU - 1);
    const PointH& P =
        s.surface
            .controlNet[static_cast<size_t>(s.selection.currentSection) * s.surface.countU + point];
    const float px = P.x / P.w;
    const float py = P.y / P.w;
    const float pz = P.z / P.w;
    if (!finite(px, py, pz)) return GL_FALSE;

    const WindowTransform t = readWindowTransform();
    const float winY = flipY(t, y);
    GLdouble winX = 0.0, ignoredY = 0.0, winZ = 0.0;
    if (gluProject(px, py, pz, t.modelView, t.projection, t.viewport, &winX, &ignoredY, &winZ) !=
            GL_TRUE ||
        !std::isfinite(winZ)) {
        return GL_FALSE;
    }
    return unprojectTo(t, static_cast<double>(x), static_cast<double>(winY), winZ, objX, objY,
                       objZ);
}

int unprojectOnSectionPlane(int x, int y, double* objX, double* objY, double* objZ) {
    const WindowTransform t = readWindowTransform();
    if (t.viewport[2] < 1 || t.viewport[3] < 1) return GL_FALSE;
    return unprojectTo(t, static_cast<double>(x), static_cast<double>(flipY(t, y)), 0.5, objX, objY,
                       objZ);
}
