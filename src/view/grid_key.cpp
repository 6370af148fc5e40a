// The kept grids' key: the net, its knots and the view, compared in place.
#include "view/grid_key.h"

#include <GL/gl.h>

#include <cstring>

CurrentView readView() {
    CurrentView view;
    glGetFloatv(GL_MODELVIEW_MATRIX, view.modelView);
    glGetFloatv(GL_PROJECTION_MATRIX, view.projection);
    glGetIntegerv(GL_VIEWPORT, view.viewport);
    return view;
}

ScreenProjection screenProjectionOf(const CurrentView& view) {
    ScreenProjection screen;
    // projection * modelView, both in GL's column order.
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += view.projection[4 * k + r] * view.modelView[4 * c + k];
            screen.matrix[4 * c + r] = sum;
        }
    }
    for (int i = 0; i < 4; ++i) screen.viewport[i] = static_cast<float>(view.viewport[i]);
    return screen;
}

namespace {

bool sameKnots(const std::vector<float>& kept, const float* knots, int count) {
    return kept.size() == static_cast<size_t>(count) &&
           std::memcmp(kept.data(), knots, kept.size() * sizeof(float)) == 0;
}

}  // namespace

bool sameShapeAndView(const GridKey& key, const NetSurface& s, const CurrentView& view) {
    return key.countU == s.countU && key.countV == s.countV && key.orderU == s.orderU &&
           key.orderV == s.orderV && sameKnots(key.knotsU, s.knotsU, s.countU + s.orderU) &&
           sameKnots(key.knotsV, s.knotsV, s.countV + s.orderV) &&
           std::memcmp(&key.view, &view, sizeof view) == 0;
}

bool sameNetPoints(const GridKey& key, const NetSurface& s) {
    return key.net.size() == static_cast<size_t>(s.countU) * static_cast<size_t>(s.countV) &&
           std::memcmp(key.net.data(), s.net, key.net.size() * sizeof(PointH)) == 0;
}

void storeKey(const NetSurface& s, const CurrentView& view, GridKey& key) {
    const size_t points = static_cast<size_t>(s.countU) * static_cast<size_t>(s.countV);
    key.net.assign(s.net, s.net + points);
    key.knotsU.assign(s.knotsU, s.knotsU + s.countU + s.orderU);
    key.knotsV.assign(s.knotsV, s.knotsV + s.countV + s.orderV);
    key.countU = s.countU;
    key.countV = s.countV;
    key.orderU = s.orderU;
    key.orderV = s.orderV;
    key.view = view;
}
