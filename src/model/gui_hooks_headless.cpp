// Stand-ins for the GUI requests in programs that open no window: they only count the calls.
#include "model/gui_hooks.h"

GuiHookCalls guiHookCalls;

void guiRebuildKnotControls() { ++guiHookCalls.rebuildKnotControls; }
void guiRefreshPanel() { ++guiHookCalls.refreshPanel; }
void guiRedrawViews(bool /*now*/) {
    ++guiHookCalls.redrawViews;
}
