// The few requests the core makes of the GUI. The GUI library defines them; programs without
// windows (tests, command line) link stand-ins that only count the calls.
#pragma once

// Rebuild the panel's knot spinners, section radio buttons and "multipl." spinner after a knot
// array, a count or an order changed (rebuildKnotControls).
void guiRebuildKnotControls();

// Show the live variables again (the panel's sync).
void guiRefreshPanel();

// Draw the main view now, then give the current window back to whoever had it.
void guiRedrawMainView();

// How often each request was made; only the stand-ins count.
struct GuiHookCalls {
    int rebuildKnotControls = 0;
    int refreshPanel = 0;
    int redrawMainView = 0;
};
extern GuiHookCalls guiHookCalls;
