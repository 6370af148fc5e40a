// Window positions (GLUT pixels, y down) to model points, through the current window's
// matrices as its last display left them.
#pragma once

// Depth from the depth buffer under the pointer (main window). Returns GL_TRUE on success.
int unprojectWithDepthBuffer(int x, int y, double* objX, double* objY, double* objZ);

// Depth of the selected point of the current section (section window). Returns GL_TRUE on
// success; GL_FALSE when there is no selected point or the matrices cannot be inverted.
int unprojectAtSelectedPoint(int x, int y, double* objX, double* objY, double* objZ);
