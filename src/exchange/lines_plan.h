// The lines plan of a surface: its stations (x = c), waterlines (y = c), buttocks (z = c) and
// diagonals, laid out in the three views of a lines plan (profile, plan, body plan), and
// written as DXF R12, or through cairo as SVG or PDF at a true scale, or as station templates
// tiled over A4 pages.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/lines_choice.h"
#include "model/mirror_plane.h"
#include "model/plane_cuts.h"
#include "model/surface_model.h"

enum class LineFamily { stations = 0, waterlines = 1, buttocks = 2, diagonals = 3 };

// "STATIONS", "WATERLINES", "BUTTOCKS", "DIAGONALS": the layer names of the drawing.
const char* lineFamilyLayer(LineFamily family);

// Where the lines are cut: values of x, y and z, and diagonal planes.
struct LinesRequest {
    std::vector<double> stations, waterlines, buttocks;
    std::vector<CutPlane> diagonals;
    std::optional<MirrorPlane> mirror;
    double tolerance = 0.0;  // 0: 1/10000 of the control box's diagonal
};

// One cut of the plan with its family and label.
struct PlanLine {
    LineFamily family = LineFamily::stations;
    std::string label;  // "x=0.25", "y=-0.1", "z=0.2", "D1"
    PlaneCut cut;
};

struct LinesPlan {
    std::vector<PlanLine> lines;
    double box[6] = {0, 0, 0, 0, 0, 0};  // around every curve
};

// Cuts the surface as asked. False, with the reason in error, when the surface cannot be cut,
// nothing is asked for, or no line meets the surface.
bool makeLinesPlan(const SurfaceModel& surface, const LinesRequest& request, LinesPlan& plan,
                   std::string& error);

// The plan drawn flat, in model units: the profile (x right, y up) where the model stands, the
// plan view (x right, z up) below it and the body plan (z right, y up) to its right. Each curve
// is labelled once, where its family is easiest to read: stations under their traces in the
// profile, waterlines at the right end of theirs in the profile, buttocks at the right end of
// theirs in the plan view, diagonals at their highest point in the body plan.
struct DrawnCurve {
    LineFamily family = LineFamily::stations;
    std::vector<double> points;  // x, y pairs
    bool closed = false;
};

// A label's anchor is the start of its baseline, or its end when rightAligned; rotated labels
// read upwards (90 degrees counter-clockwise).
struct DrawnLabel {
    LineFamily family = LineFamily::stations;
    double x = 0.0, y = 0.0;
    std::string text;
    bool rotated = false;
    bool rightAligned = false;
};

struct LinesDrawing {
    std::vector<DrawnCurve> curves;
    std::vector<DrawnLabel> labels;
    std::vector<DrawnLabel> titles;  // "PROFILE", "PLAN", "BODY PLAN", family-less
    double min[2] = {0, 0}, max[2] = {0, 0};
    double textHeight = 0.0;
};

LinesDrawing layOutLinesPlan(const LinesPlan& plan);

// The drawing as DXF R12 text: one layer per family, polylines and text, in model units.
std::string formatLinesDxf(const LinesDrawing& drawing);
