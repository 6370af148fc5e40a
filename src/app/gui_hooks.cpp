// The GUI's side of the core's requests: rebuild the knot controls, refresh the panel, draw the
// main view. Each is a no-op while the window it needs does not exist (command line, start-up).
#include "model/gui_hooks.h"

#include <GL/freeglut.h>

#include "app/control_panel.h"
#include "model/editor_state.h"
#include "view/main_view.h"

GuiHookCalls guiHookCalls;

void guiRebuildKnotControls() {
    ++guiHookCalls.rebuildKnotControls;
    rebuildKnotControls();
}

void guiRefreshPanel() {
    ++guiHookCalls.refreshPanel;
    if (editor.handles.controlPanel != 0) glutPostWindowRedisplay(editor.handles.controlPanel);
}

void guiRedrawMainView() {
    ++guiHookCalls.redrawMainView;
    if (editor.handles.mainWindow == 0) return;
    const int previous = glutGetWindow();
    glutSetWindow(editor.handles.mainWindow);
    mainDisplay();
    if (previous != 0) glutSetWindow(previous);
}
