// Window positions (GLUT pixels, y down) to model points, through the current window's
// matrices as its last display left them.
#pragma once

// Depth from the depth buffer under the pointer (main window). Returns GL_TRUE and writes the
// model point on success; GL_FALSE, with the out-parameters untouched, when the matrices cannot
// be inverted or the result is not finite.
int unprojectWithDepthBuffer(int x, int y, double* objX, double* objY, double* objZ);

// Depth of the selected point of the current section (section window); a selected index past
// the section's end stands for its last point. Returns GL_TRUE on success; GL_FALSE, with the
// out-parameters untouched, when there is no such section or point, the point has no finite
// position, or the matrices cannot be inverted.
int unprojectAtSelectedPoint(int x, int y, double* objX, double* objY, double* objZ);

// Any depth (the section window's view is orthographic along x, so z and y do not depend on
// it): the point of the section plane under the pointer, for marks on the background image.
// Returns GL_FALSE, with the out-parameters untouched, when the matrices cannot be inverted.
int unprojectOnSectionPlane(int x, int y, double* objX, double* objY, double* objZ);
