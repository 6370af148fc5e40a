// Offset tables: the half-breadths of a hull at each station and waterline, written as CSV, and
// read back (with a plain list of station points) into sections a surface is skinned through.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/loft_options.h"
#include "model/surface_model.h"

// Rows are stations, columns waterlines. A half-breadth is z - centre on the side z > centre
// where the station meets the waterline (the outermost such point); empty where it does not.
// keel and sheer are the station's lowest and highest y, empty for a station that misses.
struct OffsetTable {
    double centre = 0.0;
    std::vector<double> stations, waterlines;
    std::vector<std::vector<std::optional<double>>> halfBreadths;  // [station][waterline]
    std::vector<std::optional<double>> keel, sheer;
};

// Measures the table on the surface with its mirror image across z = centre, so a half model
// on either side of the plane gives its half-breadths. False with the reason in error.
bool makeOffsetTable(const SurfaceModel& surface, const std::vector<double>& stations,
                     const std::vector<double>& waterlines, double centre, double tolerance,
                     OffsetTable& table, std::string& error);

// The CSV text: "x", the waterlines' y, "keel", "sheer"; then one row per station. Numbers with
// nine significant digits, so single-precision values come back as they were.
std::string formatOffsetTable(const OffsetTable& table);

// Sections read from an offset file: points per station, in order along the station.
struct OffsetSections {
    std::vector<std::vector<double>> stations;  // x, y, z triples
    bool table = false;                         // read from the table layout
    int skipped = 0;  // table rows of fewer than two points (stations past the hull's ends)
};

// Reads either layout: the table above (first cell "x"; a station's points are its keel on the
// centre plane when it lies below the first waterline it meets, then its waterlines' half-
// breadths upwards), or "x,y,z" lines with a blank line between stations. Refuses, with the
// row and column of the first bad cell in error, text where a number belongs, a gap between
// waterlines a station meets, stations out of order, a negative half-breadth, a plain station
// of fewer than two points, and files over 64 MB or of more than 100000 points. Table rows of
// fewer than two points are passed over and counted.
bool parseOffsets(const std::string& text, double centre, OffsetSections& sections,
                  std::string& error);

// A surface through every point of the sections: each section interpolated along its points
// with knots shared by all sections (degree up to degreeU), then skinned across the sections
// with the loft options (degree up to degreeV). Sections of different point counts are first
// resampled along their chords to the largest count. False with the reason.
bool surfaceFromSections(const OffsetSections& sections, int degreeU, int degreeV,
                         const LoftOptions& options, SurfaceModel& surface, std::string& error);
