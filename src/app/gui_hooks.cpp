// The GUI's side of the core's requests: rebuild the knot controls, refresh the panel, redraw
// the views. Each is a no-op while the window it needs does not exist (command line, start-up).
#include "model/gui_hooks.h"

#include <GL/freeglut.h>

#include "app/control_panel.h"
#include "model/editor_state.h"
#include "view/main_view.h"
#include "view/section_view.h"

#ifdef LOFTWORK_COUNT_GUI_HOOKS
GuiHookCalls guiHookCalls;
#endif

void guiRebuildKnotControls() {
    LOFTWORK_COUNT_GUI_HOOK(rebuildKnotControls);
    rebuildKnotControls();
}

void guiRefreshPanel() {
    LOFTWORK_COUNT_GUI_HOOK(refreshPanel);
    if (editor.handles.controlPanel != 0) glutPostWindowRedisplay(editor.handles.controlPanel);
}

// The main view's frame ends by drawing the section view, so a posted redraw of the main window
// shows both; without a main window the section window is asked directly.
void guiRedrawViews(bool now) {
    LOFTWORK_COUNT_GUI_HOOK(redrawViews);
    const Handles& h = editor.handles;
    if (!now) {
        if (h.mainWindow != 0) {
            glutPostWindowRedisplay(h.mainWindow);
        } else if (h.sectionWindow != 0) {
            glutPostWindowRedisplay(h.sectionWindow);
        }
        return;
    }
    const int previous = glutGetWindow();
    if (h.sectionWindow != 0) {
        glutSetWindow(h.sectionWindow);
        sectionDisplay();
    }
    if (h.mainWindow != 0) {
        glutSetWindow(h.mainWindow);
        mainDisplay();
    }
    if (previous != 0) glutSetWindow(previous);
}
