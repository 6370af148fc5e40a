// "--screenshot FILE": once the editor has drawn a few frames, draw the main view once more,
// write it as a PNG through FreeImage and end the program.
#include "app/screenshot.h"

#include <FreeImage.h>
#include <GL/freeglut.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "model/editor_state.h"
#include "view/main_view.h"
#include "view/redraw.h"

namespace {

std::string screenshotPath;
long framesAtStart = 0;
int ticks = 0;

constexpr unsigned kTickMilliseconds = 50;
constexpr long kFramesBeforeShot = 5;
// Taken anyway after this many ticks, in case the window never gets drawn on its own (for
// example while it is unmapped).
constexpr int kMostTicks = 200;

// Writes the main window's current picture to path as PNG; false when it cannot be written.
bool writeMainWindowPng(const std::string& path) {
    const EditorState& s = editor;
    glutSetWindow(s.handles.mainWindow);
    const int width = glutGet(GLUT_WINDOW_WIDTH);
    const int height = glutGet(GLUT_WINDOW_HEIGHT);
    if (width < 1 || height < 1) return false;

    // A fresh frame in the back buffer, read before any swap, so nothing covering the window
    // on the screen can show through.
    drawMainScene(editor.surface, editor.derived, editor.selection, editor.panel, editor.view,
                  editor.handles.surfaceRenderer);
    glFinish();
    std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());

    FIBITMAP* image = FreeImage_Allocate(width, height, 24);
    if (image == nullptr) return false;
    // GL rows come bottom first, as FreeImage stores them; within a pixel FreeImage has its own
    // byte order (blue first on little-endian machines), given by the FI_RGBA_* indices.
    for (int y = 0; y < height; ++y) {
        BYTE* line = FreeImage_GetScanLine(image, y);
        const unsigned char* source = rgb.data() + static_cast<size_t>(y) * width * 3;
        for (int x = 0; x < width; ++x) {
            line[x * 3 + FI_RGBA_RED] = source[x * 3 + 0];
            line[x * 3 + FI_RGBA_GREEN] = source[x * 3 + 1];
            line[x * 3 + FI_RGBA_BLUE] = source[x * 3 + 2];
        }
    }
    const bool saved = FreeImage_Save(FIF_PNG, image, path.c_str(), PNG_DEFAULT) != FALSE;
    FreeImage_Unload(image);
    return saved;
}

void screenshotTick(int) {
    ++ticks;
    if (mainFrameCount() - framesAtStart < kFramesBeforeShot && ticks < kMostTicks) {
        // The idle editor draws only when its picture changes: the frames are asked for.
        requestMainRedraw();
        glutTimerFunc(kTickMilliseconds, screenshotTick, 0);
        return;
    }
    if (!writeMainWindowPng(screenshotPath)) {
        fprintf(stderr, "Could not write the screenshot to \"%s\"\n", screenshotPath.c_str());
        exit(1);
    }
    exit(0);
}

}  // namespace

void scheduleScreenshot(const char* path) {
    screenshotPath = path != nullptr ? path : "";
    framesAtStart = mainFrameCount();
    ticks = 0;
    glutTimerFunc(kTickMilliseconds, screenshotTick, 0);
}
