// Stand-ins for the GUI requests in programs that open no window: they do nothing (and count the
// calls in test builds).
#include "model/gui_hooks.h"

#ifdef LOFTWORK_COUNT_GUI_HOOKS
GuiHookCalls guiHookCalls;
#endif

void guiRebuildKnotControls() { LOFTWORK_COUNT_GUI_HOOK(rebuildKnotControls); }
void guiRefreshPanel() { LOFTWORK_COUNT_GUI_HOOK(refreshPanel); }
void guiRedrawViews() { LOFTWORK_COUNT_GUI_HOOK(redrawViews); }
