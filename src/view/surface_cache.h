// The main view's NURBS surface as GLU tessellates it, kept as vertex arrays and drawn again
// while nothing that shapes the tessellation has changed.
#pragma once

#include <GL/gl.h>
#include <GL/glu.h>

// One NURBS surface as gluNurbsSurface takes it: knots in s and t, strides in floats, the
// homogeneous points (x*w, y*w, z*w, w) and the orders. Like GLU, the cache reads knot count
// minus order points in each direction.
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

// Sets up a renderer for both drawing paths below: its GLU_ERROR callback is errorCallback, and
// the callbacks that receive GLU's tessellation are installed.
void prepareSurfaceRenderer(GLUnurbs* renderer, void (*errorCallback)(GLenum));

// Draws the surface with GLU's display mode and culling through GLU's tessellation, which runs
// only when the surface, the display mode, the renderer's sampling properties, the model-view or
// projection matrix or the viewport differ from the last call; otherwise the primitives captured
// then are drawn again, and the NURBS errors that tessellation reported are reported again.
void drawSurfaceCached(GLUnurbs* renderer, const SurfaceDescription& surface, float displayMode);

// Draws the surface the plain way: GLU evaluates and draws it through GL evaluators on every
// call. The reference the cached path is compared with.
void drawSurfaceDirect(GLUnurbs* renderer, const SurfaceDescription& surface, float displayMode);

// Forgets the captured primitives, so the next cached draw tessellates again.
void clearSurfaceCache();

// How many times drawSurfaceCached has run GLU's tessellation.
long surfaceTessellationCount();
