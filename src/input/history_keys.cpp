// Undo and redo keys.
#include "input/history_keys.h"

#include <GL/freeglut.h>

bool handleHistoryKey(unsigned char key, int modifiers, Redraw timing) {
    constexpr unsigned char kCtrlZ = 'z' - 'a' + 1;
    constexpr unsigned char kCtrlY = 'y' - 'a' + 1;
    if (key == kCtrlZ && (modifiers & GLUT_ACTIVE_SHIFT) == 0) {
        undoEdit(editor, timing);
        return true;
    }
    if (key == kCtrlY || key == kCtrlZ) {
        redoEdit(editor, timing);
        return true;
    }
    return false;
}
