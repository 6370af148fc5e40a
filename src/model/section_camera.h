// The section window's camera: a reference point beside the current section's centroid and an
// eye a fixed offset away from it (by default 5 units on the -x side, looking along +x).
#pragma once

#include "model/editor_state.h"
#include "model/point_vector.h"

// centroid + sectionRefOffset, componentwise in single precision.
Point3 sectionCameraRef(const float centroid[3], const ViewState& view);
// sectionCameraRef + sectionEyeOffset.
Point3 sectionCameraEye(const float centroid[3], const ViewState& view);

// Both for the editor's current section centroid and view.
Point3 sectionCameraRef();
Point3 sectionCameraEye();
