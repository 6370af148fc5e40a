// Centroid of the current section, pivot of the section transforms and base of the section
// camera.
#pragma once

#include "model/surface_model.h"

// Writes the mean of the stored (weight-multiplied) x, y, z over the countU points of section
// currentSection into out. Leaves out alone when there is no such section.
void computeSectionCentroid(float out[3]);
// The same for section `section` of a surface.
void computeSectionCentroid(const SurfaceModel& surface, int section, float out[3]);
