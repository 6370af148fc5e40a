// The "operations" control panel: a third GLUT window drawn with Dear ImGui when asked to.
#pragma once

#include <string>
#include <vector>

// Creates the "operations" window and its controls, loading the configured surface on the way.
void buildControlPanel();

// Rebuilds the controls whose number follows the model: one spinner per knot, one radio button
// per section, the "multipl." spinner; sets degreeS and degreeT back from the orders.
void rebuildKnotControls();

// Callbacks of "degree S", "degree T" and "create new surf"; the id is ignored.
void degreeSCallback(int id);
void degreeTCallback(int id);
void createSurfaceCallback(int id);

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

// One control as the last frame drew it, in panel window pixels (origin top-left, y down).
struct PanelItem {
    std::string group;  // "commands", "operations", "plane", "multiplicity", "knots in s", ...
    std::string kind;   // "group", "text box", "button", "spinner", "rollout", "radio", ...
    std::string label;
    float minX = 0, minY = 0, maxX = 0, maxY = 0;
    double value = 0;     // what a spinner or check box shows; a radio button's index
    bool on = false;      // rollout drawn open, radio button or check box selected
    bool enabled = true;  // false when drawn greyed out (no range to choose from)
};

// Every control the last panel frame drew, in drawing order.
struct PanelFrame {
    long number = 0;  // frames drawn so far
    std::vector<PanelItem> items;

    int count(const std::string& group, const std::string& kind) const;
    // The first item of that kind and label (and group, when given), or null.
    const PanelItem* find(const std::string& kind, const std::string& label,
                          const std::string& group = "") const;
};
const PanelFrame& lastPanelFrame();
