// The main 3D view: the NURBS surface, its control net, the probe and click points, the
// section-camera marker and the axes.
#pragma once

#include "model/editor_state.h"

// Display handler of the main window: the scene (all but the probe) is drawn only when what it
// is drawn from changed, and otherwise copied back from where the last frame kept it (only where
// the last probe was, while the back buffer still holds the last frame); the probe is drawn over
// it. Draws the main window only: the section window has frames of its own.
void mainDisplay();

// True when a frame would show something other than the window shows: what the scene is drawn
// from changed, a new window size still owes a frame, the help was shown or hidden, or the probe
// at its present step falls elsewhere, or is seen where it was hidden (behind the surface or off
// the window) or the reverse. The idle step asks for a frame only then.
bool mainViewOutOfDate();

// Called by the main window's reshape handler: the next frames draw the scene afresh.
void mainViewReshaped();

// How many of mainDisplay's frames drew the scene rather than copy it back.
long mainSceneDrawCount();

// Everything mainDisplay draws into the main window's back buffer (clear, camera, surface,
// click point, axes, then the probe over them), without the buffer swap, the help and the
// section window. It
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
