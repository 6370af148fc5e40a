// The GUI's side of the core's requests: rebuild the knot controls, refresh the panel, redraw
// the views. A refresh or a redraw only asks for frames; each is a no-op while the window it
// needs does not exist (command line, start-up).
#include "model/gui_hooks.h"

#include "app/knot_controls.h"
#include "view/redraw.h"

#ifdef LOFTWORK_COUNT_GUI_HOOKS
GuiHookCalls guiHookCalls;
#endif

void guiRebuildKnotControls() {
    LOFTWORK_COUNT_GUI_HOOK(rebuildKnotControls);
    rebuildKnotControls();
}

void guiRefreshPanel() {
    LOFTWORK_COUNT_GUI_HOOK(refreshPanel);
    requestPanelRedraw();
}

void guiRedrawViews() {
    LOFTWORK_COUNT_GUI_HOOK(redrawViews);
    requestViewsRedraw();
}
