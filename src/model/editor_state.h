// The one process-wide record of the edited surface, its derived nets, the selection, the
// panel's live variables and the view state, each in a typed part.
//
// Entry points (window, menu and panel callbacks, and the routines the editor's behaviour is
// named by) read and write this record; everything below them takes the parts it uses as
// parameters. Keeping it in one place gives one owner, one order of creation (static
// initialisation) and one release (exitCleanup), and lets the panel bind its widgets to the
// fields themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/edit_history.h"
#include "model/editor_parts.h"
#include "model/surface_model.h"

struct EditorState {
    SurfaceModel surface;  // the document
    DerivedNets derived;
    Selection selection;
    PanelVariables panel;
    ViewState view;
    Handles handles;
    EditHistory history;  // undo and redo steps, unsaved changes
};

extern EditorState editor;

// Records a one-line message for the user: kept in the panel's statusLine and written to
// standard error.
void setStatusLine(PanelVariables& panel, const char* text);

// Shows a message on the status line without writing it to standard error: what a drag does at
// each step, which is written once when the drag ends.
void showStatusLine(PanelVariables& panel, const char* text);

// setStatusLine on the editor's panel, printf-style.
void setStatus(const char* format, ...) __attribute__((format(printf, 1, 2)));
