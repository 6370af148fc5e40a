// The section window's camera: a reference point beside the current section's centroid and an
// eye a fixed offset away from it (by default 5 units on the -x side, looking along +x).
#pragma once

#include "model/point_vector.h"

// sectionCentroid + sectionRefOffset, componentwise in single precision.
Point3 sectionCameraRef();
// sectionCameraRef() + sectionEyeOffset.
Point3 sectionCameraEye();
