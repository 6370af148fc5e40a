// The few requests the core makes of the GUI. The GUI library defines them; programs without
// windows (tests, tools) link stand-ins that do nothing.
#pragma once

// Rebuild the panel's knot spinners, section radio buttons and "multipl." spinner after a knot
// array, a count or an order changed (rebuildKnotControls).
void guiRebuildKnotControls();

// Show the live variables again (the panel's sync): a frame of the panel is asked for.
void guiRefreshPanel();

// Redraw the views that show the surface (the section and the main view): a frame of each is
// asked for, drawn once the handler that changed the surface has returned.
void guiRedrawViews();

#ifdef LOFTWORK_COUNT_GUI_HOOKS
// Test builds only (the program never defines it): how often each request was made.
struct GuiHookCalls {
    int rebuildKnotControls = 0;
    int refreshPanel = 0;
    int redrawViews = 0;
};
extern GuiHookCalls guiHookCalls;
#define LOFTWORK_COUNT_GUI_HOOK(request) (++guiHookCalls.request)
#else
#define LOFTWORK_COUNT_GUI_HOOK(request) ((void)0)
#endif
