// Plane cuts of the surface: the curves where it meets planes x = c, y = c, z = c or any plane
// a x + b y + c z = d, as ordered polylines within a tolerance of the true intersection. The
// stations, waterlines, buttocks and diagonals of a lines plan are such cuts.
//
// The cut is computed in double precision: the surface is sampled on a grid refined per knot
// span, the sign changes of the plane's function are marched through the grid cells in
// parameter space (marching squares), each crossing is refined onto the plane along its cell
// edge, and segments are split at refined midpoints until the chord lies within the tolerance.
// Pieces that meet in space (across a seam of a closed surface, through a pole) are joined.
#pragma once

#include <string>
#include <vector>

#include "model/mirror_plane.h"
#include "model/surface_model.h"

// The plane a x + b y + c z = d; (a, b, c) need not be of unit length.
struct CutPlane {
    double a = 1.0, b = 0.0, c = 0.0, d = 0.0;
};

// The plane x = value (axis 0), y = value (axis 1) or z = value (axis 2).
CutPlane axisPlane(int axis, double value);

struct CutPoint {
    double x, y, z;
};

// One connected piece of a cut, its points in order along it. A closed curve does not repeat
// its first point at the end.
struct CutCurve {
    std::vector<CutPoint> points;
    bool closed = false;
};

struct PlaneCut {
    CutPlane plane;
    std::vector<CutCurve> curves;  // none when the plane misses the surface
};

// The box around the Cartesian control points (weights above 0), as min x, y, z, max x, y, z.
// False when the surface has no such point.
bool controlBox(const SurfaceModel& surface, double box[6]);

// The box around the surface itself, from the same sample grid the cuts start from (a control
// net bulges past its surface): false, with the reason in error, when it cannot be evaluated.
bool surfaceBox(const SurfaceModel& surface, double box[6], std::string& error);

// 1/10000 of the diagonal of the control box: the default cut tolerance. 0 when there is no box.
double defaultCutTolerance(const SurfaceModel& surface);

// Cuts the surface with every plane, sampling it once for all of them. tolerance bounds the
// distance of every polyline chord from the true intersection (0 or less: the default). With a
// mirror plane, each cut also holds the cut of the mirror image, joined to the original where
// the two meet on the plane. False, with the reason in error and cuts unchanged, when the
// surface cannot be evaluated, a plane has no normal or is not finite, or the tolerance is not
// finite.
bool cutSurface(const SurfaceModel& surface, const std::vector<CutPlane>& planes, double tolerance,
                const MirrorPlane* mirror, std::vector<PlaneCut>& cuts, std::string& error);

// The points of the cut's curves, for the extent of a drawing: box = min x, y, z, max x, y, z.
// False when the cut has no point.
bool cutBox(const PlaneCut& cut, double box[6]);
