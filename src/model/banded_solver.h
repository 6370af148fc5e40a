// Gaussian elimination with partial pivoting of a banded matrix, every right-hand side at once,
// in the operation order of the dense reference (solveLinearSystem), so the floats are the same.
#pragma once

#include <vector>

// Solves A X = B for the nrhs columns of B at once. A is n x n row-major and is left unchanged;
// B (n rows of nrhs floats) is overwritten; X receives n rows of nrhs floats. Uses the pivots and
// the operation order of solveLinearSystem, skipping only work on entries outside the band of A,
// so for a non-singular A every value is bit for bit what solveLinearSystem gives for that
// column. Returns false (X undefined) when a pivot is zero or not finite.
bool solveBanded(const float* A, float* B, float* X, int n, int nrhs);

// One row of a matrix in band form: values of the columns first .. first + count - 1, every other
// entry +0.
struct BandRow {
    int first;
    int count;
    const float* values;
};

// solveBanded for a matrix given as rows (n = rows.size()). False when a pivot is zero or not
// finite, or there are no rows.
bool solveBandRows(const std::vector<BandRow>& rows, float* B, float* X, int nrhs);
