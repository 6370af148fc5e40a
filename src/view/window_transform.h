// The current window's model-view and projection matrices and viewport, as GL holds them.
#pragma once

#include <GL/gl.h>

struct WindowTransform {
    GLdouble modelView[16];
    GLdouble projection[16];
    GLint viewport[4];
};

// Reads the matrices and the viewport of the current GL context.
inline WindowTransform readWindowTransform() {
    WindowTransform t;
    glGetDoublev(GL_MODELVIEW_MATRIX, t.modelView);
    glGetDoublev(GL_PROJECTION_MATRIX, t.projection);
    glGetIntegerv(GL_VIEWPORT, t.viewport);
    return t;
}
