// The curvature comb of a section curve: teeth standing on the curve, each along the curve's
// normal and as long as its curvature, scaled so the longest tooth has a chosen length.
#pragma once

#include <vector>

#include "model/point_vector.h"
#include "model/surface_model.h"

// One tooth: from its base on the curve to its tip, on the outer side of the bend (away from the
// centre of curvature), so the tips trace the comb's envelope.
struct CombTooth {
    Point3 base;
    Point3 tip;
};

struct CurvatureComb {
    std::vector<CombTooth> teeth;   // in parameter order
    float largestCurvature = 0.0f;  // of all teeth; 0 for a straight curve
};

// The comb of section `section`: samplesPerSpan + 1 teeth over every knot span of positive
// width (fewer per span when the curve has so many spans that the comb would pass kMostTeeth),
// the longest tooth longestTooth long. A straight curve, or a point where the curve has no
// tangent, gets teeth of length 0; parameters without a point get no tooth. Empty when the
// section does not exist.
constexpr int kMostTeeth = 4096;
CurvatureComb sectionCurvatureComb(const SurfaceModel& surface, int section, int samplesPerSpan,
                                   float longestTooth);
