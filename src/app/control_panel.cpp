// The "operations" control panel: a third GLUT window drawn with Dear ImGui, a frame whenever its
// input, a refresh request or a new status line asks for one.
//
// Sections of this file:
//   1. The groups, in order (each in its own file), and the help over them
//   2. Input hand-over: GLUT events to ImGui, quick clicks held for one frame
//   3. The window: display handler and buildControlPanel
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
#include <string>
#include <vector>

#include "app/file_callbacks.h"
#include "app/file_chooser.h"
#include "app/hydrostatics_panel.h"
#include "app/panel_commands.h"
#include "app/panel_operations.h"
#include "app/panel_report.h"
#include "app/panel_rows.h"
#include "app/panel_tracing.h"
#include "input/file_keys.h"
#include "input/history_keys.h"
#include "io/serializator.h"
#include "model/editor_state.h"
#include "model/surface_edit.h"
#include "view/help_overlay.h"
#include "view/redraw.h"

namespace {

using panel::note;
using panel::rowState;

constexpr int kPanelWidth = 560;
constexpr int kPanelHeight = 800;

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

// Everything the frame keeps between frames (the rows keep theirs in panel::rowState()).
struct PanelData {
    PanelFrame lastFrame;          // the last complete frame
    PanelInput input;              // input held back for the next frame
    bool releaseKeyboard = false;  // a key went to another window: the typing control lets go
    std::string shownStatus;       // the status line as the last frame drew it
    double lastFrameTime = 0.0;    // ImGui's clock at the last frame
    // Frames still to draw after input: a list opened by a click shows its choices only in the
    // frame after the one that saw the click, a popup's first frame being hidden while it
    // measures itself.
    int framesAfterInput = 0;
};
PanelData gPanel;

// ---------------------------------------------------------------------------------------------
// 1. The groups, in order
// ---------------------------------------------------------------------------------------------

// The height the status line takes at the bottom of the window, wrapped to its width.
float statusLineHeight(const char* text) {
    const ImGuiStyle& style = ImGui::GetStyle();
    const float width = ImGui::GetWindowWidth() - 2.0f * style.WindowPadding.x;
    return ImGui::CalcTextSize(text, nullptr, false, width).y + style.ItemSpacing.y * 2.0f + 1.0f +
           style.WindowPadding.y;
}

// The status line at the bottom of the window, under the controls' region, so that it stays in
// sight when open rollouts make the controls taller than the window.
void statusLine(const char* text) {
    rowState().group = "";
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

void drawPanelRows() {
    EditorState& s = editor;
    // The controls scroll in their own region when taller than it; the status line stays below.
    ImGui::BeginChild("controls", ImVec2(0.0f, -statusLineHeight(s.panel.statusLine)), false,
                      ImGuiWindowFlags_AlwaysUseWindowPadding);
    panel::commandsGroup(s);
    panel::operationsGroup(s);
    panel::tracingGroup(s);
    panel::groupTitle("hydrostatics");
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
    rowState().group = "";
    note("help", lines[0]);
    ImGui::End();
}

// ---------------------------------------------------------------------------------------------
// 2. Input hand-over
// ---------------------------------------------------------------------------------------------

void postPanelRedisplay() {
    if (editor.handles.controlPanel == 0) return;
    // The frame asked for now and two after it.
    constexpr int kFramesAfterInput = 3;
    gPanel.framesAfterInput = kFramesAfterInput;
    requestPanelRedraw();
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
    if (!ImGui::GetIO().WantTextInput && handleHistoryKey(key, glutGetModifiers())) {
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

const PanelFrame& lastPanelFrame() {
    return gPanel.lastFrame;
}

// ---------------------------------------------------------------------------------------------
// 3. The window
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
    rowState().drawing = PanelFrame();
    rowState().drawing.number = gPanel.lastFrame.number + 1;
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
    if (rowState().gestureOpen && !ImGui::IsAnyItemActive()) {
        rowState().gestureOpen = false;
        endEdit(editor);
    }
    ImGui::End();
    helpWindow();
    ImGui::Render();
    gPanel.lastFrameTime = ImGui::GetTime();
    if (gPanel.framesAfterInput > 0) --gPanel.framesAfterInput;
    gPanel.lastFrame = std::move(rowState().drawing);
    rowState().drawing = PanelFrame();
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
    requestPanelRedraw();
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
    serializator->load(panel::kControlId);
    // The surface the editor opens with is where undo stops; what its file held (and when) is
    // kept, so a save over another program's later write asks first.
    EditHistory fresh;
    fresh.savedFiles = std::move(s.history.savedFiles);
    s.history = std::move(fresh);
    if (refreshUnsavedChanges(s)) markSurfaceSaved(s);
    if (!surfaceIsUsable(s.surface) && s.panel.statusLine[0] == '\0') {
        setStatusLinef(
            editor.panel,
            "no surface loaded from \"%s\": name a surface file and press \"load points\"",
            s.panel.surfaceFileName);
    }

    if (previous != 0) glutSetWindow(previous);
}
