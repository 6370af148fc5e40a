// Centroid of the current section, pivot of the section transforms and base of the section
// camera.
#pragma once

#include "model/surface_model.h"

// Writes the mean of the stored (weight-multiplied) x, y, z over the countU points of section
// `section` of a surface into out. Leaves out alone when there is no such section.
void computeSectionCentroid(const SurfaceModel& surface, int section, float out[3]);
