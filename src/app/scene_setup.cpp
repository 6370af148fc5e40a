// Scene set-up at start-up: the surface path from the configuration file, the translation
// bookkeeping, the main window's clear colour and light.
#include "app/scene_setup.h"

#include <GL/gl.h>

#include <string>

#include "io/config_file.h"
#include "model/editor_state.h"

void initScene() {
    EditorState& s = editor;

    // Without a usable configuration the "file" box starts empty and the user picks a file.
    std::string error;
    if (!readConfiguredSurfacePath(kConfigFileName, s.panel.surfaceFileName,
                                   sizeof s.panel.surfaceFileName, error)) {
        s.panel.surfaceFileName[0] = '\0';
        setStatusLinef(editor.panel, "%s", error.c_str());
    }

    s.panel.lastTranslateX = 0.0f;
    s.panel.lastTranslateY = 0.0f;
    s.panel.lastTranslateZ = 0.0f;
    s.panel.lastTranslateZY[0] = 0.0f;
    s.panel.lastTranslateZY[1] = 0.0f;

    glClearColor(0.8f, 0.8f, 0.8f, 0.0f);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);

    // Set while the model-view matrix is the identity, so the light is fixed in eye
    // coordinates and moves with the camera. The blue-heavy specular is intended.
    const GLfloat ambient[] = {0.8f, 0.7f, 0.7f, 1.0f};
    const GLfloat specular[] = {1.0f, 1.0f, 4.0f, 1.0f};
    const GLfloat diffuse[] = {0.4f, 0.6f, 1.0f, 1.0f};
    const GLfloat position[] = {-0.5f, 0.5f, 0.5f, 1.0f};
    const GLfloat cutoff[] = {90.0f};
    const GLfloat direction[] = {-1.0f, -1.0f, -1.0f};
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glLightfv(GL_LIGHT0, GL_SPOT_CUTOFF, cutoff);
    glLightfv(GL_LIGHT0, GL_SPOT_DIRECTION, direction);

    glEnable(GL_DEPTH_TEST);
    glEnable(GL_AUTO_NORMAL);
    glEnable(GL_NORMALIZE);
    glShadeModel(GL_SMOOTH);
}
