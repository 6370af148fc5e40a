// A control point's Cartesian coordinates and weight as the user types them: read back for the
// panel's fields, and one typed value written into the net.
#pragma once

#include <cstddef>
#include <string>

#include "model/surface_model.h"

enum class PointField { x, y, z, weight };

// "x", "y", "z" or "weight".
const char* pointFieldName(PointField field);

// The Cartesian x, y, z and the weight of point index of the net, as the fields show them.
// False when index lies outside the net.
bool typedPointValues(const SurfaceModel& surface, size_t index, float values[4]);

// Gives point index of the net the typed value: a coordinate keeps the point's weight and its
// other coordinates; a weight keeps its Cartesian position. Refuses, changing nothing, an index
// outside the net, a value that is not a finite float, a weight of 0 or below, and a result that
// is not finite. error says why.
bool typePointValue(SurfaceModel& surface, size_t index, PointField field, double value,
                    std::string& error);
