// What the panel's groups share: one row of each kind of control bound to its field, the
// callback after a change, the undo step a continuous control holds open, and the report of
// what the frame drew.
#pragma once

#include <imgui.h>

#include <string>
#include <vector>

#include "app/panel_frame.h"

namespace panel {

using ControlCallback = void (*)(int);

constexpr int kControlId = -1;       // id passed to every control callback...
constexpr int kSurfTypeId = 0;       // ...except the "surf type" list's
constexpr float kLabelRoom = 96.0f;  // pixels kept right of each field for its label

// Typed numbers are shown to four significant digits and applied on Enter.
constexpr const char* kTypedFormat = "%.4g";
constexpr ImGuiInputTextFlags kTypedFlags = ImGuiInputTextFlags_EnterReturnsTrue |
                                            ImGuiInputTextFlags_CharsScientific |
                                            ImGuiInputTextFlags_AutoSelectAll;

// The spinner whose text field is open (ctrl+click or double click) and the value typed so far.
// While the field is open ImGui writes the parsed text back on every frame; bound to the live
// field, a callback that resets its value ("z_rot") or clamps it ("degree S") would run again on
// every frame. So the field is bound to this copy, and the typed value applies once, when it is
// entered.
struct TypedValue {
    ImGuiID id = 0;
    float f = 0.0f;
    int i = 0;
};

// What the rows keep between frames and while a frame is drawn.
struct RowState {
    TypedValue typed;          // the spinner being typed into, if any
    PanelFrame drawing;        // filled while a frame is drawn
    const char* group = "";    // group of the items being drawn
    bool gestureOpen = false;  // a control holds an undo step open
};
RowState& rowState();

// Adds the item ImGui drew last to the frame being drawn, under the current group.
void note(const char* kind, const char* label, double value = 0.0, bool on = false,
          bool enabled = true);

// Runs after a control reports a change: the control's callback with its id, then a redisplay
// of the main window, which shows every change.
void changed(ControlCallback callback, int id);

// A continuous control (a spinner, a pad, the arcball) is one undoable step from the moment it
// is grabbed or starts taking typed text to the moment it lets go. Called right after the
// widget, before its callback runs.
void startGesture(const std::string& name);
void endGesture();

// A group's title and the line under it; the items drawn next belong to the group.
void groupTitle(const char* label);

void textBox(const char* label, char* buffer);
void button(const char* label, ControlCallback callback);

// "browse..." beside the command of a text box: a file chooser fills the box (box names the
// item in the frame report: "browse... file").
void browseButton(const char* box, char* buffer, const char* title, bool save,
                  const std::vector<std::string>& filters = {});

// Spinners: a drag changes the field as it goes; typed text changes it once, when the field
// closes. step names the undo step a drag or typed value makes.
void floatSpinner(const char* label, float* value, float speed, ControlCallback callback,
                  const std::string& step);
void intSpinner(const char* label, int* value, float speed, ControlCallback callback,
                const std::string& step);
// An int spinner held to [low, high]. ImGui leaves a range of one value (low == high)
// unclamped, so the clamp is applied here as well; an empty range greys the spinner out.
void clampedIntSpinner(const char* label, int* value, float speed, int low, int high,
                       ControlCallback callback, const std::string& step = "");

void checkBox(const char* label, int* value, ControlCallback callback);
void staticText(const char* text);

}  // namespace panel
