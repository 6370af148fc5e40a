// Undo and redo of every kind of edit, driven as the user drives it: the section window's mouse,
// the popup menu's actions, the panel's spinners, pads, buttons and typed values. Each edit is
// one step; undo brings back the surface, the skinned net and the panel's values bit for bit,
// and redo the state after the edit.
#include <GL/freeglut.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
// Xlib after GoogleTest, whose names its macros (None) would replace.
#include <GL/glx.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/control_panel.h"
#include "input/main_input.h"
#include "input/section_input.h"
#include "model/editor_state.h"
#include "model/surface_edit.h"
#include "support/gui_test_env.h"
#include "support/panel_driver.h"
#include "support/section_surface.h"
#include "support/state_text.h"

using namespace testsupport;

namespace {

constexpr unsigned char kCtrlZ = 26;
constexpr unsigned char kCtrlY = 25;

// What an undo step must bring back, floats in hex so equal text means equal bits.
std::string editText(const EditorState& s) {
    std::string o;
    const SurfaceModel& m = s.surface;
    const int32_t counts[] = {m.countU, m.countV, m.orderU, m.orderV, m.knotCountU, m.knotCountV};
    for (int32_t count : counts) appendInt(o, "count", count);
    appendFloats(o, "knotsU", m.knotsU.data(), m.knotsU.size());
    appendFloats(o, "knotsV", m.knotsV.data(), m.knotsV.size());
    appendNet(o, "controlNet", m.controlNet);
    appendNet(o, "skinnedNet", s.derived.skinnedNet);
    appendFloats(o, "skinnedKnotsV", s.derived.skinnedKnotsV.data(),
                 s.derived.skinnedKnotsV.size());
    appendInt(o, "multiplicity", s.derived.multiplicity);
    appendInt(o, "degreeS", s.panel.degreeS);
    appendInt(o, "degreeT", s.panel.degreeT);
    appendInt(o, "fillSurface", s.panel.fillSurface);
    appendFloat(o, "surfaceDisplayMode", s.panel.surfaceDisplayMode);
    appendInt(o, "currentSection", s.selection.currentSection);
    appendInt(o, "destPlane", s.selection.destPlane);
    appendInt(o, "pickedPointOffset", s.selection.pickedPointOffset);
    appendFloat(o, "weightValue", s.selection.weightValue);
    return o;
}

// GLUT position of point j of the current section, as the section window shows it now.
WindowPosition pointOnScreen(int j) {
    drawSectionWindow();
    const SectionPoint p = sectionPoint(editor.selection.currentSection, j);
    return sectionWindowPosition(p.x, p.y, p.z);
}

void dragSectionPoint(int j, int dx, int dy, int motions) {
    const WindowPosition p = pointOnScreen(j);
    sectionMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, p.x, p.y);
    for (int i = 1; i <= motions; ++i)
        sectionMotion(p.x + dx * i / motions, p.y + dy * i / motions);
    sectionMouse(GLUT_LEFT_BUTTON, GLUT_UP, p.x + dx, p.y + dy);
}

void hoverPoint(int j, int dx = 0, int dy = 0) {
    const WindowPosition p = pointOnScreen(j);
    sectionPassiveMotion(p.x + dx, p.y + dy);
}

void openRollout(const char* label) {
    drawPanel(2);
    if (!panelItem("rollout", label).on) clickPanel("rollout", label);
}

// A drag from a point 10 pixels inside the control's corner.
void dragControl(const char* kind, const char* label, float dx, float dy) {
    drawPanel(2);
    const PanelItem item = panelItem(kind, label);
    dragPanel(item.minX + 10.0f, item.minY + 10.0f, dx, dy, 20);
}

struct EditCase {
    const char* name;
    std::function<void()> edit;
    std::function<void()> setUp = nullptr;  // what the user does first that is not an edit
};

const std::vector<EditCase> kEdits = {
    {"drag in the section window", [] { dragSectionPoint(2, 14, -9, 12); }},
    {"Add",
     [] {
         hoverPoint(2, 6, 6);
         addSectionPoint();
     }},
    {"Delete",
     [] {
         hoverPoint(3);
         deleteSectionPoint();
     }},
    {"typed weight", [] { typeIntoSpinner("weight", "2.5"); },
     [] {
         editor.selection.pickedPointOffset = 4 * 9;
         editor.selection.weightValue = editor.surface.controlNet[9].w;
     }},
    {"typed knot",
     [] {
         openRollout("knots in s");
         typeIntoSpinner("4", "0.4");
     }},
    {"typed degree S", [] { typeIntoSpinner("degree S", "2"); }},
    {"typed degree T", [] { typeIntoSpinner("degree T", "1"); }},
    {"typed multiplicity", [] { typeIntoSpinner("multipl.", "2"); }},
    {"translation pad", [] { dragControl("translation", "x", 60.0f, 0.0f); }},
    {"rotation ball", [] { dragControl("rotation", "rotation", 25.0f, 15.0f); }},
    {"typed z_rot", [] { typeIntoSpinner("z_rot", "0.5"); }},
    {"typed x of the section point",
     [] { typeIntoField("point fields", "section point", 0, 4, "0.75"); },
     [] { editor.selection.selectedPoint = 2; }},
    {"typed weight of the section point",
     [] { typeIntoField("point fields", "section point", 3, 4, "2"); }},
    {"typed z of the picked point",
     [] { typeIntoField("point fields", "picked point", 2, 4, "-0.5"); },
     [] { editor.selection.pickedPointOffset = 4 * 9; }},
    {"scaleUp", [] { clickPanel("button", "scaleUp"); }},
    {"copy", [] { clickPanel("button", "copy"); }, [] { editor.selection.destPlane = 4; }},
    {"fill surf", [] { clickPanel("check box", "fill surf"); }},
    {"create new surf", [] { clickPanel("button", "create new surf"); }},
    {"load points", [] { clickPanel("button", "load points"); },
     [] {
         snprintf(editor.panel.surfaceFileName, kTextFieldSize, "%s",
                  examplePath("hull.surf").c_str());
     }},
};

class UndoEachEdit : public ::testing::TestWithParam<EditCase> {
protected:
    void SetUp() override {
        editor.panel.skinningEnabled = 1;
        editor.panel.fillSurface = 0;
        editor.selection.currentSection = 1;
        editor.selection.pickedPointOffset = -1;
        ASSERT_TRUE(loadSurface(examplePath("vase.surf")));
        editor.history = EditHistory();
        markSurfaceSaved(editor);
        drawPanel(2);
    }
};

TEST_P(UndoEachEdit, IsOneStepThatUndoAndRedoRestoreBitForBit) {
    if (GetParam().setUp) GetParam().setUp();
    drawPanel(2);
    const std::string before = editText(editor);
    GetParam().edit();
    drawPanel(2);
    const std::string after = editText(editor);
    ASSERT_NE(after, before) << "the edit changed nothing";
    ASSERT_EQ(editor.history.undoSteps.size(), 1u) << editor.panel.statusLine;

    sectionKeyboard(kCtrlZ, 0, 0);
    EXPECT_EQ(editText(editor), before);
    EXPECT_EQ(std::string(editor.panel.statusLine).rfind("undid: ", 0), 0u)
        << editor.panel.statusLine;
    EXPECT_EQ(editor.history.redoSteps.size(), 1u);

    mainKeyboard(kCtrlY, 0, 0);
    EXPECT_EQ(editText(editor), after);
    EXPECT_EQ(std::string(editor.panel.statusLine).rfind("redid: ", 0), 0u)
        << editor.panel.statusLine;

    // A new edit after an undo drops the step that could have been redone.
    sectionKeyboard(kCtrlZ, 0, 0);
    clickPanel("button", "scaleDown");
    EXPECT_TRUE(editor.history.redoSteps.empty());
    EXPECT_EQ(editor.history.undoSteps.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(EditKinds, UndoEachEdit, ::testing::ValuesIn(kEdits),
                         [](const ::testing::TestParamInfo<EditCase>& info) {
                             std::string name;
                             for (const char* c = info.param.name; *c != '\0'; ++c) {
                                 if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
                             }
                             return name;
                         });

// Saving does not end the history, and the panel's "undo" button takes back a step saved since.
// Typed values that are not finite numbers, or weights of 0 or below, change nothing and take no
// step; the status line says why.
TEST(TypedPointValues, RefusedWithoutAStep) {
    const struct {
        const char* label;
        int component;
        const char* text;
    } refused[] = {{"section point", 3, "0"},
                   {"section point", 3, "-2"},
                   {"picked point", 3, "-0.5"},
                   {"picked point", 0, "1e39"},
                   {"section point", 1, "-1e40"}};
    for (const auto& r : refused) {
        ASSERT_TRUE(loadSurface(examplePath("vase.surf")));
        editor.selection.currentSection = 1;
        editor.selection.selectedPoint = 2;
        editor.selection.pickedPointOffset = 4 * 9;
        editor.history = EditHistory();
        drawPanel(2);
        const std::string before = editText(editor);
        typeIntoField("point fields", r.label, r.component, 4, r.text);
        EXPECT_EQ(editText(editor), before) << r.label << " " << r.text;
        EXPECT_TRUE(editor.history.undoSteps.empty()) << r.label << " " << r.text;
        EXPECT_NE(std::string(editor.panel.statusLine).find("refused"), std::string::npos)
            << r.label << " " << r.text << ": [" << editor.panel.statusLine << "]";
    }
}

TEST(UndoHistory, SurvivesSavingAndStepsBackToTheSavedState) {
    ASSERT_TRUE(loadSurface(examplePath("vase.surf")));
    editor.history = EditHistory();
    markSurfaceSaved(editor);
    const std::string path = scratchDirectory() + "/saved-vase.surf";
    snprintf(editor.panel.surfaceFileName, kTextFieldSize, "%s", path.c_str());
    dragSectionPoint(1, 10, 10, 4);
    clickPanel("button", "save points");
    EXPECT_FALSE(editor.history.unsavedChanges);
    dragSectionPoint(1, -5, 8, 4);
    EXPECT_TRUE(editor.history.unsavedChanges);
    drawPanel(2);
    clickPanel("button", "undo");
    EXPECT_FALSE(editor.history.unsavedChanges) << "back at the saved surface";
    // Before the first drag the surface was the vase as loaded, named by its own file, which
    // holds it: nothing unsaved, and the box names that file again.
    clickPanel("button", "undo");
    EXPECT_FALSE(editor.history.unsavedChanges);
    EXPECT_EQ(std::string(editor.panel.surfaceFileName), examplePath("vase.surf"));
    EXPECT_EQ(editor.history.redoSteps.size(), 2u);
    clickPanel("button", "redo");
    EXPECT_FALSE(editor.history.unsavedChanges) << "the dragged surface as saved";
    EXPECT_EQ(std::string(editor.panel.surfaceFileName), path);
    dragSectionPoint(1, -5, 8, 4);
    EXPECT_TRUE(editor.history.unsavedChanges);
}

// The window manager's close button on a window: the WM_DELETE_WINDOW message GLUT receives.
void closeFromWindowManager(int window) {
    glutSetWindow(window);
    Display* display = glXGetCurrentDisplay();
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = glXGetCurrentDrawable();
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
    XFlush(display);
    pumpEvents();
}

// Every way of ending the editor keeps unsaved changes: "q" in either window, a window closed
// from the window manager, and the signals of a session or terminal ending (which still end the
// program by the signal). With unsaved changes the recovery file is written beside the surface
// file and loads to the same surface; without them nothing is written.
TEST(QuitWithUnsavedChanges, WritesARecoveryFileThatLoadsToTheSameSurface) {
    const std::string path = scratchDirectory() + "/quit-vase.surf";
    const std::string recovery = scratchDirectory() + "/quit-vase.recovered.surf";
    const struct {
        const char* name;
        std::function<void()> end;
        int signal;  // 0: ends with status 0
    } ways[] = {
        {"q in the section window", [] { sectionKeyboard('q', 0, 0); }, 0},
        {"q in the main window", [] { mainKeyboard('q', 0, 0); }, 0},
        {"the main window closed", [] { closeFromWindowManager(editor.handles.mainWindow); }, 0},
        {"the panel closed", [] { closeFromWindowManager(editor.handles.controlPanel); }, 0},
        {"SIGTERM", [] { raise(SIGTERM), probeIdle(); }, SIGTERM},
        {"SIGHUP", [] { raise(SIGHUP), probeIdle(); }, SIGHUP},
    };
    for (const auto& way : ways) {
        for (const bool changed : {false, true}) {
            ASSERT_TRUE(loadSurface(examplePath("vase.surf")));
            snprintf(editor.panel.surfaceFileName, kTextFieldSize, "%s", path.c_str());
            editor.surface.fileName = path;
            markSurfaceSaved(editor);
            remove(recovery.c_str());
            if (changed) dragSectionPoint(2, 12, 12, 3);
            const SurfaceModel edited = editor.surface;
            // Nothing about unsaved changes without them: freeglut's exit handler once called
            // the close callbacks again, after the arrays were released.
            using StderrMatcher = ::testing::Matcher<const std::string&>;
            const StderrMatcher says =
                changed ? StderrMatcher(::testing::ContainsRegex(
                              "unsaved changes written to [^\n]*quit-vase\\.recovered\\.surf\n$"))
                        : StderrMatcher(::testing::Not(::testing::HasSubstr("unsaved changes")));
            if (way.signal == 0) {
                EXPECT_EXIT(way.end(), ::testing::ExitedWithCode(0), says) << way.name;
            } else {
                EXPECT_EXIT(way.end(), ::testing::KilledBySignal(way.signal), says) << way.name;
            }
            if (!changed) {
                EXPECT_NE(access(recovery.c_str(), F_OK), 0)
                    << way.name << ": no changes, yet a file";
                continue;
            }
            ASSERT_TRUE(loadSurface(recovery)) << way.name;
            EXPECT_TRUE(sameSurface(editor.surface, edited)) << way.name;
        }
    }

    // The surface file's folder is gone (a stick pulled out): the changes go to the working
    // folder, where the editor started, and standard error says why and where.
    ASSERT_TRUE(loadSurface(examplePath("vase.surf")));
    snprintf(editor.panel.surfaceFileName, kTextFieldSize, "%s/gone/quit-vase.surf",
             scratchDirectory().c_str());
    editor.surface.fileName = editor.panel.surfaceFileName;
    markSurfaceSaved(editor);
    dragSectionPoint(2, 12, 12, 3);
    const SurfaceModel edited = editor.surface;
    remove("recovered.surf");
    EXPECT_EXIT(mainKeyboard('q', 0, 0), ::testing::ExitedWithCode(0),
                "cannot write .*gone/quit-vase.recovered.surf.*\nunsaved changes written to "
                "recovered.surf\n");
    ASSERT_TRUE(loadSurface("recovered.surf"));
    EXPECT_TRUE(sameSurface(editor.surface, edited));
}

}  // namespace
