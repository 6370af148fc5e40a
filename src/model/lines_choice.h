// The stations, waterlines and buttocks a user asks for: a list of values or a count spread
// evenly over the surface's extent.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/editor_parts.h"
#include "model/mirror_plane.h"

// A list "v1,v2,..." of finite numbers or a count N. False with the reason in error otherwise.
struct LinesChoice {
    std::vector<double> values;
    int count = 0;  // evenly spaced over the extent when values is empty
};
bool parseLinesChoice(const char* text, LinesChoice& choice, std::string& error);

// The values a count stands for on [low, high]: stations (axis 0) from end to end, both ends
// included; waterlines and buttocks strictly inside, so none only grazes the surface.
std::vector<double> evenlySpaced(int axis, int count, double low, double high);

// Values of a choice for an axis of the surface's box; a mirror plane z = C limits buttocks to
// the side z > C when the surface reaches it.
std::vector<double> choiceValues(const LinesChoice& choice, int axis, const double box[6],
                                 const std::optional<MirrorPlane>& mirror);


// The values the "lines" group's boxes ask of the surface shown, and the mirror plane while
// "mirror" is on. An empty box asks for none of its family. False, with the box named in
// error, when a box holds neither a list nor a count, or the surface cannot be evaluated.
struct LinesValues {
    std::vector<double> stations, waterlines, buttocks;
    std::optional<MirrorPlane> mirror;
};
bool linesValuesOfPanel(const SurfaceModel& shown, const PanelVariables& panel, LinesValues& values,
                        std::string& error);
