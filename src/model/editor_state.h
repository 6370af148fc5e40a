// The one process-wide record of the edited surface, its derived nets, the selection, the
// panel's live variables and the view state, each in a typed part.
//
// Keeping it in one place gives one owner, one order of creation (static initialisation) and
// one release (exitCleanup), and lets the panel bind its widgets to the fields themselves.
//
// Only the entry points read the global `editor`; all of them are in the GUI folders:
//   - the windows' GLUT handlers: display, reshape, keyboard, mouse and motion of the main and
//     section windows (src/view/main_view.cpp, src/view/section_view.cpp, src/input/) and the
//     popup menus (src/app/application.cpp);
//   - the panel: its display and input handlers and its controls' callbacks
//     (src/app/control_panel.cpp, src/app/*_callbacks.cpp, and the panel's own groups in
//     src/app/), the file chooser's answer, the idle handler;
//   - start-up and exit: main, the scene set-up with the configuration file, exitCleanup;
//   - the GUI's side of the core's requests (src/app/gui_hooks.cpp).
// Everything below them (the core in src/model, src/io, src/hull, src/exchange and src/cli, and
// the views' drawing routines) takes the parts it reads or writes, or a whole EditorState named
// `state`, as parameters, and writes its messages to the status line of the panel it is given.
// Tests and the command line make EditorState values of their own.
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

// setStatusLine, printf-style (the line is cut at the status line's size).
void setStatusLinef(PanelVariables& panel, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
