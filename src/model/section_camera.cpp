// The section camera's reference point and eye.
#include "model/section_camera.h"

#include "model/editor_state.h"

Point3 sectionCameraRef(const float centroid[3], const ViewState& view) {
    return {centroid[0] + view.sectionRefOffset[0], centroid[1] + view.sectionRefOffset[1],
            centroid[2] + view.sectionRefOffset[2]};
}

Point3 sectionCameraEye(const float centroid[3], const ViewState& view) {
    const Point3 ref = sectionCameraRef(centroid, view);
    return {ref.x + view.sectionEyeOffset[0], ref.y + view.sectionEyeOffset[1],
            ref.z + view.sectionEyeOffset[2]};
}

Point3 sectionCameraRef() {
    return sectionCameraRef(editor.selection.sectionCentroid, editor.view);
}

Point3 sectionCameraEye() {
    return sectionCameraEye(editor.selection.sectionCentroid, editor.view);
}
