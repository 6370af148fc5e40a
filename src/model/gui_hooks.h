// The few requests the core makes of the GUI. The GUI library defines them; programs without
// windows (tests, command line) link stand-ins that only count the calls.
#pragma once

// Rebuild the panel's knot spinners, section radio buttons and "multipl." spinner after a knot
// array, a count or an order changed (rebuildKnotControls).
void guiRebuildKnotControls();

// Show the live variables again (the panel's sync).
void guiRefreshPanel();

// Redraw the views that show the surface: now (the section view, then the main view, and the
// current window given back) or at the next frame.
void guiRedrawViews(bool now);

// How often each request was made; only the stand-ins count.
struct GuiHookCalls {
    int rebuildKnotControls = 0;
    int refreshPanel = 0;
    int redrawViews = 0;
};
extern GuiHookCalls guiHookCalls;
