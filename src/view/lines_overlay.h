// The "lines" group's stations, waterlines and buttocks drawn on the surface in the main view,
// and the station through the current section drawn in the section window. The cuts are kept
// until the surface shown or the group's choices change.
#pragma once

#include "model/editor_parts.h"

// Draws the chosen lines over the surface shown (in the current GL context, model coordinates).
// A box that cannot be read is said once on the status line, and nothing is drawn.
void drawLinesOverlay(const SurfaceModel& shown, const PanelVariables& panel);

// Draws the station x = stationX of the surface shown (with its mirror image while "mirror" is
// on), for the section window.
void drawStationOverlay(const SurfaceModel& shown, const PanelVariables& panel, float stationX);
