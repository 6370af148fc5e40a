// The GLU NURBS renderers of the main and section views: made when first needed, replaced after
// GLU reports an error, and the error callback both views print through.
#pragma once

#include <GL/gl.h>
#include <GL/glu.h>

// GLU NURBS error callback of both views: the first error GLU reports for a surface is printed
// as "Nurbs Error: %s\n" on standard output and its cause shown on the status line (a knot
// below the one before it, when there is one); nothing more until the surface (or its
// multiplicity) changes, and nothing more during the gesture (a drag) it came in.
void nurbsErrorCallback(GLenum errorCode);

// Reports every error afresh from now on, as for a surface never drawn.
void forgetReportedNurbsErrors();

// Whose renderer a slot holds; each view's errors mark only its own renderer.
enum class NurbsView { main, section };

// Sets up a new renderer; errorCallback is what it must call for a GLU error.
using RendererSetUp = void (*)(GLUnurbs* renderer, void (*errorCallback)(GLenum));

// The view's renderer kept in `slot` (a GLUnurbs*, null when there is none). GLU's renderer does
// not always recover from an error about the data it was given (knots out of order, say): one
// has then taken gigabytes for later, sound surfaces. So a renderer that reported an error since
// the last call is deleted, and when the slot is empty a new renderer is made and handed to
// setUp (null: only the error callback is installed).
GLUnurbs* viewRenderer(NurbsView view, void*& slot, RendererSetUp setUp);

// Deletes the renderer in `slot`, if any, and empties the slot.
void deleteRenderer(void*& slot);
