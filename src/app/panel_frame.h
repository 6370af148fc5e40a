// What one frame of the "operations" panel drew: every control with its place and value, for
// tests and for the report that programs driving the editor read.
#pragma once

#include <string>
#include <vector>

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
