// "degree S" and "degree T": a new degree in one direction of the surface, as one undoable step.
#pragma once

#include "model/editor_state.h"

// Takes the degree the panel holds for direction 1 (U, "degree S": panel.degreeS) or 2 (V,
// "degree T": panel.degreeT): order = degree + 1, with fresh clamped uniform knots. The degree is
// kept between 1 and points - 1 (and below the highest order drawn), so the order never exceeds
// the points in that direction; a value outside is brought back and the state's status line
// says so. Without a surface, or with one point in that direction, the degree goes back to the
// order's.
void changeDegree(EditorState& state, int direction);
