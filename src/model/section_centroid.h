// Centroid of the current section, pivot of the section transforms and base of the section
// camera.
#pragma once

// Writes the mean of the stored (weight-multiplied) x, y, z over the countU points of section
// currentSection into out. Leaves out alone when there is no such section.
void computeSectionCentroid(float out[3]);
