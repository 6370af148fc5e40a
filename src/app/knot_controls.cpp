// The controls that follow the model's sizes, and "degree S", "degree T" and "create new surf".
#include "app/knot_controls.h"

#include "model/editor_state.h"
#include "model/gui_hooks.h"
#include "model/surface_commands.h"
#include "model/surface_degree.h"

void rebuildKnotControls() {
    EditorState& s = editor;
    ++s.panel.knotControlRebuilds;
    s.panel.closeKnotRollouts = true;
    guiRefreshPanel();
}

void degreeSCallback(int /*id*/) {
    changeDegree(editor, 1);
}

void degreeTCallback(int /*id*/) {
    changeDegree(editor, 2);
}

void createSurfaceCallback(int /*id*/) {
    if (editor.panel.surfType == 0) revolveCurrentSection(editor);
}
