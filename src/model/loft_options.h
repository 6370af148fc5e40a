// How a loft runs across its sections: the parameter spacing and whether the surface closes
// back into the first section. A value passed to the skinning kernel.
#pragma once

#include <cstdint>

// Spacing of the section parameters: by chord length, by its square root (centripetal, which
// follows sharp turns more tightly), or evenly.
enum class LoftParameters : int32_t { chord = 0, centripetal = 1, uniform = 2 };

struct LoftOptions {
    LoftParameters parameters = LoftParameters::chord;
    bool closed = false;  // periodic across the sections: the last runs smoothly into the first
};

struct PanelVariables;

// The options the panel's "loft parameters" and "closed loft" controls hold; an out-of-range
// parameter choice reads as chord length.
LoftOptions loftOptionsOf(const PanelVariables& panel);

// "chord", "centripetal", "uniform".
const char* loftParametersName(LoftParameters parameters);

// The choice named by text (one of the names above); false for any other text.
bool parseLoftParameters(const char* text, LoftParameters& parameters);
