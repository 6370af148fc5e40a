// The section camera's reference point and eye.
#include "model/section_camera.h"

#include <algorithm>
#include <cmath>

#include "model/editor_state.h"
#include "model/finite_values.h"

Point3 sectionCameraRef(const float centroid[3], const ViewState& view) {
    return {centroid[0] + view.sectionRefOffset[0], centroid[1] + view.sectionRefOffset[1],
            centroid[2] + view.sectionRefOffset[2]};
}

Point3 sectionCameraEye(const float centroid[3], const ViewState& view) {
    const Point3 ref = sectionCameraRef(centroid, view);
    return {ref.x + view.sectionEyeOffset[0], ref.y + view.sectionEyeOffset[1],
            ref.z + view.sectionEyeOffset[2]};
}

float sectionHalfHeight(int width, int height) {
    if (width < 1 || height < 1) return 1.0f;
    return static_cast<float>(height) / static_cast<float>(width);
}

bool frameSection(const SurfaceModel& surface, int section, const float centroid[3],
                  ViewState& view) {
    constexpr double kMargin = 0.9;  // the section fills 90% of the box's width or height
    if (!hasSection(surface, section)) return false;
    // Extent in the view's plane: z to the right, y up (the camera looks along +x).
    double low[3] = {INFINITY, INFINITY, INFINITY};
    double high[3] = {-INFINITY, -INFINITY, -INFINITY};
    const PointH* points = sectionPoints(surface, section);
    for (int j = 0; j < surface.countU; ++j) {
        const PointH& p = points[j];
        const double c[3] = {double(p.x) / p.w, double(p.y) / p.w, double(p.z) / p.w};
        if (!finite(c[0], c[1], c[2])) continue;
        for (int k = 0; k < 3; ++k) {
            low[k] = std::min(low[k], c[k]);
            high[k] = std::max(high[k], c[k]);
        }
    }
    const double width = high[2] - low[2];
    const double height = high[1] - low[1];
    if (!(width >= 0.0) || !(height >= 0.0) || (width == 0.0 && height == 0.0)) return false;
    const double halfHeight = sectionHalfHeight(view.sectionWindowWidth, view.sectionWindowHeight);
    double zoom = INFINITY;
    if (width > 0.0) zoom = std::min(zoom, 2.0 * kMargin / width);
    if (height > 0.0) zoom = std::min(zoom, 2.0 * halfHeight * kMargin / height);
    // The zoom scales about the model origin; the reference point goes to the scaled centre.
    const double centre[3] = {(low[0] + high[0]) / 2.0, (low[1] + high[1]) / 2.0,
                              (low[2] + high[2]) / 2.0};
    float offset[3];
    for (int k = 0; k < 3; ++k) offset[k] = static_cast<float>(zoom * centre[k] - centroid[k]);
    if (!finite(zoom, offset[0], offset[1], offset[2], static_cast<float>(zoom))) {
        return false;
    }
    view.sectionZoom = static_cast<float>(zoom);
    for (int k = 0; k < 3; ++k) view.sectionRefOffset[k] = offset[k];
    return true;
}

void resetSectionView(ViewState& view) {
    view.sectionZoom = 1.0f;
    for (float& offset : view.sectionRefOffset) offset = 0.0f;
}
