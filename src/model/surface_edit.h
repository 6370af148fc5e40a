// The one place every edit of the surface goes through: it records undo steps (one per gesture),
// brings the derived nets up to date and decides what is redrawn. Undo and redo restore through
// the same place.
#pragma once

#include <string>

#include "model/editor_state.h"

// What an edit changed, which decides what follows it.
enum class EditEffect {
    movedPoints,   // points moved in place: the skinned net follows while skinning is on
    reweighted,    // a weight changed in place: nothing is skinned again
    reshaped,      // counts, orders or knot vectors replaced: selection, derived nets and the
                   // knot controls follow the new sizes
    multiplicity,  // the expanded net is built again
    display,       // how the surface is drawn, or a knot value edited in place
};

// The state an undo step keeps, and its restoration.
EditSnapshot captureEdit(const EditorState& state);

// Starts a gesture named name (a drag from press to release, a spinner drag or typed value, a
// command). Returns false while another gesture is open: the edit then belongs to that one.
bool beginEdit(EditorState& state, const std::string& name);

// Ends the open gesture: a step is recorded when the surface, the multiplicity or the display
// mode changed; the unsaved-changes flag and the panel follow.
void endEdit(EditorState& state);

// Runs edit as one step named name, or as part of the gesture already open.
template <typename Edit>
void runEdit(EditorState& state, const std::string& name, Edit edit) {
    const bool opened = beginEdit(state, name);
    edit();
    if (opened) endEdit(state);
}

// After an edit changed the surface: the derived nets and the panel follow, and the views are
// asked for a frame each.
void surfaceEdited(EditorState& state, EditEffect effect);

// Undo and redo of the last step, with "undid: NAME" / "redid: NAME" (or why not) on the status
// line. The surface, the derived nets and the panel's values are as they were after that step.
bool undoEdit(EditorState& state);
bool redoEdit(EditorState& state);

// The surface was just loaded from or saved to the file its fileName names, which then had the
// stamp given: it has no unsaved changes.
void markSurfaceSaved(EditorState& state, const FileStamp& stamp = FileStamp());

// Compares the surface with what the file it names held when last loaded or saved, and keeps
// the answer in the history.
bool refreshUnsavedChanges(EditorState& state);
