// How a loft runs across its sections: the parameter spacing and whether the surface closes
// back into the first section. A value passed to the skinning kernel.
#pragma once

#include <cstdint>

// Spacing of the section parameters: by chord length, by its square root (centripetal, which
// follows sharp turns more tightly), or evenly.
enum class LoftParameters : int32_t { chord = 0, centripetal = 1, uniform = 2 };

// How an open loft ends at its first or last section: as the sections give it (free), closing to
// a pole (point) or leaving the section along a direction (tangent).
enum class LoftEndKind : int32_t { free = 0, point = 1, tangent = 2 };

// How the loft treats sections whose weights differ: their homogeneous points interpolated as they
// are (whose weights can pass through 0 between the sections), or their Cartesian points lofted
// apart from common weights (those of the section whose weights vary most), which keeps every
// weight of the loft above 0.
enum class LoftRational : int32_t { homogeneous = 0, compatible = 1 };

struct LoftEnd {
    LoftEndKind kind = LoftEndKind::free;
    bool given = false;                     // at / along `vector`; otherwise the default below
    float vector[3] = {0.0f, 0.0f, 0.0f};  // the pole (point) or the direction (tangent)
    // Default pole: the section's centroid moved this far out of the loft along the section's
    // normal; 0 takes the section's mean radius, which rounds a circle into a half sphere.
    float length = 0.0f;
    float bulge = 1.0f;  // scales the derivative the surface leaves the end with
};

inline bool operator==(const LoftEnd& a, const LoftEnd& b) {
    return a.kind == b.kind && a.given == b.given && a.vector[0] == b.vector[0] &&
           a.vector[1] == b.vector[1] && a.vector[2] == b.vector[2] && a.length == b.length &&
           a.bulge == b.bulge;
}
inline bool operator!=(const LoftEnd& a, const LoftEnd& b) { return !(a == b); }

struct LoftOptions {
    LoftOptions() = default;
    // The two choices every loft has; its ends stay free.
    LoftOptions(LoftParameters p, bool c) : parameters(p), closed(c) {}

    LoftParameters parameters = LoftParameters::chord;
    bool closed = false;  // periodic across the sections: the last runs smoothly into the first
    LoftEnd start;        // at the first section (an open loft only)
    LoftEnd end;          // at the last section
    LoftRational rational = LoftRational::homogeneous;
};

struct PanelVariables;

// The options the panel's loft controls hold; an out-of-range parameter choice reads as chord
// length, an out-of-range rational choice as homogeneous.
LoftOptions loftOptionsOf(const PanelVariables& panel);

// "chord", "centripetal", "uniform".
const char* loftParametersName(LoftParameters parameters);

// The choice named by text (one of the names above); false for any other text.
bool parseLoftParameters(const char* text, LoftParameters& parameters);

// "homogeneous", "compatible".
const char* loftRationalName(LoftRational rational);

// The choice named by text (one of the names above); false for any other text.
bool parseLoftRational(const char* text, LoftRational& rational);
