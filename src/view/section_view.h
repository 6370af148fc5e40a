// The section window's drawing: orthographic camera, background image, the current section's
// curve and points, centroid and axes.
#pragma once

void sectionDisplay();

// Everything sectionDisplay draws into the section window's back buffer (clear, camera,
// background, curve, points, centroid, axes), without the flush and the buffer swap.
void drawSectionFrame();
void sectionReshape(int width, int height);
void drawSectionScene();
