// What a kept grid of the main view was made from: the net, its knots and the GL view it was
// chosen for. A frame whose surface and view still match it draws the kept grid again.
#pragma once

#include <vector>

#include "model/surface_grid.h"

// GL's matrices and viewport as this frame has them.
struct CurrentView {
    float modelView[16];
    float projection[16];
    int viewport[4];
};

CurrentView readView();

// The view's screen projection (projection times model-view, and the viewport), as the grid's
// density is chosen from it.
ScreenProjection screenProjectionOf(const CurrentView& view);

struct GridKey {
    std::vector<PointH> net;
    std::vector<float> knotsU, knotsV;
    int countU = 0, countV = 0, orderU = 0, orderV = 0;
    CurrentView view = {};
};

// Everything but the net's point values is as the key has it.
bool sameShapeAndView(const GridKey& key, const NetSurface& s, const CurrentView& view);

// The net's points are, bit for bit, the key's (its shape already matching).
bool sameNetPoints(const GridKey& key, const NetSurface& s);

// Copies the surface and the view into the key, reusing its storage (a large net's copy is
// taken on every drag step).
void storeKey(const NetSurface& s, const CurrentView& view, GridKey& key);
