// End conditions of an open loft: at its first and last section the surface either stops as the
// sections give it (free), closes to a pole (point) or leaves the section along a direction
// (tangent). Each condition adds rows to the interpolation across the sections: a pole adds its
// position and the derivative there, a tangent adds the derivative at the section.
#pragma once

#include <string>
#include <vector>

#include "model/loft_options.h"


// True when the options ask for anything but free ends of an open loft.
bool loftHasEndConditions(const LoftOptions& options);

// The R sections of a loft as the loft has measured them: net (homogeneous points,
// section-major, cols a section), their parameters v and the chords loftParameters kept.
// netFinite says every float of net is known to be finite.
struct LoftSections {
    const float* net;
    int cols;
    int R;
    const float* v;
    const std::vector<float>* chord;
    bool netFinite;
};

// The control points (result, rows of 4 * cols floats) and knots of the open loft through the
// sections with the options' end conditions. The surface has R + 1 rows per tangent end and
// R + 2 per point end, and rows + order knots.
// False with the reason when the ends cannot be built: a degree below 2 across the sections,
// fewer than two sections, a zero direction, an end section without a plane for its default,
// a pole in the end section's plane, a weight that is not positive at an end, or a singular
// system.
bool loftNetWithEnds(const LoftSections& sections, int order, const LoftOptions& options,
                     std::vector<float>& result, std::vector<float>& knots, std::string& refusal);

// Reads "free", "point", "point:x,y,z", "tangent" or "tangent:x,y,z" into end (kind, given
// and vector; length and bulge are kept). False with the reason for any other text.
bool parseLoftEnd(const char* text, LoftEnd& end, std::string& problem);

// "free", "point", "point at (x, y, z)", "tangent", "tangent along (x, y, z)", with the bulge
// and the length when they are not the defaults.
std::string loftEndText(const LoftEnd& end);
