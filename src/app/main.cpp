// Entry of loftwork: a command-line subcommand, or the editor.
#include <GL/freeglut.h>

#include <cstring>

#include "app/application.h"
#include "app/screenshot.h"
#include "cli/command_line.h"

int main(int argc, char** argv) {
    if (isCommandLineInvocation(argc, argv)) return runCommandLine(argc, argv);
    const char* screenshotPath = nullptr;
    if (argc >= 3 && strcmp(argv[1], "--screenshot") == 0) {
        screenshotPath = argv[2];
        for (int i = 3; i <= argc; ++i) argv[i - 2] = argv[i];
        argc -= 2;
    }
    initApplication(&argc, argv);
    if (screenshotPath != nullptr) scheduleScreenshot(screenshotPath);
    glutMainLoop();
    return 0;
}
