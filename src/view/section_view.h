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

// True when what the section window shows has changed since sectionDisplay last drew it (the
// surface's current section, the selection, its camera, the background image and its placement,
// a calibration's marks, the comb, the lines, the help), or when a new window size still owes it
// a frame. The idle step then asks for a frame; the main view's animation moves nothing shown
// there.
bool sectionViewStale();

// Reshape handler of the section window.
void sectionReshape(int width, int height);
