// The help overlay of the main and section windows (the panel draws its own with ImGui).
#include "view/help_overlay.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cstring>

namespace {

const char* const kMainHelp[] = {
    "main window",
    "+ / -, wheel       closer / farther",
    "arrows, mid drag   orbit the camera",
    "shift + mid drag   move the target with the picture",
    "a z, s x, d c      move the target along x, y, z",
    "r                  reset the camera",
    "left button        click point",
    "right button       pick a control point for \"weight\"",
    "ctrl+z / ctrl+y    undo / redo",
    "ctrl+s / ctrl+o    save / open a surface file",
    "q                  quit",
    "h, F1              show or hide this help",
    nullptr,
};

// The section window is 320 pixels wide at start-up: 38 characters of the font.
const char* const kSectionHelp[] = {
    "section curve window",
    "left drag     move the nearest point",
    "right button  Points > Add, Delete",
    "+ / -         zoom",
    "arrows        pan",
    "f / r         frame section / start",
    "n             select the next point",
    "ctrl+z / y    undo / redo",
    "ctrl+s / o    save / open a file",
    "q             quit",
    "h, F1         show or hide this help",
    nullptr,
};

const char* const kPanelHelp[] = {
    "operations",
    "drag a spinner          change its value",
    "ctrl+click, dbl-click   type a value; Return applies it, Escape drops it",
    "rotation ball           drag to turn; ctrl: around y, alt: around x",
    "z_rot                   turn the section around z",
    "ctrl+z / ctrl+y         undo / redo (outside a text box)",
    "ctrl+s / ctrl+o         save / open a surface file",
    "F1, h                   show or hide this help",
    nullptr,
};

struct HelpData {
    bool shown[3] = {false, false, false};
};
HelpData gHelp;

int indexOf(HelpWindow window) {
    return window == HelpWindow::main ? 0 : window == HelpWindow::section ? 1 : 2;
}

constexpr int kLineHeight = 14;
constexpr int kCharWidth = 8;
constexpr int kMargin = 6;
void* const kFont = GLUT_BITMAP_8_BY_13;

}  // namespace

void toggleHelp(HelpWindow window) {
    bool& shown = gHelp.shown[indexOf(window)];
    shown = !shown;
}

bool helpShown(HelpWindow window) {
    return gHelp.shown[indexOf(window)];
}

const char* const* helpLines(HelpWindow window) {
    switch (window) {
        case HelpWindow::main:
            return kMainHelp;
        case HelpWindow::section:
            return kSectionHelp;
        case HelpWindow::panel:
            break;
    }
    return kPanelHelp;
}

void drawHelpOverlay(HelpWindow window, int width, int height) {
    if (!helpShown(window) || width < 1 || height < 1) return;
    const char* const* lines = helpLines(window);
    int count = 0;
    size_t longest = 0;
    for (; lines[count] != nullptr; ++count) longest = std::max(longest, std::strlen(lines[count]));

    // 1. Window pixels, y down, over whatever the view drew.
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT | GL_TRANSFORM_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, width, height, 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();

    // 2. A dark box, then the lines.
    const int boxWidth = static_cast<int>(longest) * kCharWidth + 2 * kMargin;
    const int boxHeight = count * kLineHeight + 2 * kMargin;
    glColor4f(0.05f, 0.05f, 0.1f, 0.85f);
    glRecti(0, 0, boxWidth, boxHeight);
    for (int i = 0; i < count; ++i) {
        if (i == 0) {
            glColor4f(1.0f, 0.85f, 0.45f, 1.0f);
        } else {
            glColor4f(0.95f, 0.95f, 0.95f, 1.0f);
        }
        glRasterPos2i(kMargin, kMargin + (i + 1) * kLineHeight - 3);
        glutBitmapString(kFont, reinterpret_cast<const unsigned char*>(lines[i]));
    }

    // 3. Back as it was.
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopAttrib();
}
