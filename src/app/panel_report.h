// The panel's controls written to a file, for programs that drive the editor from outside
// (the end-to-end runs find controls by it): set LOFTWORK_PANEL_REPORT to the file's path.
#pragma once

#include "app/panel_frame.h"

// Writes the frame's controls, one "kind|group|label|minX minY maxX maxY|value" line each, to
// the file named by LOFTWORK_PANEL_REPORT, when that is set and the text differs from the last
// written. The file is replaced whole (written beside it, then renamed), so a reader never sees
// half of it.
void writePanelReport(const PanelFrame& frame);
