// The main view's surface drawn from its own grid (model/surface_grid.h) in an analysis
// shading, zebra stripes or a curvature map, lit, from vertex arrays.
#pragma once

#include "model/surface_grid.h"

// Draws the surface filled, with the current model-view and projection matrices and viewport
// (a rigid camera: the eye and its right direction are read from the model-view matrix).
// shading is kShadingZebra or kShadingCurvature, curvatureKind kCurvatureGaussian or
// kCurvatureMean (editor_parts.h). The grid is evaluated again only when the net, the view or
// the shading changed since the last call. Sets the GL state it needs and restores it. False
// when the surface cannot be evaluated (nothing drawn).
bool drawAnalysisSurface(const NetSurface& surface, int shading, int curvatureKind);

// Draws the grid of the last drawAnalysisSurface again under the current model-view matrix, a
// mirror plane's reflection of the camera: the curvature colours as they were, the zebra stripes
// as the reflected surface shows them to the camera (a crease along the plane breaks them).
void drawAnalysisSurfaceAgain();

// The half-width of the colour scale of the last curvature map drawn (values at or past it
// show the scale's ends), and the grid it was drawn with; 0 before the first.
struct AnalysisFrameInfo {
    float curvatureRange = 0.0f;
    int columns = 0, rows = 0;
};
AnalysisFrameInfo lastAnalysisFrame();

// Frees the kept grid and the worker thread; for the exit clean-up.
void releaseGridRenderer();
