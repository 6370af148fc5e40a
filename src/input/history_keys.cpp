// Undo and redo keys.
#include "input/history_keys.h"

#include <GL/freeglut.h>

#include "model/editor_state.h"
#include "model/surface_edit.h"

bool handleHistoryKey(unsigned char key, int modifiers) {
    constexpr unsigned char kCtrlZ = 'z' - 'a' + 1;
    constexpr unsigned char kCtrlY = 'y' - 'a' + 1;
    if (key == kCtrlZ && (modifiers & GLUT_ACTIVE_SHIFT) == 0) {
        undoEdit(editor);
        return true;
    }
    if (key == kCtrlY || key == kCtrlZ) {
        redoEdit(editor);
        return true;
    }
    return false;
}
