// The main view's ordinary surface, outline or lit fill, drawn from the editor's own grid
// (model/surface_grid.h) for nets GLU cannot tessellate within a frame.
#pragma once

#include "model/surface_grid.h"

// Draws the surface with the current material, lighting, matrices and viewport: filled as
// indexed triangles, or in outline as grid lines at the knots and between them. The grid is
// evaluated again only when the net, its knots, the matrices or the viewport changed since the
// last call; when only some net points moved, only the grid vertices they reach are evaluated
// again, on the parameters kept from before. Sets the GL state it needs and restores it.
void drawGridSurface(const NetSurface& surface, bool outline);

// Draws the grid drawGridSurface kept once more, as it is, under the current matrices (the
// mirror image of a half-model); nothing when none is kept.
void drawGridSurfaceAgain(const NetSurface& surface, bool outline);

// The last grid drawGridSurface drew: its size, and whether it came from a partial evaluation.
struct GridSurfaceFrame {
    int columns = 0, rows = 0;
    bool partial = false;
};
GridSurfaceFrame lastGridSurfaceFrame();

// Frees the kept grid and its worker thread; for the exit clean-up.
void releaseGridSurface();
