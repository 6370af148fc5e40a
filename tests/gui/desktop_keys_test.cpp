// The keys every window shares: ctrl+s saves, ctrl+o opens a surface file, and "h" or F1 shows
// the window's keys and buttons over it.
#include <GL/freeglut.h>
#include <gtest/gtest.h>
#include <imgui.h>
#include <imgui_internal.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "app/file_chooser.h"
#include "io/surface_file.h"
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

// ctrl+s writes the surface to its own file, not to what the "file" box was left holding.
TEST_P(DesktopKeys, CtrlSSavesToTheSurfacesOwnFile) {
    const WindowKeys& w = GetParam();
    const std::string path = scratchDirectory() + "/ctrl-s-" + w.name + ".surf";
    const std::string stale = scratchDirectory() + "/ctrl-s-stale-" + w.name + ".surf";
    std::ofstream(path) << std::ifstream(examplePath("vase.surf")).rdbuf();
    std::remove(stale.c_str());
    ASSERT_TRUE(loadSurface(path));
    snprintf(editor.panel.surfaceFileName, kTextFieldSize, "%s", stale.c_str());
    editor.surface.controlNet[3].y += 0.25f;
    refreshUnsavedChanges(editor);
    w.key(19);
    SurfaceModel saved;
    std::string error;
    ASSERT_TRUE(readSurfaceFile(path.c_str(), saved, error)) << w.name << ": " << error;
    EXPECT_TRUE(sameSurface(saved, editor.surface)) << w.name;
    EXPECT_NE(access(stale.c_str(), F_OK), 0) << w.name << ": the box's name was written";
    EXPECT_FALSE(editor.history.unsavedChanges) << w.name;
    EXPECT_EQ(std::string(editor.panel.surfaceFileName), path) << w.name;
}

// ctrl+o opens the file chooser (a stand-in answers here) and loads the file chosen; no box of
// the panel takes the keyboard meanwhile.
TEST_P(DesktopKeys, CtrlOLoadsTheFileChosen) {
    const WindowKeys& w = GetParam();
    ASSERT_TRUE(loadSurface(examplePath("vase.surf")));
    const std::string chosen = scratchDirectory() + "/ctrl-o-hull.surf";
    std::ofstream(chosen) << std::ifstream(examplePath("hull.surf")).rdbuf();
    const std::string chooser = scratchDirectory() + "/open-chooser.sh";
    std::ofstream(chooser) << "#!/bin/sh\necho '" << chosen << "'\n";
    chmod(chooser.c_str(), 0755);
    setenv("LOFTWORK_FILE_CHOOSER", chooser.c_str(), 1);
    drawPanel(2);
    w.key(15);
    drawPanel(2);
    EXPECT_FALSE(ImGui::GetIO().WantTextInput) << w.name;
    // The answer is taken up by the idle handler or the panel's next frame, whichever comes.
    for (int i = 0; i < 500 && editor.surface.fileName != chosen; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        takeChooserAnswer();
    }
    unsetenv("LOFTWORK_FILE_CHOOSER");
    ASSERT_EQ(editor.surface.fileName, chosen) << w.name;
    EXPECT_EQ(std::string(editor.panel.statusLine).rfind("loaded ", 0), 0u)
        << editor.panel.statusLine;
    SurfaceModel hull;
    std::string error;
    ASSERT_TRUE(readSurfaceFile(examplePath("hull.surf").c_str(), hull, error)) << error;
    EXPECT_TRUE(sameSurface(hull, editor.surface)) << w.name;
}

// A box of the panel showing its caret lets go when a key goes to another window, so it never
// looks as if it took keys that went elsewhere.
TEST_P(DesktopKeys, AKeyElsewhereTakesTheCaretFromThePanel) {
    const WindowKeys& w = GetParam();
    drawPanel(2);
    clickPanel("text box", "export");
    drawPanel(2);
    ASSERT_TRUE(ImGui::GetIO().WantTextInput) << w.name;
    w.key('+');
    drawPanel(2);
    EXPECT_FALSE(ImGui::GetIO().WantTextInput) << w.name;
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
