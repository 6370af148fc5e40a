// Editing the points of the sections: moving one point, and adding or deleting a point at the
// same index of every section, on a surface value.
#pragma once

#include <string>
#include <vector>

#include "model/point_vector.h"
#include "model/surface_model.h"

// Moves point `point` of section `section` to the Cartesian position u, keeping its weight.
// False, with the surface unchanged, when there is no such point, its weight is 0 or not finite
// (it has no Cartesian position to set) or the weighted coordinates would overflow.
bool moveSectionPoint(SurfaceModel& surface, int section, int point, Point3 u);

// Index of the point of section `section` nearest to u and strictly nearer than `limit`; the
// lowest index wins ties. -1 when none qualifies or there is no such section.
int nearestSectionPoint(const SurfaceModel& surface, int section, Point3 u, float limit);

// Index i of the segment (point i-1, point i) of the section's open polygon whose distance sum
// to u is smallest and below limit; the lowest i wins ties. -1 when none.
int nearestPolygonSegment(const SurfaceModel& surface, int section, Point3 u, float limit);

// The points "Add" inserts at index `index` (1 .. countU - 1), one per section: section
// `section` gets u itself; every other section gets the point at the same fraction of its own
// segment (index - 1, index) as u's foot on that segment of `section`, so the new point lies in
// that section's plane between its neighbours and the section's shape barely changes. All have
// weight 1. The surface must have section `section`.
std::vector<PointH> pointsToInsert(const SurfaceModel& surface, int index, int section, Point3 u);

// Inserts inserted[i] at index `index` (0 .. countU) of section i, for every section: countU and
// knotCountU grow by one and knotsU become clamped uniform for the new count. The arrays must
// match the counts and `inserted` hold countV points.
void insertSectionPoint(SurfaceModel& surface, int index, const std::vector<PointH>& inserted);

// Removes point `index` from every section, the counts and knotsU following as for an insertion.
// Refused, with the reason in error and the surface unchanged, when a section would keep fewer
// points than its order or there is no such point.
bool removeSectionPoint(SurfaceModel& surface, int index, std::string& error);
