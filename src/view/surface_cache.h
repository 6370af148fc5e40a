// The main view's NURBS surface as GLU tessellates it, kept as vertex arrays and drawn again
// while nothing that shapes the tessellation has changed.
#pragma once

#include <GL/gl.h>
#include <GL/glu.h>

#include "view/surface_description.h"

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

// Draws the primitives the last cached draw captured once more, under the current matrices (the
// mirror image of a half-model), without tessellating; nothing when none are kept.
void drawCapturedSurfaceAgain();

// Forgets the captured primitives, so the next cached draw tessellates again.
void clearSurfaceCache();

// Frees the captured primitives, the second renderer that tessellates part of a large surface
// and its thread; for the exit clean-up.
void releaseSurfaceCache();

// Whether a large surface may be cut in two and tessellated on two threads (on by default).
void setSurfaceCutting(bool on);

// How many of the tessellations ran in two parts.
long surfaceTessellationInPartsCount();

// How many times drawSurfaceCached has run GLU's tessellation.
long surfaceTessellationCount();
