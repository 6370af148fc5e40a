// The loft's settings on the panel ("rational sections", the start and end conditions) as
// undoable edits: a setting the sections refuse is not taken.
#pragma once

#include "model/editor_state.h"
#include "model/loft_ends.h"
#include "model/loft_options.h"

// Whether the surface, lofted with options, is refused: the refusal then goes to the status line.
// Loft settings try their new options this way before they are taken, so a refused one changes
// nothing.
bool loftRefused(EditorState& state, const LoftOptions& options);

// Sets the loft's "rational sections" choice as one undoable step. While skinning is on, a choice
// the sections refuse is not taken: the refusal goes to the status line and the surface stays.
bool setRationalSections(EditorState& state, LoftRational wanted);

// Sets the start (atStart) or end condition of the panel's loft as one undoable step, skinning
// again while skinning is on. A condition the sections refuse is not taken: the reason goes to
// the status line and the surface and the panel stay as they were. Returns whether it was taken.
bool setLoftEnd(EditorState& state, bool atStart, const LoftEnd& wanted);
