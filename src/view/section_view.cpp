// Placeholder until the section view lands: clears the window.
#include "view/section_view.h"

#include <GL/freeglut.h>

void sectionDisplay() {
    glClear(GL_COLOR_BUFFER_BIT);
    glutSwapBuffers();
}
void sectionReshape(int width, int height) { glViewport(0, 0, width, height); }
void drawSectionScene() {}
