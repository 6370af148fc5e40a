// Lines plans and station templates on paper, through cairo: SVG and PDF at a true scale with a
// scale bar, and PDF templates of each station tiled over A4 pages.
#pragma once

#include <string>

#include "exchange/lines_plan.h"

// What one model unit is, and the drawing's scale 1:denominator (0: the largest standard scale
// that fits an A4 landscape page; the page grows when a given scale does not fit).
struct PrintScale {
    double unitMillimetres = 1000.0;
    std::string unitName = "m";
    int denominator = 0;
};

// "mm", "cm", "m" or "in" into the scale's unit; false for any other text.
bool parsePrintUnit(const char* text, PrintScale& scale);

// "1:N" with a whole N from 1 to 1000000; false otherwise.
bool parsePrintScale(const char* text, int& denominator);

enum class PrintFormat { svg, pdf };

// Writes the drawing as SVG or PDF, replacing path only once the whole file exists. message
// says the scale used, or why nothing was written.
bool writeLinesPrint(const std::string& path, PrintFormat format, const LinesDrawing& drawing,
                     const PrintScale& scale, std::string& message);

// Writes a PDF of the plan's stations, each alone at 1:denominator (1:1 unless given), across
// A4 portrait pages with overlap marks where pages meet, the station's name on each page, and a
// cover page with a 100 mm check square and the list of stations. The centre line z = centre is
// drawn on each.
bool writeStationTemplates(const std::string& path, const LinesPlan& plan, const PrintScale& scale,
                           double centre, std::string& message);
