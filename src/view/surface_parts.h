// Cutting a NURBS surface at a knot into two surfaces that together cover it, so that GLU can
// tessellate the two on two threads.
#pragma once

#include "view/surface_description.h"

// Cuts a large surface whose knots GLU accepts as they stand into a first and a second part, at
// the breakpoint a share `firstShare` (0..1) of the way through the breakpoints of the direction
// with more spans (t on a tie). Each part is a window onto the same points and knots: no value
// is computed, so GLU's Bezier patches of the parts are the patches of the whole. False, leaving
// the parts alone, when the surface has too few patches to be worth it, or knots GLU would
// refuse (wrong count, out of order, not finite, repeated more than order times, empty range).
bool cutSurfaceInTwo(const SurfaceDescription& surface, double firstShare,
                     SurfaceDescription& first, SurfaceDescription& second);

// Fewer patches than this are tessellated faster on one thread than on two.
constexpr long kPatchesWorthCutting = 64;
