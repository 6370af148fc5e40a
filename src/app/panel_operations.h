// The panel's "operations" group: the section buttons, multiplicity, rotation and translation
// of the current section, weights, degrees, the loft's options and the shading.
#pragma once

struct EditorState;

namespace panel {

// Draws the group's title and its two columns.
void operationsGroup(EditorState& s);

}  // namespace panel
