// The "operations" control panel: a third GLUT window drawn with Dear ImGui when asked to.
#pragma once

#include "app/knot_controls.h"
#include "app/panel_frame.h"

// Creates the "operations" window and its controls, loading the configured surface on the way.
void buildControlPanel();

// True when the panel shows something stale: a status line set since its last frame (changes of
// the controls' values ask for a frame themselves), or a text field's caret due to blink.
bool panelOutOfDate();

// A key went to another window: a control of the panel that holds the keyboard (a text box
// showing its caret, a spinner being typed into) lets go, so the panel no longer looks as if
// it took the keys.
void releasePanelKeyboard();

// Display handler of the panel window: one ImGui frame with every control, then a buffer swap.
// Runs with the panel window current.
void controlPanelDisplay();

// Every control the last panel frame drew, in drawing order.
const PanelFrame& lastPanelFrame();
