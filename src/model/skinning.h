// Skinning: a surface through every section, by global interpolation of each U column of the
// control net across the sections (The NURBS Book, A9.1, with chord-length parameters averaged
// over the columns).
#pragma once

// Square root of the sum of squares of v[0 .. n-1], summed in single precision.
float vectorNorm(const float* v, int n);

// Gaussian elimination with partial pivoting: solves A x = b for the n x n row-major A, which
// is left unchanged; b is overwritten.
void solveLinearSystem(const float* A, float* b, float* x, int n);

// Control points P[0 .. n] (dim floats each) of the degree-p B-spline on knots U that passes
// through Q[k] at params[k].
void interpolateCurve(float* P, int n, const float* Q, int dim, int p, const float* U,
                      const float* params);

// Rebuilds skinnedNet and skinnedKnotsV from controlNet. Returns false, with a status message
// and both arrays unchanged, when the sections admit no interpolating surface.
bool computeSkinning();

// Callback of the "skinning" check box, also run after every move of section points while
// skinning is on: skins, refreshes the panel and draws the main view. The id is ignored.
void skinningCallback(int id);
