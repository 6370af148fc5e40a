// Arrows in the main view at point 0 of every section, pointing along the section, so a
// section that runs the other way or starts elsewhere shows before the loft twists.
#pragma once

#include "model/surface_model.h"

// Draws one arrow per section in the current GL context, in model coordinates, unlit, over
// whatever is drawn (no depth test). Restores every GL state it changes. Sections whose first
// points coincide throughout, or hold numbers out of range, get no arrow.
void drawSectionArrows(const SurfaceModel& surface);
