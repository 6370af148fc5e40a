// Sections of a rational loft brought to common weights.
#pragma once

#include <string>
#include <vector>

#include "model/editor_state.h"
#include "model/loft_options.h"

// The section whose weights the others take: among the sections whose weights are all above 0,
// the one whose largest and smallest weight lie furthest apart (the first of equals), so that a
// circle keeps its weights and the straight sides of a square take them. -1 when a section has a
// weight of 0 or below (its Cartesian points are not defined), with its index in badSection.
int commonWeightSection(const PointH* net, int cols, int R, int& badSection);

// The net with every point moved to the weight of the same point of section `reference`,
// keeping its Cartesian position (x / w, y / w, z / w). A section whose weights are proportional
// to the reference's keeps its curve exactly; one whose control points are collinear where the
// weights change (a straight side) keeps the same points, run through at another pace.
// Points whose weight already equals the reference's are copied bit for bit. Returns how many
// sections changed.
int bringToCommonWeights(const PointH* net, int cols, int R, int reference,
                         std::vector<PointH>& out);
