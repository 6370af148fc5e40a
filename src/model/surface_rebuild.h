// Rebuild: a curve or surface refitted to fewer (or more) control points by least squares with
// a fairness term, in double precision. The input is sampled densely at its own parameters, the
// samples are fitted with the input's degrees on clamped knots, and the largest deviation is
// reported with where it lies. A surface is fitted as a tensor product: every row of samples
// along U first, then every column of those results along V, each a small banded system, so a
// 50 x 50 rebuild costs milliseconds rather than the seconds of one system in all the points.
#pragma once

#include <string>
#include <vector>

#include "model/surface_model.h"

struct EditorState;

// What a rebuild is asked for: either a point count in each direction (pointsU, pointsV both
// set) or the fewest points that keep within tolerance of the input (tolerance above 0).
struct RebuildOptions {
    int pointsU = 0;
    int pointsV = 0;
    double tolerance = 0.0;
    // Weight of the bending energy (the integral of the squared second derivatives, parameters
    // running 0 .. 1) against the mean squared deviation, from 0 to 1. 0 is a plain least-squares
    // fit; wobbles shorter than about 6 fairness^(1/4) of the parameter range are smoothed away.
    double fairness = 0.0;
};

// What a rebuild found. Parameters are those of the rebuilt surface (0 .. 1 both ways), which
// run as the input's do, scaled to 0 .. 1.
struct RebuildReport {
    int pointsU = 0, pointsV = 0;
    double maxDeviation = 0.0;  // largest distance between input and result at a sample
    double rmsDeviation = 0.0;
    double u = 0.0, v = 0.0;      // where the largest deviation lies
    double point[3] = {0, 0, 0};  // the input's point there
    // The scatter of the input's points about a smooth surface (their estimated standard
    // deviation across it), from the fifth differences of its points at the Greville parameters;
    // 0 when no direction has the points an estimate needs (8, and 20 differences in all).
    double scatter = 0.0;
    bool rational = false;  // the input had unequal weights; the result has weight 1 throughout
    // Distance at every sample, samplesU along U per row, samplesV rows, and the input's point
    // there (x, y, z each): a deviation map.
    int samplesU = 0, samplesV = 0;
    std::vector<float> deviation;
    std::vector<float> positions;
};

// Refits the whole surface (both directions). Refused, with the reason in refusal and out
// untouched, when the surface is unusable or not finite, a count is below the order or past the
// editor's limits, the tolerance is below the input's scatter or cannot be met within the
// editor's limits, the fairness weight is negative, or the fit is singular.
bool rebuildSurface(const SurfaceModel& in, const RebuildOptions& options, SurfaceModel& out,
                    RebuildReport& report, std::string& refusal);

// Refits every section curve along U to pointsU points on shared knots (pointsV is not used);
// the sections, the V knots and the degree across them stay. The deviation is measured on the
// section curves; report.v is the section's place among the V parameters of the sections, its
// index divided by countV - 1.
bool rebuildSections(const SurfaceModel& in, const RebuildOptions& options, SurfaceModel& out,
                     RebuildReport& report, std::string& refusal);

// Refits the rational curve of n + 1 homogeneous points Pw, degree p, knots U, to
// options.pointsU points (or the fewest within options.tolerance): outPoints (weight 1) and
// outKnots (clamped). report.v is 0.
bool rebuildCurve(int n, int p, const float* U, const PointH* Pw, const RebuildOptions& options,
                  std::vector<PointH>& outPoints, std::vector<float>& outKnots,
                  RebuildReport& report, std::string& refusal);

// Scatter of the surface's points about a smooth surface (see RebuildReport::scatter).
double estimateScatter(const SurfaceModel& surface);

// The report as the command line and the status line print it: counts, largest deviation with
// its place, the scatter, and a note when weights were dropped.
std::string rebuildReportText(const RebuildReport& report);

// Refits section `section` alone, as a curve, keeping the net's point count (a net's sections
// share it; a net of one section may change it) and its knots: a fairing of that section with
// the fairness weight. With a tolerance the count stays too, and a fit that strays further is
// refused. The other sections stay bit for bit. Refused as rebuildCurve is, and for a section
// that is not there or whose knots are not clamped (a closed section).
bool rebuildOneSection(const SurfaceModel& in, int section, const RebuildOptions& options,
                       SurfaceModel& out, RebuildReport& report, std::string& refusal);

// What the editor rebuilds: the surface, every section, or the current section.
enum class RebuildScope { surface, sections, currentSection };

// Replaces the editor's surface (or its sections, or its current section) by its rebuild as one
// undoable step, with the report on the status line. While skinning is on a rebuild of the
// surface is refused, as its net would be lofted through again; sections can be, and the loft
// follows them. A refusal goes to the status line and changes nothing. Returns whether the
// surface was replaced; message gets the status line's text.
bool rebuildInEditor(EditorState& state, const RebuildOptions& options, RebuildScope scope,
                     std::string& message);

// Rebuilds the shown preview: the surface, sections or current section, as rebuildInEditor
// would, without changing the state.
bool rebuildPreview(const EditorState& state, const RebuildOptions& options, RebuildScope scope,
                    RebuildReport& report, std::string& refusal);
