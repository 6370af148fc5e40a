// Where a loft's sections sit along V: their parameters (chord length, centripetal or uniform)
// and the averaged V knots an interpolation through them takes.
#pragma once

#include <vector>

#include "model/loft_options.h"

// Square root of the sum of squares of v[0 .. n-1], summed in single precision.
float vectorNorm(const float* v, int n);

// Section parameters v[0 .. R-1] of a net of R sections of cols homogeneous points each
// (4 floats a point, section-major): chord lengths in every column, averaged over the columns,
// v[0] = 0 and v[R-1] = 1 (a single section gets 1). A column whose point is the same in every
// section has no chord length and is left out of the average. Returns false when every column
// is like that while the interior parameters need one (R >= 3): all sections coincide.
bool computeSectionParameters(const float* net, int cols, int R, float* v);

// Section parameters for the loft options. Chord length gives computeSectionParameters' floats;
// centripetal shares out the square roots of the chord lengths the same way; uniform spaces the
// parameters evenly. A closed loft also measures the way from the last section back to the
// first and leaves v[R-1] below 1, the first section's parameter one period on. False when no
// column has a length to share out.
bool computeLoftParameters(const float* net, int cols, int R, const LoftOptions& options, float* v);

// computeLoftParameters that keeps the measured chords (left alone for uniform parameters):
// chord[(k - 1) * cols + t] runs from section k - 1 to section k in column t.
bool loftParameters(const float* net, int cols, int R, const LoftOptions& options, float* v,
                    std::vector<float>& chord);

// Parameters v[0 .. P-1] of the open loft through the row before the sections (none when null),
// the R >= 2 sections of net and the row after them (none when null), with the sections' chords
// as loftParameters measured them: the floats computeLoftParameters gives for those rows
// stacked into one net, without copying or measuring the sections again.
bool loftParametersAround(const float* before, const float* net, int cols, int R,
                          const float* after, const std::vector<float>& chord,
                          const LoftOptions& options, float* v);

// V knots V[0 .. R + order - 1] for interpolation at the parameters v[0 .. R-1]: order zeros,
// the averages of order - 1 consecutive parameters, order ones. For order 1 (degree 0) the
// interior knots lie halfway between consecutive parameters, so each section owns the stretch
// of V around its parameter.
void averageKnots(const float* v, int R, int order, float* V);
