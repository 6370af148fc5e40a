// Placeholder until the main view lands: clears the window.
#include "view/main_view.h"

#include <GL/freeglut.h>

#include "model/editor_state.h"
#include "view/section_view.h"

void mainDisplay() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glutSwapBuffers();
}
void drawSurface() {}
void drawControlNet() {}
void nurbsErrorCallback(GLenum) {}
void drawLabel(float, float, float, void*, const char*) {}
void materialSurface() {}
void materialNet() {}
void materialHighlight() {}
void materialSkinned() {}
