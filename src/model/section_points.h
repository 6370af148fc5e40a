// Editing the points of the sections: moving one point, and adding or deleting a point at the
// same index of every section, on a surface value.
#pragma once

#include <string>

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

// Inserts `inserted` at index `index` (0 .. countU) of every section: countU and knotCountU grow
// by one and knotsU become clamped uniform for the new count. The arrays must match the counts.
void insertSectionPoint(SurfaceModel& surface, int index, const PointH& inserted);

// Removes point `index` from every section, the counts and knotsU following as for an insertion.
// Refused, with the reason in error and the surface unchanged, when a section would keep fewer
// points than its order or there is no such point.
bool removeSectionPoint(SurfaceModel& surface, int index, std::string& error);
