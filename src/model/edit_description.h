// What an edit left, in a few words for the status line, told from the state before it and the
// state after it.
#pragma once

#include <string>

#include "model/editor_state.h"

// "now at (x, y, z), weight w" for one point moved or reweighted, "section centred at (x, y, z)"
// for the points of one section, "now v" for one knot, the new degrees or point
// counts, the multiplicity or the display mode; empty when none of these changed.
std::string describeEdit(const EditSnapshot& before, const EditorState& after);
