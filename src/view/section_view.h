// The section window's drawing: orthographic camera, background image, the current section's
// curve and points, centroid and axes.
#pragma once

#include "model/editor_state.h"

// Display handler of the section window.
void sectionDisplay();

// Everything sectionDisplay draws into the section window's back buffer (clear, camera,
// background, curve, points, centroid, axes), without the flush and the buffer swap. The
// section view's GLU renderer is kept in sectionRenderer (made when missing, replaced after an
// error).
void drawSectionFrame(const SurfaceModel& surface, const Selection& selection,
                      const ViewState& view, void*& sectionRenderer);

// drawSectionFrame, then, while the "lines" group shows its lines, the station through the
// current section's centroid: what sectionDisplay draws before the help and the swap.
void drawSectionWindow(EditorState& s);

// True when what the section window shows has changed since sectionDisplay last drew it: the
// main view's frames, which end by drawing the section window, leave it alone otherwise (its
// animation moves nothing the section window shows).
bool sectionViewStale();

// Reshape handler of the section window.
void sectionReshape(int width, int height);
