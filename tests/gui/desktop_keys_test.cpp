// The keys every window shares: ctrl+s saves, ctrl+o takes the keyboard to the "file" box, and
// "h" or F1 shows the window's keys and buttons over it.
#include <GL/freeglut.h>
#include <gtest/gtest.h>
#include <imgui.h>
#include <imgui_internal.h>

#include <cstdio>
#include <fstream>
#include <iterator>
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

struct WindowKeys {
    const char* name;
    void (*key)(unsigned char);
    void (*special)(int, int, int);
    HelpWindow help;
};
const WindowKeys kWindows[] = {
    {"main", [](unsigned char k) { mainKeyboard(k, 10, 10); }, mainSpecial, HelpWindow::main},
    {"section", [](unsigned char k) { sectionKeyboard(k, 10, 10); }, sectionSpecial,
     HelpWindow::section},
};

HelpWindow gDrawn;  // whose frame drawWindow draws

void drawWindow() {
    if (gDrawn == HelpWindow::main) {
        drawMainScene(editor.surface, editor.derived, editor.selection, editor.panel, editor.view,
                      editor.handles.surfaceRenderer);
    } else {
        drawSectionFrame(editor.surface, editor.selection, editor.view,
                         editor.handles.sectionRenderer);
    }
    drawHelpOverlay(gDrawn, gDrawn == HelpWindow::main ? 640 : 320, 240);
}

// Near-black pixels (the help's box) in the window's top-left 200 x 100 pixels.
int darkPixels(HelpWindow help) {
    gDrawn = help;
    int width = 0, height = 0;
    const std::vector<unsigned char> rgb = drawAndReadBack(
        help == HelpWindow::main ? editor.handles.mainWindow : editor.handles.sectionWindow,
        drawWindow, &width, &height);
    int dark = 0;
    for (int y = height - 100; y < height; ++y) {
        for (int x = 0; x < 200; ++x) {
            const unsigned char* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            dark += p[0] < 60 && p[1] < 60 && p[2] < 80;
        }
    }
    return dark;
}

class DesktopKeys : public ::testing::TestWithParam<WindowKeys> {};

TEST_P(DesktopKeys, CtrlSSavesAndCtrlOTakesTheKeyboardToTheFileBox) {
    const WindowKeys& w = GetParam();
    ASSERT_TRUE(loadSurface(examplePath("vase.surf")));
    const std::string path = scratchDirectory() + "/ctrl-s-" + w.name + ".surf";
    snprintf(editor.panel.surfaceFileName, kTextFieldSize, "%s", path.c_str());
    editor.surface.controlNet[3].y += 0.25f;
    refreshUnsavedChanges(editor);
    w.key(19);
    std::ifstream saved(path);
    const std::string text{std::istreambuf_iterator<char>(saved), {}};
    EXPECT_NE(text.find("COORD"), std::string::npos) << w.name;
    EXPECT_FALSE(editor.history.unsavedChanges) << w.name;

    drawPanel(2);
    ASSERT_FALSE(ImGui::GetIO().WantTextInput);
    w.key(15);
    drawPanel(3);
    ImGui::GetIO().AddInputCharacter('Z');  // replaces the box's text, which is selected
    drawPanel(2);
    EXPECT_EQ(std::string(editor.panel.surfaceFileName), "Z") << w.name;
    ImGui::ClearActiveID();
    drawPanel(2);
}

TEST_P(DesktopKeys, HOrF1ShowsTheWindowsKeysAndTheNextHidesThem) {
    const WindowKeys& w = GetParam();
    const int without = darkPixels(w.help);
    for (int press = 0; press < 4; ++press) {
        if (press % 2 == 0) {
            w.key('h');
        } else {
            w.special(GLUT_KEY_F1, 10, 10);
        }
        const int with = darkPixels(w.help);
        EXPECT_EQ(with > without + 2000, press % 2 == 0) << w.name << ", press " << press;
    }
}

INSTANTIATE_TEST_SUITE_P(Windows, DesktopKeys, ::testing::ValuesIn(kWindows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PanelHelp, ShowsOverThePanelUntilHiddenAgain) {
    for (int press = 0; press < 2; ++press) {
        toggleHelp(HelpWindow::panel);
        EXPECT_EQ(drawPanel(2).find("help", "operations") != nullptr, press == 0) << press;
    }
}

}  // namespace
