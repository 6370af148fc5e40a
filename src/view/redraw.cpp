// Redraw requests, by window.
#include "view/redraw.h"

#include <GL/freeglut.h>

#include "model/editor_state.h"

namespace {

void request(int window) {
    if (window != 0) glutPostWindowRedisplay(window);
}

}  // namespace

void requestMainRedraw() {
    request(editor.handles.mainWindow);
}

void requestSectionRedraw() {
    request(editor.handles.sectionWindow);
}

void requestPanelRedraw() {
    request(editor.handles.controlPanel);
}

void requestViewsRedraw() {
    requestSectionRedraw();
    requestMainRedraw();
}
