// The curvature comb of the current section in the section window.
#pragma once

#include "model/editor_state.h"

// Draws the comb of section `section` under the section window's current matrices: teeth from
// the curve to the outer side of each bend and the line through their tips, the longest tooth a
// fixed share of the window's height at the view's zoom. Nothing when the section does not exist.
void drawCurvatureComb(const SurfaceModel& surface, int section, const ViewState& view);
