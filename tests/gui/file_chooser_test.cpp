// "browse..." beside "load points", "export" and "background": a file chooser fills the box, and
// the box keeps what it had when the chooser is cancelled, fails or is missing. A stand-in
// chooser answers here, so no window opens.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "app/file_chooser.h"
#include "model/editor_state.h"
#include "support/gui_test_env.h"
#include "support/panel_driver.h"

using namespace testsupport;

namespace {

// A chooser that records its arguments and answers as CHOOSER_ANSWER says.
std::string standInChooser() {
    const std::string path = scratchDirectory() + "/chooser.sh";
    std::ofstream script(path);
    script << "#!/bin/sh\n"
              "printf '%s\\n' \"$@\" > \"$0.args\"\n"
              "case \"$CHOOSER_ANSWER\" in\n"
              "  cancel) exit 1 ;;\n"
              "  crash) exit 5 ;;\n"
              "  wait) exec sleep 30 ;;\n"
              "  long) head -c 400 /dev/zero | tr '\\\\0' x; echo; exit 0 ;;\n"
              "  *) echo \"$CHOOSER_ANSWER\"; exit 0 ;;\n"
              "esac\n";
    script.close();
    chmod(path.c_str(), 0755);
    return path;
}

std::string contents(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(FileChooser, FillsTheBoxOrLeavesItAsItWas) {
    const std::string chooser = standInChooser();
    const struct {
        const char* name;
        const char* box;
        const char* program;  // null: the stand-in
        const char* answer;
        bool filled;
        const char* status;    // the status line starts with this
        const char* argument;  // an argument the chooser must get, or ""
    } cases[] = {
        {"a surface chosen", "file", nullptr, "/data/chosen.surf", true, "browse: /data/chosen",
         "--filename=/old/name"},
        {"a STEP file among the surfaces", "file", nullptr, "/data/hull.step", true,
         "browse: /data/hull.step", "*.surf *.step *.stp *.igs *.iges"},
        {"an export target", "export", nullptr, "/data/out.step", true, "browse: /data/out",
         "--save"},
        {"a background image", "background", nullptr, "/data/profile.png", true,
         "browse: /data/profile", "--file-selection"},
        {"cancelled", "file", nullptr, "cancel", false, "browse: nothing chosen", ""},
        {"the chooser fails", "export", nullptr, "crash", false, "browse: the file chooser failed",
         ""},
        {"a path too long for the box", "file", nullptr, "long", false, "browse: the path chosen",
         ""},
        {"no chooser installed", "background", "/nonexistent/zenity", "", false,
         "browse: no file chooser", ""},
        {"still open when the editor quits", "file", nullptr, "wait", false,
         "browse: the file chooser failed", ""},
    };
    for (const auto& c : cases) {
        setenv("LOFTWORK_FILE_CHOOSER", c.program != nullptr ? c.program : chooser.c_str(), 1);
        setenv("CHOOSER_ANSWER", c.answer, 1);
        std::remove((chooser + ".args").c_str());
        char* field = std::string(c.box) == "file"     ? editor.panel.surfaceFileName
                      : std::string(c.box) == "export" ? editor.panel.exportFileName
                                                       : editor.panel.backgroundFileName;
        snprintf(field, kTextFieldSize, "/old/name");
        drawPanel(2);
        clickPanel("button", std::string("browse... ") + c.box);
        const bool quitting = std::string(c.answer) == "wait";
        // The chooser runs on its own thread; its answer is taken up by a later panel frame.
        for (int i = 0;
             i < 200 && std::string(editor.panel.statusLine).rfind("browse: choose a file", 0) == 0;
             ++i) {
            if (quitting) closeFileChooser();  // as the exit clean-up does
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            drawPanel();
        }
        EXPECT_EQ(std::string(editor.panel.statusLine).rfind(c.status, 0), 0u)
            << c.name << ": " << editor.panel.statusLine;
        EXPECT_EQ(std::string(field), c.filled ? c.answer : "/old/name") << c.name;
        if (c.argument[0] != '\0') {
            EXPECT_NE(contents(chooser + ".args").find(c.argument), std::string::npos)
                << c.name << ": " << contents(chooser + ".args");
        }
    }
    unsetenv("LOFTWORK_FILE_CHOOSER");
}

}  // namespace
