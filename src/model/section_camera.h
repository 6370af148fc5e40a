// The section window's camera: a reference point beside the current section's centroid and an
// eye a fixed offset away from it (by default 5 units on the -x side, looking along +x).
#pragma once

#include "model/editor_state.h"
#include "model/point_vector.h"

// centroid + sectionRefOffset, componentwise in single precision.
Point3 sectionCameraRef(const float centroid[3], const ViewState& view);
// sectionCameraRef + sectionEyeOffset.
Point3 sectionCameraEye(const float centroid[3], const ViewState& view);

// Half the height of the section view's box for a window of that size: the box is 2 units wide
// and as high as keeps the window's aspect ratio.
float sectionHalfHeight(int width, int height);

// Zoom and pan that fit section `section` into the view's box (with a margin) and centre it,
// for a camera whose reference point is centroid + sectionRefOffset. False, with the view
// unchanged, when there is no such section or its points give no finite, non-empty extent.
bool frameSection(const SurfaceModel& surface, int section, const float centroid[3],
                  ViewState& view);

// The start-up view: zoom 1, no pan.
void resetSectionView(ViewState& view);
