// The rows the panel's groups are made of: each control bound to its field, reported in the
// frame as it is drawn.
#include "app/panel_rows.h"

#include <GL/freeglut.h>
#include <imgui.h>
#include <imgui_internal.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/file_chooser.h"
#include "model/editor_state.h"
#include "model/surface_edit.h"
#include "view/redraw.h"

namespace panel {

namespace {

RowState gRows;

}  // namespace

RowState& rowState() {
    return gRows;
}

void note(const char* kind, const char* label, double value, bool on, bool enabled) {
    PanelItem item;
    item.group = gRows.group;
    item.kind = kind;
    item.label = label;
    const ImVec2 min = ImGui::GetItemRectMin();
    const ImVec2 max = ImGui::GetItemRectMax();
    item.minX = min.x;
    item.minY = min.y;
    item.maxX = max.x;
    item.maxY = max.y;
    item.value = value;
    item.on = on;
    item.enabled = enabled;
    gRows.drawing.items.push_back(item);
}

void changed(ControlCallback callback, int id) {
    if (callback != nullptr) {
        callback(id);
        // Some callbacks make another window current (the background image is loaded in the
        // section window's context); the rest of this frame is drawn in the panel's own.
        if (editor.handles.controlPanel != 0 && glutGetWindow() != editor.handles.controlPanel) {
            glutSetWindow(editor.handles.controlPanel);
        }
    }
    requestMainRedraw();
}

void startGesture(const std::string& name) {
    if (ImGui::IsItemActivated() && beginEdit(editor, name)) gRows.gestureOpen = true;
}

void endGesture() {
    if (ImGui::IsItemDeactivated() && gRows.gestureOpen) {
        gRows.gestureOpen = false;
        endEdit(editor);
    }
}

void groupTitle(const char* label) {
    gRows.group = label;
    ImGui::Spacing();
    ImGui::TextColored(ImVec4(0.95f, 0.82f, 0.45f, 1.0f), "%s", label);
    note("group", label);
    ImGui::Separator();
}

void textBox(const char* label, char* buffer) {
    ImGui::PushID("text box");  // a button may carry the same label ("background")
    ImGui::SetNextItemWidth(-kLabelRoom);
    if (ImGui::InputText(label, buffer, kTextFieldSize)) changed(nullptr, kControlId);
    note("text box", label);
    ImGui::PopID();
}

void button(const char* label, ControlCallback callback) {
    if (ImGui::Button(label)) changed(callback, kControlId);
    note("button", label);
}

void browseButton(const char* box, char* buffer, const char* title, bool save,
                  const std::vector<std::string>& filters) {
    ImGui::SameLine();
    ImGui::PushID(box);
    if (ImGui::Button("browse...")) {
        std::string error;
        if (startFileChooser(buffer, title, save, error, filters)) {
            setStatusLinef(editor.panel, "browse: choose a file in the window that opened");
        } else {
            setStatusLinef(editor.panel, "browse: %s", error.c_str());
        }
    }
    ImGui::PopID();
    note("button", ("browse... " + std::string(box)).c_str());
}

namespace {

float& typedCopy(float*) {
    return gRows.typed.f;
}
int& typedCopy(int*) {
    return gRows.typed.i;
}

// Before a spinner is drawn: what it is bound to, the live field or, while its text field is
// open, the typed copy. `typing` tells which.
template <typename T>
T* spinnerBinding(const char* label, T* value, bool& typing) {
    const ImGuiID id = ImGui::GetID(label);
    typing = gRows.typed.id == id && ImGui::TempInputIsActive(id);
    return typing ? &typedCopy(value) : value;
}

// After it: whether the spinner changed its field. A drag changes it as it goes; typed text
// changes it once, when the field closes with Return or a click elsewhere (Escape drops it).
template <typename T>
bool spinnerChanged(const char* label, T* value, bool typing, bool edited) {
    const ImGuiID id = ImGui::GetID(label);
    if (!typing) {
        if (ImGui::TempInputIsActive(id)) {  // the text field opened on this frame
            gRows.typed.id = id;
            typedCopy(value) = *value;
        }
        return edited;
    }
    if (ImGui::TempInputIsActive(id)) return false;  // still typing
    gRows.typed.id = 0;
    if (ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Escape), false)) return false;
    if (typedCopy(value) == *value) return false;
    *value = typedCopy(value);
    return true;
}

}  // namespace

void floatSpinner(const char* label, float* value, float speed, ControlCallback callback,
                  const std::string& step) {
    ImGui::SetNextItemWidth(-kLabelRoom);
    bool typing = false;
    float* bound = spinnerBinding(label, value, typing);
    const bool edited =
        ImGui::DragFloat(label, bound, speed, 0.0f, 0.0f, "%.3f", ImGuiSliderFlags_NoRoundToFormat);
    startGesture(step);
    if (spinnerChanged(label, value, typing, edited)) changed(callback, kControlId);
    endGesture();
    note("spinner", label, *value);
}

void intSpinner(const char* label, int* value, float speed, ControlCallback callback,
                const std::string& step) {
    ImGui::SetNextItemWidth(-kLabelRoom);
    bool typing = false;
    int* bound = spinnerBinding(label, value, typing);
    const bool edited = ImGui::DragInt(label, bound, speed);
    startGesture(step);
    if (spinnerChanged(label, value, typing, edited)) changed(callback, kControlId);
    endGesture();
    note("spinner", label, *value);
}

void clampedIntSpinner(const char* label, int* value, float speed, int low, int high,
                       ControlCallback callback, const std::string& step) {
    ImGui::SetNextItemWidth(-kLabelRoom);
    if (low > high) {
        ImGui::BeginDisabled();
        int shown = *value;
        ImGui::DragInt(label, &shown, speed);
        ImGui::EndDisabled();
        note("spinner", label, *value, false, false);
        return;
    }
    const int before = *value;
    bool typing = false;
    int* bound = spinnerBinding(label, value, typing);
    const bool edited =
        ImGui::DragInt(label, bound, speed, low, high, "%d", ImGuiSliderFlags_AlwaysClamp);
    if (!step.empty()) startGesture(step);
    if (spinnerChanged(label, value, typing, edited)) {
        *value = std::clamp(*value, low, high);
        if (*value != before) changed(callback, kControlId);
    }
    endGesture();
    note("spinner", label, *value);
}

void checkBox(const char* label, int* value, ControlCallback callback) {
    bool on = *value != 0;
    if (ImGui::Checkbox(label, &on)) {
        *value = on ? 1 : 0;
        changed(callback, kControlId);
    }
    note("check box", label, *value, *value != 0);
}

void staticText(const char* text) {
    ImGui::TextUnformatted(text);
    note("static text", text);
}

}  // namespace panel
