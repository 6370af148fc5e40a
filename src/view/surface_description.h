// One NURBS surface as gluNurbsSurface takes it.
#pragma once

#include <GL/gl.h>

// Knots in s and t, strides in floats, the homogeneous points (x*w, y*w, z*w, w) and the orders.
// Like GLU, readers take knot count minus order points in each direction.
struct SurfaceDescription {
    GLint knotCountS = 0;
    const GLfloat* knotsS = nullptr;
    GLint knotCountT = 0;
    const GLfloat* knotsT = nullptr;
    GLint strideS = 0;
    GLint strideT = 0;
    const GLfloat* points = nullptr;
    GLint orderS = 0;
    GLint orderT = 0;
};
