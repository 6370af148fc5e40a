// Placeholder until the configuration file lands: clear colour, and the exit clean-up.
#include "app/scene_setup.h"

#include <GL/gl.h>

#include <cstdlib>

#include "app/application.h"

void initScene() {
    glClearColor(0.8f, 0.8f, 0.8f, 0.0f);
    atexit(exitCleanup);
}
