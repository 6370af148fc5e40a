// The section camera's reference point and eye.
#include "model/section_camera.h"

#include "model/editor_state.h"

Point3 sectionCameraRef() {
    const EditorState& s = editor;
    return {s.sectionCentroid[0] + s.sectionRefOffset[0], s.sectionCentroid[1] + s.sectionRefOffset[1],
            s.sectionCentroid[2] + s.sectionRefOffset[2]};
}

Point3 sectionCameraEye() {
    const EditorState& s = editor;
    const Point3 ref = sectionCameraRef();
    return {ref.x + s.sectionEyeOffset[0], ref.y + s.sectionEyeOffset[1], ref.z + s.sectionEyeOffset[2]};
}
