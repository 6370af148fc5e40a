// The main 3D view: the NURBS surface, its control net, the probe and click points, the
// section-camera marker and the axes.
#pragma once

#include "model/editor_state.h"

// Display handler of the main window; ends by redrawing the section window.
void mainDisplay();

// Everything mainDisplay draws into the main window's back buffer (clear, camera, surface,
// probe and click points, axes), without the buffer swap and without the section window. It
// recomputes the current section's centroid in `selection`, rebuilds the expanded net in
// `derived` when it no longer fits the surface, and keeps the main view's GLU renderer in
// surfaceRenderer (made when missing, replaced after an error).
void drawMainScene(const SurfaceModel& surface, DerivedNets& derived, Selection& selection,
                   const PanelVariables& panel, const ViewState& view, void*& surfaceRenderer);

// How many frames mainDisplay has drawn since start-up.
long mainFrameCount();

// Whether the surface is drawn from its kept tessellation, redone only when the surface or the
// camera changes (the default), or has GLU evaluate and draw it on every frame (the reference
// the tests and benchmarks compare with).
void setSurfaceCaching(bool on);

// Which tessellator draws the surface in the ordinary shading: GLU while its measured cost fits
// a frame and the editor's own grid past that (the default), or always one of them (the tests
// and benchmarks compare the two).
enum class SurfaceTessellator { byCost, glu, grid };
void setSurfaceTessellator(SurfaceTessellator tessellator);

// Draws text with a GLUT bitmap font at the model point (x, y, z).
void drawLabel(float x, float y, float z, void* font, const char* text);

void materialSurface();
void materialNet();
void materialHighlight();
void materialSkinned();
