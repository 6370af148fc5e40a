// Cutting a NURBS surface at knots into surfaces that together cover it, so that GLU can
// tessellate the parts on two threads.
#pragma once

#include <vector>

#include "view/surface_description.h"

// Cuts a large surface whose knots GLU accepts as they stand into at most `parts` parts with
// about equal numbers of spans, at breakpoints of the direction with more spans (t on a tie).
// Each part is a window onto the same points and knots: no value is computed, so GLU's Bezier
// patches of the parts are the patches of the whole. Returns the parts in parameter order, or
// none when the surface has too few patches to gain or knots GLU would refuse (wrong count, out
// of order, not finite, repeated more than order times, an empty range).
std::vector<SurfaceDescription> cutSurface(const SurfaceDescription& surface, int parts);

// Fewer patches than this are tessellated faster on one thread than on two.
constexpr long kPatchesWorthCutting = 64;
