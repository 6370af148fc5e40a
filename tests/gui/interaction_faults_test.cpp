// What a modeller meets first, driven through the editor's own handlers and panel: typed values
// that apply once, a pick that stays on its point, a status line that reports every command, and
// a surface of too high a degree that can be repaired.
#include <GL/freeglut.h>
#include <gtest/gtest.h>
#include <imgui.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/control_panel.h"
#include "app/section_callbacks.h"
#include "input/main_input.h"
#include "input/section_input.h"
#include "model/editor_state.h"
#include "model/section_centroid.h"
#include "model/surface_commands.h"
#include "model/surface_edit.h"
#include "model/transforms.h"
#include "support/gui_test_env.h"
#include "support/panel_driver.h"
#include "support/section_surface.h"

using namespace testsupport;

namespace {

constexpr unsigned char kCtrlZ = 26;
constexpr unsigned char kCtrlY = 25;

void loadVase() {
    editor.panel.skinningEnabled = 0;
    editor.selection.currentSection = 2;
    ASSERT_TRUE(loadSurface(examplePath("vase.surf")));
    editor.history = EditHistory();
    markSurfaceSaved(editor);
    drawPanel(2);
}

// Angle (radians) point j of the current section turned through about z, around m.
double turnedAbout(const std::vector<PointH>& before, int j, const float m[3]) {
    const size_t k =
        static_cast<size_t>(editor.selection.currentSection * editor.surface.countU + j);
    const PointH& p = before[k];
    const PointH& q = editor.surface.controlNet[k];
    const double a0 = std::atan2(p.y / p.w - m[1], p.x / p.w - m[0]);
    return std::remainder(std::atan2(q.y / q.w - m[1], q.x / q.w - m[0]) - a0, 2.0 * M_PI);
}

// ImGui's open text field wrote the typed value back on every frame, and "z_rot" (reset to 0
// after each turn) turned the section again each time: 0.01 typed turned it 0.73 radian.
TEST(TypedSpinnerValue, AppliesOnceWhenEntered) {
    const struct {
        const char* label;
        const char* typed;
        double turn;          // expected turn of the current section, radians
        const char* message;  // a status message printed exactly once, or ""
    } cases[] = {
        {"z_rot", "0.01", 0.01, ""},
        {"z_rot", "1", 1.0, ""},
        {"degree S", "9", 0.0, "degree S 9 is out of range"},
    };
    for (const auto& c : cases) {
        loadVase();
        float m[3];
        computeSectionCentroid(editor.surface, editor.selection.currentSection, m);
        const std::vector<PointH> before = editor.surface.controlNet;
        testing::internal::CaptureStderr();
        typeIntoSpinner(c.label, c.typed, 30);
        const std::string printed = testing::internal::GetCapturedStderr();
        for (int j : {1, 2, 4}) {  // off the pivot's height: the sections lie in planes x = c
            EXPECT_NEAR(std::fabs(turnedAbout(before, j, m)), c.turn, 1e-4) << c.label << c.typed;
        }
        const size_t once = c.message[0] == '\0' ? 0 : printed.find(c.message);
        ASSERT_NE(once, std::string::npos) << printed;
        if (once > 0) {
            EXPECT_EQ(printed.find(c.message, once + 1), std::string::npos) << printed;
        }
        EXPECT_EQ(editor.history.undoSteps.size(), 1u) << c.label;
    }
}

// "Add" with the pointer just beside point j of the current section, "Delete" on it.
void pointerAt(int j, int offset) {
    drawSectionWindow();
    const SectionPoint p = sectionPoint(editor.selection.currentSection, j);
    const WindowPosition w = sectionWindowPosition(p.x, p.y, p.z);
    sectionPassiveMotion(w.x + offset, w.y + offset);
}
void addBeside(int j) {
    pointerAt(j, 3);
    addSectionPoint();
}
void deleteAt(int j) {
    pointerAt(j, 0);
    deleteSectionPoint();
}

// The pick was a flat offset into the net that nothing kept up to date: after loading the hull a
// hull point showed as picked with the vase's weight, and a weight change went to it; after Add
// the highlight sat on another point.
TEST(PickedPoint, StaysOnItsPointOrIsDropped) {
    const struct {
        const char* name;
        std::function<void()> action;
        bool kept;  // the same point stays picked; otherwise nothing is
    } cases[] = {
        {"load another surface", [] { ASSERT_TRUE(loadSurface(examplePath("hull.surf"))); }, false},
        {"create new surf", [] { revolveCurrentSection(editor); }, false},
        {"Add before the picked point", [] { addBeside(1); }, true},
        {"Delete before the picked point", [] { deleteAt(1); }, true},
        {"Delete of the picked point", [] { deleteAt(3); }, false},
        {"Add, then undo", [] { addBeside(1), sectionKeyboard(kCtrlZ, 0, 0); }, true},
        {"Add, undo, redo",
         [] { addBeside(1), sectionKeyboard(kCtrlZ, 0, 0), mainKeyboard(kCtrlY, 0, 0); }, true},
    };
    for (const auto& c : cases) {
        loadVase();
        // Point 3 of section 4, given a weight of its own so that it is told apart.
        const size_t picked = static_cast<size_t>(4 * editor.surface.countU + 3);
        PointH& p = editor.surface.controlNet[picked];
        p = {p.x / p.w * 1.75f, p.y / p.w * 1.75f, p.z / p.w * 1.75f, 1.75f};
        const PointH was = p;
        editor.selection.pickedPointOffset = static_cast<int32_t>(4 * picked);
        editor.selection.weightValue = 1.75f;
        editor.history = EditHistory();
        c.action();
        const int32_t offset = editor.selection.pickedPointOffset;
        if (!c.kept) {
            EXPECT_EQ(offset, -1) << c.name;
            EXPECT_EQ(editor.selection.weightValue, -1.0f) << c.name;
            // A weight change with nothing picked changes no point.
            const SurfaceModel unchanged = editor.surface;
            editor.selection.weightValue = 3.0f;
            weightCallback(-1);
            EXPECT_TRUE(sameSurface(editor.surface, unchanged)) << c.name;
            continue;
        }
        ASSERT_GE(offset, 0) << c.name;
        ASSERT_LT(static_cast<size_t>(offset / 4), editor.surface.controlNet.size()) << c.name;
        const PointH& now = editor.surface.controlNet[static_cast<size_t>(offset / 4)];
        EXPECT_TRUE(now.x == was.x && now.y == was.y && now.z == was.z && now.w == was.w)
            << c.name << ": another point is picked";
        EXPECT_EQ(editor.selection.weightValue, 1.75f) << c.name;
    }
}

// Successful commands left the previous message on the status line, which then told of an
// error that had nothing to do with them.
TEST(StatusLine, EveryCommandReportsItsOutcome) {
    const struct {
        const char* name;
        std::function<void()> command;
        const char* reported;  // what the new message starts with
    } cases[] = {
        {"create new surf", [] { clickPanel("button", "create new surf"); }, "new surface"},
        {"copy", [] { clickPanel("button", "copy"); }, "copy: section 2 copied onto section 0"},
        {"background",
         [] {
             snprintf(editor.panel.backgroundFileName, kTextFieldSize, "%s",
                      examplePath("profile.png").c_str()),
                 clickPanel("button", "background");
         },
         "background \""},
        {"Add", [] { addBeside(1); }, "Add: point 1 inserted"},
        {"Delete", [] { deleteAt(1); }, "Delete: point 1 removed"},
        {"flip", [] { clickPanel("button", "flip"); }, "flip: section 2"},
        {"scaleUp", [] { clickPanel("button", "scaleUp"); }, "scale: section 2"},
        {"skinning", [] { clickPanel("check box", "skinning"); }, "skinning on"},
        {"closed loft", [] { clickPanel("check box", "closed loft"); }, "loft: "},
        {"fill surf", [] { clickPanel("check box", "fill surf"); }, "fill surf on"},
        {"save points",
         [] {
             snprintf(editor.panel.surfaceFileName, kTextFieldSize, "%s",
                      (scratchDirectory() + "/status-vase.surf").c_str());
             clickPanel("button", "save points");
         },
         "saved "},
    };
    for (const auto& c : cases) {
        loadVase();
        editor.selection.destPlane = 0;
        setStatusLinef(editor.panel, "an earlier message");
        c.command();
        EXPECT_EQ(std::string(editor.panel.statusLine).rfind(c.reported, 0), 0u)
            << c.name << ": " << editor.panel.statusLine;
    }
}

// A file whose degrees exceed its points loaded, but "degree S", "degree T" and revolution all
// refused it: it could not be repaired in the editor.
TEST(OverDegreeSurface, IsRepairedByTheDegreeControlsOrARevolution) {
    const struct {
        const char* name;
        std::function<void()> repair;
    } cases[] = {
        {"typed degrees",
         [] {
             typeIntoSpinner("degree S", "1");
             typeIntoSpinner("degree T", "1");
         }},
        {"create new surf, then degree S",
         [] {
             clickPanel("button", "create new surf");
             typeIntoSpinner("degree S", "1");
         }},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(loadSurface(LOFTWORK_SOURCE_DIR "/tests/data/edge-degrees-beyond-points.surf"));
        ASSERT_FALSE(surfaceIsUsable(editor.surface));
        editor.selection.currentSection = 0;
        drawPanel(2);
        c.repair();
        EXPECT_TRUE(surfaceIsUsable(editor.surface)) << c.name << ": " << editor.panel.statusLine;
    }
}

}  // namespace
