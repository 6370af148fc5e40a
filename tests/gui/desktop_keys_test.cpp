// The keys every window shares: ctrl+s saves, ctrl+o takes the keyboard to the "file" box, and
// "h" or F1 shows the window's keys and buttons over it.
#include <GL/freeglut.h>
#include <gtest/gtest.h>
#include <imgui.h>
#include <imgui_internal.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "input/main_input.h"
#include "input/section_input.h"
#include "model/editor_state.h"
#include "model/surface_edit.h"
#include "support/gui_test_env.h"
#include "support/panel_driver.h"
#include "view/help_overlay.h"
#include "view/main_view.h"
#include "view/section_view.h"

using namespace testsupport;

namespace {

constexpr unsigned char kCtrlS = 19;
constexpr unsigned char kCtrlO = 15;

std::string contents(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct WindowKeys {
    const char* name;
    std::function<void(unsigned char)> key;
    std::function<void()> f1;
    HelpWindow help;
};

const WindowKeys kWindows[] = {
    {"main window",
     [](unsigned char k) {
         glutSetWindow(editor.handles.mainWindow);
         mainKeyboard(k, 10, 10);
     },
     [] { mainSpecial(GLUT_KEY_F1, 10, 10); }, HelpWindow::main},
    {"section window",
     [](unsigned char k) {
         glutSetWindow(editor.handles.sectionWindow);
         sectionKeyboard(k, 10, 10);
     },
     [] { sectionSpecial(GLUT_KEY_F1, 10, 10); }, HelpWindow::section},
};

// Pixels of the window's top-left corner that change when its help is drawn over a frame.
int helpPixels(HelpWindow help) {
    const int window =
        help == HelpWindow::main ? editor.handles.mainWindow : editor.handles.sectionWindow;
    void (*scene)() = help == HelpWindow::main
                          ? +[] {
                                drawMainScene(editor.surface, editor.derived, editor.selection,
                                              editor.panel, editor.view,
                                              editor.handles.surfaceRenderer);
                                drawHelpOverlay(HelpWindow::main, 640, 480);
                            }
                          : +[] {
                                drawSectionFrame(editor.surface, editor.selection, editor.view,
                                                 editor.handles.sectionRenderer);
                                drawHelpOverlay(HelpWindow::section, 320, 240);
                            };
    int width = 0, height = 0;
    const std::vector<unsigned char> rgb = drawAndReadBack(window, scene, &width, &height);
    // Light text on the dark box: count the box's near-black pixels in the top 100 rows.
    int dark = 0;
    for (int y = height - 100; y < height; ++y) {
        for (int x = 0; x < 200 && x < width; ++x) {
            const unsigned char* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            if (p[0] < 60 && p[1] < 60 && p[2] < 80) ++dark;
        }
    }
    return dark;
}

class DesktopKeys : public ::testing::TestWithParam<WindowKeys> {
protected:
    void SetUp() override {
        ASSERT_TRUE(loadSurface(examplePath("vase.surf")));
        editor.history = EditHistory();
        markSurfaceSaved(editor);
    }
};

TEST_P(DesktopKeys, CtrlSSavesToTheFileBoxAndCtrlOTakesTheKeyboardThere) {
    const WindowKeys& w = GetParam();
    const std::string path =
        scratchDirectory() + "/ctrl-s-" + std::to_string(w.help == HelpWindow::main) + ".surf";
    std::remove(path.c_str());
    snprintf(editor.panel.surfaceFileName, kTextFieldSize, "%s", path.c_str());
    editor.surface.controlNet[3].y += 0.25f;  // an unsaved change
    refreshUnsavedChanges(editor);
    w.key(kCtrlS);
    EXPECT_NE(contents(path).find("COORD"), std::string::npos) << w.name;
    EXPECT_FALSE(editor.history.unsavedChanges) << w.name;
    EXPECT_EQ(std::string(editor.panel.statusLine).rfind("saved ", 0), 0u) << w.name;

    drawPanel(2);
    EXPECT_FALSE(ImGui::GetIO().WantTextInput);
    w.key(kCtrlO);
    drawPanel(3);
    EXPECT_TRUE(ImGui::GetIO().WantTextInput) << w.name << ": the file box has no keyboard";
    // What is typed now goes into the file box.
    ImGui::GetIO().AddInputCharacter('Z');
    drawPanel(2);
    EXPECT_NE(std::string(editor.panel.surfaceFileName).find('Z'), std::string::npos) << w.name;
    ImGui::ClearActiveID();
    drawPanel(2);
}

TEST_P(DesktopKeys, HOrF1ShowsTheWindowsKeysAndTheNextHidesThem) {
    const WindowKeys& w = GetParam();
    ASSERT_FALSE(helpShown(w.help));
    const int without = helpPixels(w.help);
    const std::string before = contents(examplePath("vase.surf"));
    for (int press = 0; press < 4; ++press) {
        if (press % 2 == 0) {
            w.key('h');
        } else {
            w.f1();
        }
        EXPECT_EQ(helpShown(w.help), press % 2 == 0) << w.name << ", press " << press;
        const int with = helpPixels(w.help);
        if (press % 2 == 0) {
            EXPECT_GT(with, without + 2000) << w.name;
        } else {
            EXPECT_EQ(with, without) << w.name;
        }
    }
    // Its first line names the window.
    EXPECT_NE(
        std::string(helpLines(w.help)[0]).find(w.help == HelpWindow::main ? "main" : "section"),
        std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Windows, DesktopKeys, ::testing::ValuesIn(kWindows),
                         [](const ::testing::TestParamInfo<WindowKeys>& info) {
                             return info.param.help == HelpWindow::main ? "main" : "section";
                         });

TEST(PanelHelp, ShowsOverThePanelUntilHiddenAgain) {
    for (int press = 0; press < 2; ++press) {
        toggleHelp(HelpWindow::panel);
        const PanelFrame& frame = drawPanel(2);
        EXPECT_EQ(frame.find("help", "operations") != nullptr, press == 0) << "press " << press;
    }
}

}  // namespace
