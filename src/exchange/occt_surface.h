// The surface as an Open CASCADE B-spline surface and face: the same control points, weights,
// degrees and knots, so that it evaluates to the same points over the same parameter range.
#pragma once

#include <Geom_BSplineSurface.hxx>
#include <TopoDS_Face.hxx>

#include <string>

#include "model/surface_model.h"

// The B-spline surface of a surface that passed checkExportable. Knots keep their values; control
// points whose basis functions vanish on the whole parameter range (a knot repeated past the
// order at an end, which OCCT does not take) are left out, which changes no point of the surface.
// A null handle, with OCCT's reason in error, when OCCT refuses the surface anyway.
Handle(Geom_BSplineSurface) makeOcctSurface(const SurfaceModel& surface, std::string& error);

// The surface closed exactly in each direction in which its two boundary curves coincide within
// tolerance, so that a face on it gets one seam edge instead of two free edges a rounding apart.
// A clamped direction whose first and last rows of poles (and weights) agree gets the first row
// copied over the last. An unclamped direction whose last degree rows repeat its first ones on
// knots spaced alike one period apart (a closed loft) becomes periodic on its first period's
// knots. A direction that is not closed, or that the change would move by more than tolerance,
// is left as it was.
Handle(Geom_BSplineSurface) closeSeams(const Handle(Geom_BSplineSurface)& surface,
                                       double tolerance);

// A face bounded by the surface's parameter range; a null face, with the reason in error, when it
// cannot be made.
TopoDS_Face makeOcctFace(const Handle(Geom_BSplineSurface)& surface, std::string& error);
