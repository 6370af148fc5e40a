// The main 3D view: the NURBS surface, its control net, the probe and click points, the
// section-camera marker and the axes.
#pragma once

#include <GL/gl.h>

// Display handler of the main window; ends by redrawing the section window.
void mainDisplay();
void drawSurface();
void drawControlNet();

// Everything mainDisplay draws into the main window's back buffer (clear, camera, surface,
// probe and click points, axes), without the buffer swap and without the section window.
void drawMainScene();

// How many frames mainDisplay has drawn since start-up.
long mainFrameCount();

// Whether drawSurface draws the surface from its kept tessellation, redone only when the surface
// or the camera changes (the default), or has GLU evaluate and draw it on every frame (the
// reference the tests and benchmarks compare with).
void setSurfaceCaching(bool on);

// GLU NURBS error callback of both views: prints "Nurbs Error: %s\n" to standard output.
void nurbsErrorCallback(GLenum errorCode);

// Draws text with a GLUT bitmap font at the model point (x, y, z).
void drawLabel(float x, float y, float z, void* font, const char* text);

void materialSurface();
void materialNet();
void materialHighlight();
void materialSkinned();
