// Gaussian elimination of a cyclic banded matrix (a band that wraps around its corners, as the
// collocation matrix of a periodic B-spline does), every right-hand side at once.
#pragma once

#include <vector>

#include "model/banded_solver.h"

// Solves A X = B for the nrhs columns of B, where row i of A (n = rows.size()) holds the
// values of columns first .. first + count - 1 taken modulo n: a row whose band starts left of
// column 0 wraps into the last columns. A row must not reach past column n - 1, nor hold more
// than n values. B (n rows of nrhs floats) is overwritten; X receives n rows and may be B.
// When the band, its columns turned to put the rows' largest values on the diagonal (as in
// periodic B-spline collocation), can be eliminated around the diagonal without growth, it is,
// without pivoting and with a small dense border for the wrapped corners; otherwise the wrapped
// columns become a dense right border and the elimination pivots. Either way the work grows
// with n * (band + border), never with n^2. Returns false (X undefined) when a pivot is zero or
// not finite, or a row breaks the rules above.
bool solveCyclicBandRows(const std::vector<BandRow>& rows, float* B, float* X, int nrhs);
