// Whether the weight function of a NURBS surface stays above 0 over its parameter range. The
// weight function is the tensor-product B-spline whose coefficients are the control weights:
// where it reaches 0 the surface runs off to infinity, and past it the surface comes back from
// the other side.
#pragma once

#include "model/surface_model.h"

// Where a weight function was found at or below 0, and the value there; or, when undecided, the
// lowest value seen where the search gave up.
struct WeightDip {
    double u = 0.0;
    double v = 0.0;
    double weight = 0.0;
    bool undecided = false;
};

// True when the weight function of the net (rows x cols points, row-major: point t of row r at
// r * cols + t) on knotsU (cols + orderU knots) and knotsV (rows + orderV knots) is above 0
// everywhere on [knotsU[orderU - 1], knotsU[cols]] x [knotsV[orderV - 1], knotsV[rows]].
//
// All weights above 0 is enough, since the basis functions sum to 1 there; so is, span by span,
// every weight that span depends on. Any other span is cut out as a Bezier patch (by knot
// insertion) and halved until its coefficients are all above 0 (a proof: a Bezier patch lies
// within its coefficients' range) or a corner, where the patch takes the value of its corner
// coefficient, is at or below 0 (a point of the surface at infinity). A patch still undecided
// after 12 halvings comes within about 1e-7 of its scale of 0, and a search past its bound of
// work is not worth finishing: both count as reaching 0 (dip.undecided). False, with the place in
// dip, in these cases. Computed in double precision, so the floats' rounding does not decide.
bool weightsStayPositive(const PointH* net, int cols, int rows, const float* knotsU, int orderU,
                         const float* knotsV, int orderV, WeightDip& dip);
