// The main view's ordinary surface, outline or lit fill, drawn from the editor's own grid
// (model/surface_grid.h) for nets GLU cannot tessellate within a frame.
#pragma once

#include <functional>

#include "model/surface_grid.h"

// Draws the surface with the current material, lighting, matrices and viewport: filled as
// indexed triangles, or in outline as grid lines at the knots and between them. The grid is
// evaluated again only when the net, its knots, the matrices or the viewport changed since the
// last call; when only some net points moved, only the grid vertices they reach are evaluated
// again, on the parameters kept from before. Sets the GL state it needs and restores it.
// settleNets, when given, is called once the grid is up to date, with the milliseconds that
// leaving out what the nets hide is expected to save: true when the nets drawn next have their
// plan settled (view/net_drawing.h), and the segments and triangles their points will hide are
// then left out.
void drawGridSurface(const NetSurface& surface, bool outline,
                     const std::function<bool(double)>& settleNets = nullptr);

// Draws the grid drawGridSurface kept once more, as it is, under the current matrices (the
// mirror image of a half-model); nothing when none is kept.
void drawGridSurfaceAgain(const NetSurface& surface, bool outline);

// The last grid drawGridSurface drew: its size, whether it came from a partial evaluation, and
// how many of its segments (outline) or triangles (filled) it drew, out of how many.
struct GridSurfaceFrame {
    int columns = 0, rows = 0;
    bool partial = false;
    long long pieces = 0, piecesDrawn = 0;
};
GridSurfaceFrame lastGridSurfaceFrame();

// Frees the kept grid and its worker thread; for the exit clean-up.
void releaseGridSurface();
