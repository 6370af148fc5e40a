// The "operations" control panel: a third GLUT window drawn with Dear ImGui, a frame whenever its
// input, a refresh request or a new status line asks for one.
//
// Sections of this file:
//   1. Frame report: what the last frame drew, for tests and tools
//   2. Row helpers: one widget bound to its field, its callback, the main-view redisplay
//   3. drawPanelRows: every control of the panel, in order; the help over it
//   4. Input hand-over: GLUT events to ImGui, quick clicks held for one frame
//   5. Knot controls and the "degree S", "degree T" and "create new surf" callbacks
//   6. The window: display handler and buildControlPanel
//
// ImGui draws the controls from the editor state on every frame, so there is nothing to build
// or tear down when the model changes: the number of knot spinners and section buttons follows
// the arrays, and rebuildKnotControls only closes the knot rollouts and clamps the live values.
#include "app/control_panel.h"

#include <GL/freeglut.h>
#include <imgui.h>
#include <imgui_impl_glut.h>
#include <imgui_impl_opengl2.h>
#include <imgui_internal.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/file_chooser.h"
#include "app/hydrostatics_panel.h"
#include "app/panel_report.h"
#include "app/panel_widgets.h"
#include "app/point_fields.h"
#include "app/rebuild_popup.h"
#include "exchange/export_callback.h"
#include "exchange/import_callback.h"
#include "exchange/lines_callback.h"
#include "input/calibration_input.h"
#include "input/file_keys.h"
#include "input/history_keys.h"
#include "io/serializator.h"
#include "model/derived_nets.h"
#include "model/editor_state.h"
#include "model/gui_hooks.h"
#include "model/knots.h"
#include "model/loft_ends.h"
#include "model/rational_sections.h"
#include "model/section_correspondence.h"
#include "model/skinning.h"
#include "model/surface_commands.h"
#include "model/surface_edit.h"
#include "model/surface_limits.h"
#include "model/transforms.h"
#include "view/background_image.h"
#include "view/grid_renderer.h"
#include "view/help_overlay.h"

namespace {

using ControlCallback = void (*)(int);

constexpr int kControlId = -1;  // id passed to every control callback...
constexpr int kSurfTypeId = 0;  // ...except the "surf type" list's
constexpr int kPanelWidth = 560;
constexpr int kPanelHeight = 800;

// Drag speeds, in units per pixel of pointer movement.
constexpr float kWeightSpeed = 0.5f;
constexpr float kDegreeSpeed = 1.0f;
// GLUI's 0.002 for "multipl." took 500 pixels a step; 0.05 takes 20.
constexpr float kMultiplicitySpeed = 0.05f;
constexpr float kTranslationSpeed = 0.002f;
constexpr float kDestPlaneSpeed = 0.1f;
// An unbounded float spinner of GLUI steps by sqrt(|value|) * 0.05 per pixel (at least 0.001),
// times its speed. A knot in [0, 1] therefore moved by 0.001 to 0.05 per pixel; 0.01 keeps that
// feel. "z_rot" is reset to 0 after every turn, so with its speed of 100 it always stepped
// 0.001 * 100 = 0.1 radian per pixel; taken literally as ImGui's per-pixel speed, 100 radians
// per pixel would turn the section to an arbitrary angle on the smallest drag.
constexpr float kKnotSpeed = 0.01f;
constexpr float kZRotSpeed = 0.1f;

constexpr float kArcballDiameter = 92.0f;
constexpr float kLabelRoom = 96.0f;  // pixels kept right of each field for its label
constexpr int kKnotRowsShown = 7;    // an open knot rollout scrolls past this many spinners,
constexpr int kKnotRowsBothOpen = 4;  // or this many while the other one is open too

// ImGui 1.86 reads buttons and keys as states once per frame, so a press and its release that
// both arrive before the next frame (a quick tap, a synthetic click, ctrl+a typed fast) would
// never be seen. Such a release is held back, with the modifiers it came with, and handed over
// after the frame that saw the press.
struct HeldRelease {
    bool mouse;
    int key;  // GLUT button, or a key slot (see keySlot)
    int x, y;
    int modifiers;
};
struct PanelInput {
    bool pressedSinceFrame[3] = {false, false, false};
    bool keyPressedSinceFrame[512] = {};
    std::vector<HeldRelease> held;
};

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

// Everything the panel keeps between frames.
struct PanelData {
    TypedValue typed;          // the spinner being typed into, if any
    PanelFrame drawing;        // filled while a frame is drawn
    PanelFrame lastFrame;      // the last complete frame
    const char* group = "";    // group of the items being drawn
    PanelInput input;          // input held back for the next frame
    bool gestureOpen = false;  // a control holds an undo step open
    bool releaseKeyboard = false;  // a key went to another window: the typing control lets go
    std::string shownStatus;    // the status line as the last frame drew it
    std::vector<double> shownOutside;  // what shownOutside() gave at the last frame
    double lastFrameTime = 0.0;  // ImGui's clock at the last frame
    // Frames still to draw after input: a list opened by a click shows its choices only in the
    // frame after the one that saw the click, a popup's first frame being hidden while it
    // measures itself.
    int framesAfterInput = 0;
};
PanelData gPanel;

// What the panel shows that the other windows change without a status message: the comb key,
// a click on another section point, a pick, a calibration mark, the curvature scale of the main
// view's last frame, the undo counts. A frame is drawn when any of it differs from the last.
std::vector<double> shownOutside(const EditorState& s) {
    std::vector<double> shown = {static_cast<double>(s.view.curvatureComb),
                                 static_cast<double>(lastAnalysisFrame().curvatureRange),
                                 static_cast<double>(s.selection.currentSection),
                                 static_cast<double>(s.selection.selectedPoint),
                                 static_cast<double>(s.selection.pickedPointOffset),
                                 static_cast<double>(s.selection.weightValue),
                                 static_cast<double>(s.view.calibration.step),
                                 static_cast<double>(s.history.undoSteps.size()),
                                 static_cast<double>(s.history.redoSteps.size()),
                                 static_cast<double>(s.history.unsavedChanges)};
    for (const long index : {selectedSectionPointIndex(s.surface, s.selection),
                             pickedPointIndex(s.surface, s.selection)}) {
        if (index < 0) continue;
        const PointH& p = s.surface.controlNet[static_cast<size_t>(index)];
        shown.insert(shown.end(), {p.x, p.y, p.z, p.w});
    }
    return shown;
}

// ---------------------------------------------------------------------------------------------
// 1. Frame report
// ---------------------------------------------------------------------------------------------

void note(const char* kind, const char* label, double value = 0.0, bool on = false,
          bool enabled = true) {
    PanelItem item;
    item.group = gPanel.group;
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
    gPanel.drawing.items.push_back(item);
}

// ---------------------------------------------------------------------------------------------
// 2. Row helpers
// ---------------------------------------------------------------------------------------------

// Runs after a control reports a change: the control's callback with its id, then a redisplay
// of the main window, which shows every change.
void changed(ControlCallback callback, int id) {
    if (callback != nullptr) {
        callback(id);
        // Some callbacks draw other windows (skinning redraws the main view); the rest of this
        // frame is drawn in the panel's own GL context.
        if (editor.handles.controlPanel != 0 && glutGetWindow() != editor.handles.controlPanel) {
            glutSetWindow(editor.handles.controlPanel);
        }
    }
    if (editor.handles.mainWindow != 0) glutPostWindowRedisplay(editor.handles.mainWindow);
}

// A continuous control (a spinner, a pad, the arcball) is one undoable step from the moment it
// is grabbed or starts taking typed text to the moment it lets go. Called right after the
// widget, before its callback runs.
void startGesture(const std::string& name) {
    if (ImGui::IsItemActivated() && beginEdit(editor, name)) gPanel.gestureOpen = true;
}

void endGesture() {
    if (ImGui::IsItemDeactivated() && gPanel.gestureOpen) {
        gPanel.gestureOpen = false;
        endEdit(editor);
    }
}

void groupTitle(const char* label) {
    gPanel.group = label;
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

// "browse..." beside the command of a text box: a file chooser fills the box (box names the
// item in the frame report: "browse... file").
void browseButton(const char* box, char* buffer, const char* title, bool save,
                  const std::vector<std::string>& filters = {}) {
    ImGui::SameLine();
    ImGui::PushID(box);
    if (ImGui::Button("browse...")) {
        std::string error;
        if (startFileChooser(buffer, title, save, error, filters)) {
            setStatus("browse: choose a file in the window that opened");
        } else {
            setStatus("browse: %s", error.c_str());
        }
    }
    ImGui::PopID();
    note("button", ("browse... " + std::string(box)).c_str());
}

float& typedCopy(float*) {
    return gPanel.typed.f;
}
int& typedCopy(int*) {
    return gPanel.typed.i;
}

// Before a spinner is drawn: what it is bound to, the live field or, while its text field is
// open, the typed copy. `typing` tells which.
template <typename T>
T* spinnerBinding(const char* label, T* value, bool& typing) {
    const ImGuiID id = ImGui::GetID(label);
    typing = gPanel.typed.id == id && ImGui::TempInputIsActive(id);
    return typing ? &typedCopy(value) : value;
}

// After it: whether the spinner changed its field. A drag changes it as it goes; typed text
// changes it once, when the field closes with Return or a click elsewhere (Escape drops it).
template <typename T>
bool spinnerChanged(const char* label, T* value, bool typing, bool edited) {
    const ImGuiID id = ImGui::GetID(label);
    if (!typing) {
        if (ImGui::TempInputIsActive(id)) {  // the text field opened on this frame
            gPanel.typed.id = id;
            typedCopy(value) = *value;
        }
        return edited;
    }
    if (ImGui::TempInputIsActive(id)) return false;  // still typing
    gPanel.typed.id = 0;
    if (ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Escape), false)) return false;
    if (typedCopy(value) == *value) return false;
    *value = typedCopy(value);
    return true;
}

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

// An int spinner held to [low, high]. ImGui leaves a range of one value (low == high)
// unclamped, so the clamp is applied here as well; an empty range greys the spinner out.
void clampedIntSpinner(const char* label, int* value, float speed, int low, int high,
                       ControlCallback callback, const std::string& step = "") {
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

void listBox(const char* label, int* value) {
    static const char* const kSurfaceTypes[] = {"Revolving surface"};
    ImGui::SetNextItemWidth(-kLabelRoom);
    if (ImGui::Combo(label, value, kSurfaceTypes, IM_ARRAYSIZE(kSurfaceTypes))) {
        changed(nullptr, kSurfTypeId);
    }
    note("list", label, *value);
}

// The unit of the export's STEP and IGES files, on the row of its buttons.
void exportUnitList(int* value) {
    static const char* const kUnits[] = {"mm", "cm", "m", "in"};
    ImGui::SameLine();
    ImGui::SetNextItemWidth(ImGui::CalcTextSize("mm").x + ImGui::GetFrameHeight() * 1.6f);
    if (ImGui::Combo("##export unit", value, kUnits, IM_ARRAYSIZE(kUnits))) {
        changed(nullptr, kControlId);
    }
    note("list", "export unit", *value);
}

// The loft's section parameters, in the order of LoftParameters.
void loftParametersList(const char* label, int* value) {
    static const char* const kChoices[] = {"chord", "centripetal", "uniform"};
    // The label is longer than the room other rows leave for theirs.
    const float labelWidth = ImGui::CalcTextSize(label).x + ImGui::GetStyle().ItemInnerSpacing.x;
    ImGui::SetNextItemWidth(ImGui::GetContentRegionAvail().x - labelWidth);
    if (ImGui::Combo(label, value, kChoices, IM_ARRAYSIZE(kChoices))) {
        changed(loftOptionsCallback, kControlId);
    }
    note("list", label, *value);
}

// A list of fixed choices bound to *value; a change redraws the main view.
void choiceList(const char* label, int* value, const char* const* choices, int count) {
    ImGui::SetNextItemWidth(-kLabelRoom);
    if (ImGui::Combo(label, value, choices, count)) changed(nullptr, kControlId);
    note("list", label, *value);
}

// "shading" beside "fill surf": GLU's drawing or an analysis; the curvature map's choice of
// curvature and the range of its colour scale; "comb" for the section window.
void analysisRows(PanelVariables& panel, ViewState& view) {
    static const char* const kShadings[] = {"GLU", "zebra", "curvature"};
    static const char* const kCurvatures[] = {"Gaussian", "mean"};
    choiceList("shading", &panel.shading, kShadings, IM_ARRAYSIZE(kShadings));
    if (panel.shading == kShadingCurvature) {
        choiceList("curvature", &panel.curvatureKind, kCurvatures, IM_ARRAYSIZE(kCurvatures));
        char range[64];
        snprintf(range, sizeof range, "blue -%.4g .. red +%.4g",
                 static_cast<double>(lastAnalysisFrame().curvatureRange),
                 static_cast<double>(lastAnalysisFrame().curvatureRange));
        staticText(range);
    }
    checkBox("comb", &view.curvatureComb, nullptr);
    ImGui::SameLine();
    rebuildButton();
}

void rotation(const char* label, float* matrix, ControlCallback callback, const std::string& step) {
    const bool edited = arcballControl(label, matrix, kArcballDiameter);
    startGesture(step);
    if (edited) changed(callback, kControlId);
    endGesture();
    note("rotation", label);
}

void translation(const char* label, PadKind kind, float* values, ControlCallback callback,
                 const std::string& step) {
    const bool edited = translationPad(label, kind, values, kTranslationSpeed);
    startGesture(step);
    if (edited) changed(callback, kControlId);
    endGesture();
    note("translation", label, values[0]);
}

// A knot spinner changed its knot in place.
void knotChanged(int /*id*/) {
    surfaceEdited(editor, EditEffect::display, Redraw::later);
}

// One rollout of knot spinners, labelled "0", "1", ..., bound to the knots themselves; `other`
// is the label of the other rollout.
void knotRollout(const char* label, const char* other, const char* direction,
                 std::vector<float>& knots) {
    if (editor.panel.closeKnotRollouts) ImGui::SetNextItemOpen(false);
    const bool open = ImGui::CollapsingHeader(label);
    note("rollout", label, static_cast<double>(knots.size()), open);
    if (!open) return;
    const char* outer = gPanel.group;
    gPanel.group = label;
    ImGui::PushID(label);
    // The spinners scroll in a box of a few rows, so the groups below stay in the window however
    // many knots there are. (A box of height 0 would take all the room left.)
    ImGui::PopID();
    const bool otherOpen = ImGui::GetStateStorage()->GetInt(ImGui::GetID(other), 0) != 0;
    ImGui::PushID(label);
    const int most = otherOpen ? kKnotRowsBothOpen : kKnotRowsShown;
    const int rows = std::clamp(static_cast<int>(knots.size()), 1, most);
    ImGui::BeginChild("knots", ImVec2(0.0f, rows * ImGui::GetFrameHeightWithSpacing()));
    for (size_t i = 0; i < knots.size(); ++i) {
        char name[24];
        snprintf(name, sizeof name, "%zu", i);
        floatSpinner(name, &knots[i], kKnotSpeed, knotChanged,
                     "knot " + std::to_string(i) + " in " + direction);
    }
    ImGui::EndChild();
    ImGui::PopID();
    gPanel.group = outer;
}

// One radio button per section, "0" to countV - 1, bound to currentSection; they wrap onto
// further lines when the column is full.
void sectionButtons(int* currentSection, int sections) {
    const char* outer = gPanel.group;
    gPanel.group = "plane";
    ImGui::PushID("plane");
    const float right = ImGui::GetCursorScreenPos().x + ImGui::GetContentRegionAvail().x;
    const ImGuiStyle& style = ImGui::GetStyle();
    for (int i = 0; i < sections; ++i) {
        char name[16];
        snprintf(name, sizeof name, "%d", i);
        if (i > 0) {
            const float width =
                ImGui::GetFrameHeight() + style.ItemInnerSpacing.x + ImGui::CalcTextSize(name).x;
            if (ImGui::GetItemRectMax().x + style.ItemSpacing.x + width <= right) {
                ImGui::SameLine();
            }
        }
        if (ImGui::RadioButton(name, currentSection, i)) changed(nullptr, kControlId);
        note("radio", name, i, *currentSection == i);
    }
    if (sections < 1) ImGui::TextDisabled("no sections");
    ImGui::PopID();
    gPanel.group = outer;
}

void subgroupTitle(const char* label) {
    gPanel.group = label;
    ImGui::TextColored(ImVec4(0.75f, 0.82f, 0.95f, 1.0f), "%s", label);
    note("group", label);
    ImGui::Separator();
}

// Whether the surface has changes that were not saved, under the "file" box.
void unsavedMark(bool unsaved) {
    if (unsaved) {
        ImGui::TextColored(ImVec4(0.95f, 0.55f, 0.35f, 1.0f), "unsaved changes");
    } else {
        ImGui::TextDisabled("no unsaved changes");
    }
    note("static text", unsaved ? "unsaved changes" : "no unsaved changes");
}

// "undo" and "redo" with the number of steps each way; greyed out when there are none.
void historyButtons(const EditHistory& history) {
    const size_t undo = history.undoSteps.size();
    const size_t redo = history.redoSteps.size();
    char label[48];
    snprintf(label, sizeof label, "undo (%zu)###undo", undo);
    ImGui::BeginDisabled(undo == 0);
    if (ImGui::Button(label)) changed(undoCallback, kControlId);
    ImGui::EndDisabled();
    note("button", "undo", static_cast<double>(undo), false, undo != 0);
    ImGui::SameLine();
    snprintf(label, sizeof label, "redo (%zu)###redo", redo);
    ImGui::BeginDisabled(redo == 0);
    if (ImGui::Button(label)) changed(redoCallback, kControlId);
    ImGui::EndDisabled();
    note("button", "redo", static_cast<double>(redo), false, redo != 0);
}

// The name of a weight change of the picked point, or "weight" when none is picked.
std::string pickedPointStepName(const SurfaceModel& surface, const Selection& selection) {
    const int point = selection.pickedPointOffset / 4;
    if (selection.pickedPointOffset < 0 || surface.countU < 1) return "weight";
    return "weight of point " + std::to_string(point % surface.countU) + " of section " +
           std::to_string(point / surface.countU);
}

// "multipl.": the expanded net is built again for the new multiplicity.
void multiplicityChanged(int /*id*/) {
    surfaceEdited(editor, EditEffect::multiplicity, Redraw::later);
}

// Typed numbers are shown to four significant digits and applied on Enter.
constexpr const char* kTypedFormat = "%.4g";
constexpr ImGuiInputTextFlags kTypedFlags = ImGuiInputTextFlags_EnterReturnsTrue |
                                            ImGuiInputTextFlags_CharsScientific |
                                            ImGuiInputTextFlags_AutoSelectAll;

// "rational sections": sections whose weights differ lofted as homogeneous
// points, or brought to common weights first. A change is one undoable step; one the sections
// refuse leaves the choice as it was.
void rationalSectionsCombo(const PanelVariables& panel) {
    static const char* const kChoices[] = {"homogeneous", "compatible"};
    const char* label = "rational sections";
    int choice = panel.rationalSections == 1 ? 1 : 0;
    const float labelWidth = ImGui::CalcTextSize(label).x + ImGui::GetStyle().ItemInnerSpacing.x;
    ImGui::SetNextItemWidth(ImGui::GetContentRegionAvail().x - labelWidth);
    if (ImGui::Combo(label, &choice, kChoices, IM_ARRAYSIZE(kChoices))) {
        setRationalSections(editor, static_cast<LoftRational>(choice));
    }
    note("list", label, choice);
}

// "start" / "end": how an open loft ends at its first / last section (free, closing to a pole,
// or leaving along a direction), side by side on one row. Every change is one undoable step; a
// refused one leaves the row as it was.
void loftEndCombo(const char* label, const LoftEnd& end, bool atStart, float width) {
    static const char* const kKinds[] = {"free", "point", "tangent"};
    int kind = static_cast<int>(end.kind);
    ImGui::SetNextItemWidth(width);
    if (ImGui::Combo(label, &kind, kKinds, IM_ARRAYSIZE(kKinds))) {
        LoftEnd wanted = end;
        wanted.kind = static_cast<LoftEndKind>(kind);
        setLoftEnd(editor, atStart, wanted);
    }
    note("list", label, kind);
}

// The pole or direction of a non-free end ("default" takes the centroid pushed out / the
// section's normal), its bulge and a default pole's distance, in the "ends..." popup.
void loftEndDetails(const char* label, const LoftEnd& end, bool atStart) {
    if (end.kind == LoftEndKind::free) return;
    ImGui::PushID(label);
    ImGui::TextUnformatted(label);
    LoftEnd wanted = end;
    float typed[3] = {end.vector[0], end.vector[1], end.vector[2]};
    ImGui::SetNextItemWidth(220.0f);
    if (ImGui::InputFloat3(end.kind == LoftEndKind::point ? "at" : "along", typed, kTypedFormat,
                           kTypedFlags)) {
        std::copy_n(typed, 3, wanted.vector);
        wanted.given = true;
    }
    ImGui::SameLine();
    if (ImGui::Button(end.given ? "default" : "(default)")) wanted.given = false;
    float bulge = end.bulge;
    ImGui::SetNextItemWidth(100.0f);
    if (ImGui::InputFloat("bulge", &bulge, 0.0f, 0.0f, kTypedFormat, kTypedFlags)) {
        wanted.bulge = bulge;
    }
    if (end.kind == LoftEndKind::point && !end.given) {
        float distance = end.length;
        ImGui::SameLine();
        ImGui::SetNextItemWidth(100.0f);
        if (ImGui::InputFloat("out (0: radius)", &distance, 0.0f, 0.0f, kTypedFormat,
                              kTypedFlags)) {
            wanted.length = distance;
        }
    }
    ImGui::PopID();
    if (wanted != end) setLoftEnd(editor, atStart, wanted);
}

void loftEndRows(PanelVariables& panel) {
    const ImGuiStyle& style = ImGui::GetStyle();
    const float labels = ImGui::CalcTextSize("start").x + ImGui::CalcTextSize("end").x +
                         3.0f * style.ItemInnerSpacing.x + style.ItemSpacing.x;
    const float width = (ImGui::GetContentRegionAvail().x - labels) * 0.5f;
    loftEndCombo("start", panel.loftStart, true, width);
    ImGui::SameLine();
    loftEndCombo("end", panel.loftEnd, false, width);
}

// Beside "closed loft" while an end is not free: opens the details of the ends.
void loftEndsButton(PanelVariables& panel) {
    if (panel.loftStart.kind == LoftEndKind::free && panel.loftEnd.kind == LoftEndKind::free) {
        return;
    }
    ImGui::SameLine();
    if (ImGui::SmallButton("ends...")) ImGui::OpenPopup("loft ends");
    if (ImGui::BeginPopup("loft ends")) {
        loftEndDetails("start", panel.loftStart, true);
        loftEndDetails("end", panel.loftEnd, false);
        ImGui::EndPopup();
    }
}

// True when a typed field was given a new value: Enter on a field left as shown, whose text is
// rounded, or on another field of the same row, leaves the value as it was.
bool typedOverShown(float typed, float value) {
    if (std::memcmp(&typed, &value, sizeof typed) == 0) return false;
    char shown[64];
    snprintf(shown, sizeof shown, kTypedFormat, static_cast<double>(value));
    const float asShown = std::strtof(shown, nullptr);
    return std::memcmp(&typed, &asShown, sizeof typed) != 0;
}

// x, y, z and weight of one point of the net (index, or -1 for none), each applied on Enter.
void pointFields(const char* label, long index, void (*apply)(PointField, double)) {
    float values[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    const bool exists =
        index >= 0 && typedPointValues(editor.surface, static_cast<size_t>(index), values);
    float typed[4] = {values[0], values[1], values[2], values[3]};
    ImGui::BeginDisabled(!exists);
    ImGui::SetNextItemWidth(-kLabelRoom);
    if (ImGui::InputFloat4(label, typed, kTypedFormat, kTypedFlags) && exists) {
        for (int k = 0; k < 4; ++k) {
            if (typedOverShown(typed[k], values[k])) apply(static_cast<PointField>(k), typed[k]);
        }
        changed(nullptr, kControlId);
    }
    ImGui::EndDisabled();
    note("point fields", label, values[0], false, exists);
}

// The background image's calibration, in one row: "calibrate" and "done", the distance of the
// two marks, and where the image's lower-left corner lies.
void calibrationRow(ViewState& view) {
    button("calibrate", calibrateCallback);
    ImGui::SameLine();
    const bool calibrating = view.calibration.step != CalibrationStep::idle;
    ImGui::BeginDisabled(!calibrating);
    if (ImGui::Button("done")) changed(calibrationDoneCallback, kControlId);
    ImGui::EndDisabled();
    note("button", "done", 0.0, false, calibrating);

    ImGui::SameLine();
    ImGui::SetNextItemWidth(70.0f);
    if (ImGui::InputFloat("distance", &view.calibration.distance, 0.0f, 0.0f, "%g", kTypedFlags))
        changed(calibrationDistanceCallback, kControlId);
    note("typed", "distance", view.calibration.distance);

    BackgroundPlacement& placement = view.backgroundPlacement;
    float origin[2] = {placement.originZ, placement.originY};
    ImGui::SameLine();
    ImGui::SetNextItemWidth(-kLabelRoom);
    if (ImGui::InputFloat2("origin z y", origin, kTypedFormat, kTypedFlags) &&
        (typedOverShown(origin[0], placement.originZ) ||
         typedOverShown(origin[1], placement.originY))) {
        if (typedOverShown(origin[0], placement.originZ)) placement.originZ = origin[0];
        if (typedOverShown(origin[1], placement.originY)) placement.originY = origin[1];
        changed(backgroundPlacementCallback, kControlId);
    }
    note("typed", "origin z y", placement.originZ);
}

// The image's opacity, then "mirror", the axis its plane is normal to and the plane's offset.
void opacityAndMirrorRow(BackgroundPlacement& placement, PanelVariables& panel) {
    ImGui::SetNextItemWidth(100.0f);
    if (ImGui::SliderFloat("opacity", &placement.opacity, 0.0f, 1.0f, "%.2f",
                           ImGuiSliderFlags_AlwaysClamp)) {
        changed(nullptr, kControlId);
    }
    if (ImGui::IsItemDeactivatedAfterEdit()) changed(backgroundPlacementCallback, kControlId);
    note("slider", "opacity", placement.opacity);

    ImGui::SameLine(0.0f, 24.0f);
    checkBox("mirror", &panel.mirrorEnabled, mirrorCallback);
    static const char* const kAxes[] = {"x =", "y =", "z ="};
    ImGui::SameLine();
    ImGui::SetNextItemWidth(60.0f);
    if (ImGui::Combo("##mirror axis", &panel.mirrorPlane.axis, kAxes, IM_ARRAYSIZE(kAxes)))
        changed(mirrorCallback, kControlId);
    note("list", "mirror axis", panel.mirrorPlane.axis);
    ImGui::SameLine();
    ImGui::SetNextItemWidth(-kLabelRoom);
    if (ImGui::InputFloat("mirror plane", &panel.mirrorPlane.offset, 0.0f, 0.0f, kTypedFormat,
                          kTypedFlags)) {
        changed(mirrorCallback, kControlId);
    }
    note("typed", "mirror plane", panel.mirrorPlane.offset);
}

// The height the status line takes at the bottom of the window, wrapped to its width.
float statusLineHeight(const char* text) {
    const ImGuiStyle& style = ImGui::GetStyle();
    const float width = ImGui::GetWindowWidth() - 2.0f * style.WindowPadding.x;
    return ImGui::CalcTextSize(text, nullptr, false, width).y + style.ItemSpacing.y * 2.0f + 1.0f +
           style.WindowPadding.y;
}

// The status line at the bottom of the window, under the controls' region, so that it stays in
// sight when open rollouts make the controls taller than the window.
// The "lines" rollout: the stations, waterlines and buttocks the views show, and the files the
// lines plan and the offset table are written to.
void linesRows(PanelVariables& panel) {
    gPanel.group = "lines";
    const bool open = ImGui::CollapsingHeader("lines");
    note("rollout", "lines", 0.0, open);
    if (!open) return;
    checkBox("show lines", &panel.showLines, nullptr);
    textBox("stations", panel.linesStations);
    textBox("waterlines", panel.linesWaterlines);
    textBox("buttocks", panel.linesButtocks);
    textBox("lines plan", panel.linesFileName);
    button("write lines plan", linesPlanCallback);
    browseButton("lines plan", panel.linesFileName, "lines plan (.dxf, .svg, .pdf)", true);
    textBox("offsets", panel.offsetsFileName);
    button("write offsets", offsetTableCallback);
    browseButton("offsets", panel.offsetsFileName, "offset table (.csv)", true);
}

void statusLine(const char* text) {
    gPanel.group = "";
    const ImGuiStyle& style = ImGui::GetStyle();
    const float bottom = ImGui::GetWindowHeight() - statusLineHeight(text) + style.ItemSpacing.y;
    if (ImGui::GetCursorPosY() < bottom) ImGui::SetCursorPosY(bottom);
    ImGui::Separator();
    ImGui::SetCursorPosX(style.WindowPadding.x);
    ImGui::PushTextWrapPos(ImGui::GetWindowWidth() - style.WindowPadding.x);
    ImGui::TextUnformatted(text);
    ImGui::PopTextWrapPos();
    note("status", text);
    gPanel.shownStatus = text;
}

// ---------------------------------------------------------------------------------------------
// 3. The controls, in order
// ---------------------------------------------------------------------------------------------

void drawPanelRows() {
    EditorState& s = editor;
    const ImGuiTableFlags columns = ImGuiTableFlags_BordersInnerV;
    // The controls scroll in their own region when taller than it; the status line stays below.
    ImGui::BeginChild("controls", ImVec2(0.0f, -statusLineHeight(s.panel.statusLine)), false,
                      ImGuiWindowFlags_AlwaysUseWindowPadding);

    groupTitle("commands");
    if (ImGui::BeginTable("commands", 2, columns)) {
        ImGui::TableNextColumn();
        textBox("file", s.panel.surfaceFileName);
        unsavedMark(s.history.unsavedChanges);
        button("load points", loadOrImportCallback);
        browseButton("file", s.panel.surfaceFileName, "surface file", false,
                     kSurfaceFileFilters);
        button("save points", savePointsCallback);
        historyButtons(s.history);
        textBox("export", s.panel.exportFileName);
        button("export", exportCallback);
        browseButton("export", s.panel.exportFileName, "export to", true);
        exportUnitList(&s.panel.exportUnit);
        ImGui::TableNextColumn();
        textBox("background", s.panel.backgroundFileName);
        button("background", backgroundCallback);
        browseButton("background", s.panel.backgroundFileName, "background image", false);
        knotRollout("knots in s", "knots in t", "s", s.surface.knotsU);
        knotRollout("knots in t", "knots in s", "t", s.surface.knotsV);
        s.panel.closeKnotRollouts = false;
        ImGui::EndTable();
    }

    groupTitle("operations");
    if (ImGui::BeginTable("operations", 2, columns)) {
        ImGui::TableNextColumn();
        subgroupTitle("plane");
        sectionButtons(&s.selection.currentSection, s.surface.countV);
        subgroupTitle("multiplicity");
        clampedIntSpinner("multipl.", &s.derived.multiplicity, kMultiplicitySpeed, 1,
                          s.surface.orderV - 1, multiplicityChanged, "multiplicity");
        gPanel.group = "operations";
        ImGui::Separator();
        const std::string section = " section " + std::to_string(s.selection.currentSection);
        rotation("rotation", s.panel.rotationMatrix, rotationCallback, "rotate" + section);
        floatSpinner("z_rot", &s.panel.zRotAngle, kZRotSpeed, zRotCallback, "rotate" + section);
        staticText("ctrl: around y");
        staticText("alt: around x");
        staticText("z_rot: around z");
        floatSpinner("weight", &s.selection.weightValue, kWeightSpeed, weightCallback,
                     pickedPointStepName(s.surface, s.selection));
        listBox("surf type", &s.panel.surfType);
        button("create new surf", createSurfaceCallback);
        intSpinner("degree S", &s.panel.degreeS, kDegreeSpeed, degreeSCallback, "degree S");
        intSpinner("degree T", &s.panel.degreeT, kDegreeSpeed, degreeTCallback, "degree T");

        ImGui::TableNextColumn();
        const std::string move = "move" + section;
        translation("x", PadKind::horizontal, &s.panel.translateX, translateXCallback, move);
        translation("y", PadKind::vertical, &s.panel.translateY, translateYCallback, move);
        translation("z", PadKind::vertical, &s.panel.translateZ, translateZCallback, move);
        translation("zy", PadKind::both, s.panel.translateZY, translateZYCallback, move);
        button("scaleUp", scaleUpCallback);
        ImGui::SameLine();  // one row for both, which leaves room for the loft's ends
        button("scaleDown", scaleDownCallback);
        checkBox("skinning", &s.panel.skinningEnabled, skinningCallback);
        ImGui::SameLine();  // one row for both, which leaves room for "rational sections"
        checkBox("closed loft", &s.panel.closedLoft, loftOptionsCallback);
        loftEndsButton(s.panel);
        loftParametersList("loft parameters", &s.panel.loftParameters);
        rationalSectionsCombo(s.panel);
        loftEndRows(s.panel);
        button("flip", flipSectionCallback);
        ImGui::SameLine();
        button("align all", alignSectionsCallback);
        button("start -1", startBackCallback);
        ImGui::SameLine();
        button("start +1", startForwardCallback);
        clampedIntSpinner("dest. plane", &s.selection.destPlane, kDestPlaneSpeed, 0,
                          s.surface.countV - 1, nullptr);
        button("copy", copySectionCallback);
        checkBox("fill surf", &s.panel.fillSurface, fillSurfaceCallback);
        analysisRows(s.panel, s.view);
        ImGui::EndTable();
    }

    groupTitle("tracing");
    calibrationRow(s.view);
    opacityAndMirrorRow(s.view.backgroundPlacement, s.panel);
    pointFields("section point", selectedSectionPointIndex(s.surface, s.selection),
                typeSectionPointValue);
    pointFields("picked point", pickedPointIndex(s.surface, s.selection), typePickedPointValue);
    linesRows(s.panel);

    groupTitle("hydrostatics");
    hydrostaticsRows();
    ImGui::EndChild();

    statusLine(s.panel.statusLine);
}

// The panel's keys and buttons over its top-left corner while F1 or "h" shows them.
void helpWindow() {
    if (!helpShown(HelpWindow::panel)) return;
    ImGui::SetNextWindowPos(ImVec2(8.0f, 8.0f));
    ImGui::SetNextWindowBgAlpha(0.92f);
    ImGui::Begin("help", nullptr,
                 ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                     ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_AlwaysAutoResize |
                     ImGuiWindowFlags_NoFocusOnAppearing);
    const char* const* lines = helpLines(HelpWindow::panel);
    ImGui::TextColored(ImVec4(1.0f, 0.85f, 0.45f, 1.0f), "%s", lines[0]);
    for (int i = 1; lines[i] != nullptr; ++i) ImGui::TextUnformatted(lines[i]);
    gPanel.group = "";
    note("help", lines[0]);
    ImGui::End();
}

// ---------------------------------------------------------------------------------------------
// 4. Input hand-over
// ---------------------------------------------------------------------------------------------

void postPanelRedisplay() {
    if (editor.handles.controlPanel == 0) return;
    // The frame asked for now and two after it.
    constexpr int kFramesAfterInput = 3;
    gPanel.framesAfterInput = kFramesAfterInput;
    glutPostWindowRedisplay(editor.handles.controlPanel);
}

// One slot per physical key: GLUT reports a letter as 'a', 'A' or its control code (ctrl+a is
// 1) depending on the modifiers at that moment, and a release may come in another form than
// its press. Special keys take the slots from 256 on.
int keySlot(unsigned char c) {
    if (c >= 1 && c <= 26) return 'a' + c - 1;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 'a';
    return c;
}

void setModifiers(int modifiers) {
    ImGuiIO& io = ImGui::GetIO();
    io.KeyCtrl = (modifiers & GLUT_ACTIVE_CTRL) != 0;
    io.KeyShift = (modifiers & GLUT_ACTIVE_SHIFT) != 0;
    io.KeyAlt = (modifiers & GLUT_ACTIVE_ALT) != 0;
}

// Releases a key slot in ImGui's key table, in every form the backend may have pressed it.
void releaseKeySlot(int slot) {
    ImGuiIO& io = ImGui::GetIO();
    if (slot >= 256) {
        if (slot < IM_ARRAYSIZE(io.KeysDown)) io.KeysDown[slot] = false;
    } else if (slot >= 'a' && slot <= 'z') {
        io.KeysDown[slot] = io.KeysDown[slot - 'a' + 'A'] = io.KeysDown[slot - 'a' + 1] = false;
    } else {
        io.KeysDown[slot] = false;
    }
}

// Mouse and motion events do not pass through ImGui's key handlers, so the modifiers (ctrl and
// alt choose the arcball's axis, ctrl+click types into a spinner) are read here while GLUT
// knows them.
void panelMouse(int button, int state, int x, int y) {
    setModifiers(glutGetModifiers());
    const int index = button == GLUT_LEFT_BUTTON     ? 0
                      : button == GLUT_RIGHT_BUTTON  ? 1
                      : button == GLUT_MIDDLE_BUTTON ? 2
                                                     : -1;
    if (index >= 0 && state == GLUT_UP && gPanel.input.pressedSinceFrame[index]) {
        gPanel.input.held.push_back({true, button, x, y, glutGetModifiers()});
        ImGui_ImplGLUT_MotionFunc(x, y);
    } else {
        if (index >= 0 && state == GLUT_DOWN) gPanel.input.pressedSinceFrame[index] = true;
        ImGui_ImplGLUT_MouseFunc(button, state, x, y);
    }
    postPanelRedisplay();
}

void panelMotion(int x, int y) {
    ImGui_ImplGLUT_MotionFunc(x, y);
    postPanelRedisplay();
}

void panelKeyboard(unsigned char key, int x, int y) {
    // Undo and redo keys belong to the editor, unless a text field is taking typed text (ImGui
    // has its own undo there).
    if (!ImGui::GetIO().WantTextInput && handleHistoryKey(key, glutGetModifiers(), Redraw::later)) {
        postPanelRedisplay();
        return;
    }
    if (handleFileKey(key)) {
        postPanelRedisplay();
        return;
    }
    if (key == 'h' && !ImGui::GetIO().WantTextInput) {
        toggleHelp(HelpWindow::panel);
        postPanelRedisplay();
        return;
    }
    gPanel.input.keyPressedSinceFrame[keySlot(key)] = true;
    ImGui_ImplGLUT_KeyboardFunc(key, x, y);
    postPanelRedisplay();
}

void panelKeyboardUp(unsigned char key, int x, int y) {
    const int slot = keySlot(key);
    if (gPanel.input.keyPressedSinceFrame[slot]) {
        gPanel.input.held.push_back({false, slot, x, y, glutGetModifiers()});
    } else {
        releaseKeySlot(slot);
        setModifiers(glutGetModifiers());
    }
    postPanelRedisplay();
}

void panelSpecial(int key, int x, int y) {
    if (key == GLUT_KEY_F1) {
        toggleHelp(HelpWindow::panel);
        postPanelRedisplay();
        return;
    }
    if (key >= 0 && key < 256) gPanel.input.keyPressedSinceFrame[256 + key] = true;
    ImGui_ImplGLUT_SpecialFunc(key, x, y);
    postPanelRedisplay();
}

void panelSpecialUp(int key, int x, int y) {
    if (key >= 0 && key < 256 && gPanel.input.keyPressedSinceFrame[256 + key]) {
        gPanel.input.held.push_back({false, 256 + key, x, y, glutGetModifiers()});
    } else {
        ImGui_ImplGLUT_SpecialUpFunc(key, x, y);
    }
    postPanelRedisplay();
}

// After a frame: hand over the releases held back for it, in the order they came.
void releaseHeldInput() {
    std::fill(std::begin(gPanel.input.pressedSinceFrame), std::end(gPanel.input.pressedSinceFrame),
              false);
    std::fill(std::begin(gPanel.input.keyPressedSinceFrame),
              std::end(gPanel.input.keyPressedSinceFrame), false);
    if (gPanel.input.held.empty()) return;
    std::vector<HeldRelease> held;
    held.swap(gPanel.input.held);
    for (const HeldRelease& r : held) {
        if (r.mouse) {
            ImGui_ImplGLUT_MouseFunc(r.key, GLUT_UP, r.x, r.y);
        } else {
            releaseKeySlot(r.key);
        }
        setModifiers(r.modifiers);
    }
    postPanelRedisplay();
}

}  // namespace

int PanelFrame::count(const std::string& group, const std::string& kind) const {
    return static_cast<int>(std::count_if(items.begin(), items.end(), [&](const PanelItem& i) {
        return i.group == group && i.kind == kind;
    }));
}

const PanelItem* PanelFrame::find(const std::string& kind, const std::string& label,
                                  const std::string& group) const {
    for (const PanelItem& item : items) {
        if (item.kind == kind && item.label == label && (group.empty() || item.group == group)) {
            return &item;
        }
    }
    return nullptr;
}

const PanelFrame& lastPanelFrame() {
    return gPanel.lastFrame;
}

// ---------------------------------------------------------------------------------------------
// 5. Knot controls and the degree / surface callbacks
// ---------------------------------------------------------------------------------------------

void rebuildKnotControls() {
    EditorState& s = editor;
    ++s.panel.knotControlRebuilds;
    s.panel.closeKnotRollouts = true;
    // The limits of "multipl." (1 .. orderV - 1) and "dest. plane" (0 .. countV - 1) follow the
    // new sizes; values left outside are brought back in, as the spinners would.
    if (s.surface.orderV >= 2) {
        const int32_t multiplicity = std::clamp(s.derived.multiplicity, 1, s.surface.orderV - 1);
        if (multiplicity != s.derived.multiplicity) {
            s.derived.multiplicity = multiplicity;
            releaseExpandedNet(
                s.derived);  // built for the old multiplicity; the main view rebuilds it
        }
    }
    s.selection.destPlane =
        s.surface.countV >= 1 ? std::clamp(s.selection.destPlane, 0, s.surface.countV - 1) : 0;
    s.panel.degreeT = s.surface.orderV - 1;
    s.panel.degreeS = s.surface.orderU - 1;
    guiRefreshPanel();
}

namespace {

// A new degree in one direction (1 = U, "degree S"; 2 = V, "degree T"): order = degree + 1,
// fresh clamped uniform knots. The degree is kept between 1 and points - 1, so the order never
// exceeds the points in that direction; a value outside is brought back and the status says so.
void changeDegree(int direction) {
    EditorState& s = editor;
    const bool inU = direction == 1;
    const char* name = inU ? "degree S" : "degree T";
    int32_t& degree = inU ? s.panel.degreeS : s.panel.degreeT;
    int32_t& order = inU ? s.surface.orderU : s.surface.orderV;
    int32_t& knotCount = inU ? s.surface.knotCountU : s.surface.knotCountV;
    const int32_t points = inU ? s.surface.countU : s.surface.countV;

    // A surface with more order than points is brought into range here.
    if (!surfaceArraysMatch(s.surface)) {
        setStatus("%s: no surface loaded", name);
        degree = order - 1;
        return;
    }
    // The renderer draws orders up to kMostDrawnOrder, however many points there are.
    const int32_t highest = std::min(points - 1, kMostDrawnOrder - 1);
    if (highest < 1) {
        setStatus("%s stays %d: %d point in that direction allows no other degree", name, order - 1,
                  points);
        degree = order - 1;
        return;
    }
    const int32_t asked = degree;
    degree = std::clamp(degree, 1, highest);
    if (degree + 1 != order) {
        runEdit(s, name, [&] {
            order = degree + 1;
            knotCount = points + order;
            generateUniformKnots(s.surface, direction);
            surfaceEdited(s, EditEffect::reshaped, Redraw::later);
        });
    }
    // Said after the edit, whose own account of the new degrees it replaces.
    if (degree != asked) {
        setStatus("%s %d is out of range with %d points (1 to %d): set to %d", name, asked, points,
                  highest, degree);
    }
}

}  // namespace

void degreeSCallback(int /*id*/) {
    changeDegree(1);
}

void degreeTCallback(int /*id*/) {
    changeDegree(2);
}

void createSurfaceCallback(int /*id*/) {
    if (editor.panel.surfType == 0) createRevolvedSurface();
}

// ---------------------------------------------------------------------------------------------
// 6. The window
// ---------------------------------------------------------------------------------------------

void controlPanelDisplay() {
    // 1. Start the frame at the window's current size.
    ImGuiIO& io = ImGui::GetIO();
    const int width = glutGet(GLUT_WINDOW_WIDTH);
    const int height = glutGet(GLUT_WINDOW_HEIGHT);
    io.DisplaySize = ImVec2(static_cast<float>(width), static_cast<float>(height));
    ImGui_ImplOpenGL2_NewFrame();
    ImGui_ImplGLUT_NewFrame();
    if (gPanel.releaseKeyboard) {
        gPanel.releaseKeyboard = false;
        ImGui::ClearActiveID();
    }

    // 2. One ImGui window covering the GLUT window, holding every control, after a file chooser's
    // answer has filled its box.
    takeChooserAnswer();
    gPanel.drawing = PanelFrame();
    gPanel.drawing.number = gPanel.lastFrame.number + 1;
    ImGui::SetNextWindowPos(ImVec2(0.0f, 0.0f));
    ImGui::SetNextWindowSize(io.DisplaySize);
    // The window itself has no padding: the controls' region keeps it (so they sit where they
    // always did) and the status line indents itself.
    ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(0.0f, 0.0f));
    ImGui::Begin("operations", nullptr,
                 ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                     ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoSavedSettings |
                     ImGuiWindowFlags_NoBringToFrontOnFocus | ImGuiWindowFlags_NoScrollbar |
                     ImGuiWindowFlags_NoScrollWithMouse);
    ImGui::PopStyleVar();
    drawPanelRows();
    // A control that held a step open can vanish without letting go (a knot spinner in a
    // rollout that closed): the step ends once no control is held.
    if (gPanel.gestureOpen && !ImGui::IsAnyItemActive()) {
        gPanel.gestureOpen = false;
        endEdit(editor);
    }
    ImGui::End();
    helpWindow();
    ImGui::Render();
    gPanel.lastFrameTime = ImGui::GetTime();
    if (gPanel.framesAfterInput > 0) --gPanel.framesAfterInput;
    gPanel.shownOutside = shownOutside(editor);
    gPanel.lastFrame = std::move(gPanel.drawing);
    gPanel.drawing = PanelFrame();
    writePanelReport(gPanel.lastFrame);

    // 3. Draw it. The renderer saves and restores the GL state it changes.
    glViewport(0, 0, width, height);
    glClearColor(0.1f, 0.1f, 0.1f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
    glutSwapBuffers();

    // 4. Input that ended before this frame could see it comes next.
    releaseHeldInput();
}

bool panelOutOfDate() {
    if (editor.handles.controlPanel == 0 || ImGui::GetCurrentContext() == nullptr) return false;
    if (gPanel.framesAfterInput > 0) return true;
    if (gPanel.shownStatus != editor.panel.statusLine) return true;
    if (gPanel.shownOutside != shownOutside(editor)) return true;
    // A text field being typed into blinks its caret, twice a second.
    constexpr double kCaretBlink = 0.5;
    return ImGui::GetIO().WantTextInput && ImGui::GetTime() - gPanel.lastFrameTime > kCaretBlink;
}

void releasePanelKeyboard() {
    if (editor.handles.controlPanel == 0 || ImGui::GetCurrentContext() == nullptr) return;
    if (!ImGui::GetIO().WantTextInput) return;
    // Let go at the start of the next frame, so the control sees itself deactivated as after a
    // click elsewhere (its value applies or goes back, its undo step ends).
    gPanel.releaseKeyboard = true;
    glutPostWindowRedisplay(editor.handles.controlPanel);
}

void buildControlPanel() {
    EditorState& s = editor;
    const int previous = glutGetWindow();

    // 1. The window, at the position the window system chooses.
    glutInitWindowPosition(-1, -1);
    glutInitWindowSize(kPanelWidth, kPanelHeight);
    s.handles.controlPanel = glutCreateWindow("operations");

    // 2. ImGui on this window only: its context, the GLUT input handlers, the GL renderer.
    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;  // nothing is written to the working directory
    io.LogFilename = nullptr;
    ImGui::StyleColorsDark();
    ImGui_ImplGLUT_Init();
    ImGui_ImplGLUT_InstallFuncs();
    ImGui_ImplOpenGL2_Init();
    glutDisplayFunc(controlPanelDisplay);
    glutMouseFunc(panelMouse);
    glutMotionFunc(panelMotion);
    glutPassiveMotionFunc(panelMotion);
    glutKeyboardFunc(panelKeyboard);
    glutKeyboardUpFunc(panelKeyboardUp);
    glutSpecialFunc(panelSpecial);
    glutSpecialUpFunc(panelSpecialUp);

    // 3. The surface named in the configuration. A successful load rebuilds the knot controls;
    // a failed one leaves an empty editor whose "load points" still works.
    DefaultSerializator::getInstance()->load(kControlId);
    // The surface the editor opens with is where undo stops; what its file held (and when) is
    // kept, so a save over another program's later write asks first.
    EditHistory fresh;
    fresh.savedFiles = std::move(s.history.savedFiles);
    s.history = std::move(fresh);
    if (refreshUnsavedChanges(s)) markSurfaceSaved(s);
    if (!surfaceIsUsable(s.surface) && s.panel.statusLine[0] == '\0') {
        setStatus("no surface loaded from \"%s\": name a surface file and press \"load points\"",
                  s.panel.surfaceFileName);
    }

    if (previous != 0) glutSetWindow(previous);
}
