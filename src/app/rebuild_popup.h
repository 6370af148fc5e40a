// The panel's "rebuild..." button and its popup: point counts or a tolerance, the fairness
// weight, a preview of the deviation (reported, and mapped on the main view while the popup is
// open) and "apply", one undoable step.
#pragma once

// Draws the button, and the popup while it is open.
void rebuildButton();
