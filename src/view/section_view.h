// The section window's drawing: orthographic camera, background image, the current section's
// curve and points, centroid and axes.
#pragma once

void sectionDisplay();
void sectionReshape(int width, int height);
void drawSectionScene();
