// The keys and buttons of each window, shown over it on "h" or F1 and hidden by the next.
#pragma once

enum class HelpWindow { main, section, panel };

// Shows the window's help, or hides it when shown.
void toggleHelp(HelpWindow window);
bool helpShown(HelpWindow window);

// The window's help, one line per key or button, ending with a null.
const char* const* helpLines(HelpWindow window);

// Draws the help over the current GL window of width x height pixels when it is shown: light
// text on a dark box in the top-left corner. Sets and restores the GL state it changes.
void drawHelpOverlay(HelpWindow window, int width, int height);
