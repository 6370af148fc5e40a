// The panel's "tracing" group: the background image's calibration and placement, the mirror
// plane, typed point coordinates and the "lines" rollout.
#pragma once

struct EditorState;

namespace panel {

// Draws the group's title and its rows.
void tracingGroup(EditorState& s);

}  // namespace panel
