// The deviation map of a rebuild on the main view: the rebuilt surface's samples coloured by
// their distance from the surface before, blue (none) through green to red (the largest). The
// rebuild popup fills it in while it is open.
#pragma once

#include <cstdint>
#include <vector>

struct DeviationOverlay {
    bool shown = false;
    int columns = 0, rows = 0;     // samples per row, rows
    bool curves = false;           // the rows are section curves, drawn as lines, not a surface
    std::vector<float> points;     // x y z per sample, row after row
    std::vector<uint8_t> colours;  // r g b per sample
    uint32_t generation = 0;       // changes with every new map, so the main view draws it
};

DeviationOverlay& deviationOverlay();

// Shows the map of distances at the grid of points (columns x rows, x y z each), thinned to at
// most about 160 samples a direction, coloured against the largest distance, or against a
// millionth of the points' extent when that is more (so a fit that changes nothing is all
// blue, not float rounding in every colour). Returns the distance shown in red.
float showDeviationMap(const std::vector<float>& points, const std::vector<float>& distances,
                       int columns, int rows, bool curves);
void hideDeviationMap();

// Draws the map over the surface when shown; sets the GL state it needs and puts back what it
// changes.
void drawDeviationOverlay();
