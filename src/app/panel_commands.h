// The panel's "commands" group: the surface, export and background files, undo and redo, and
// the knot rollouts.
#pragma once

struct EditorState;

namespace panel {

// Draws the group's title and its two columns.
void commandsGroup(EditorState& s);

}  // namespace panel
