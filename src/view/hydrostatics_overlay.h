// What the main view shows of the hull's hydrostatics: the waterline on the hull (with its mirror
// image for a half model) and a mark at the centre of buoyancy. The panel fills it in.
#pragma once

#include <vector>

struct HydrostaticsOverlay {
    bool shown = false;
    std::vector<float> waterline;  // segments: x y z x y z each
    bool mirrored = false;         // draw the segments reflected across z = mirrorZ too
    float mirrorZ = 0.0f;
    float buoyancy[3] = {0.0f, 0.0f, 0.0f};
};

HydrostaticsOverlay& hydrostaticsOverlay();

// Draws the overlay when shown; sets the GL state it needs and puts back what it changes.
void drawHydrostaticsOverlay();
