// SVG and PDF lines plans and station templates, drawn with cairo in millimetres of paper.
#include "exchange/lines_print.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "io/surface_file.h"
#include "model/finite_values.h"

namespace {

constexpr double kPointsPerMillimetre = 72.0 / 25.4;
constexpr double kA4Short = 210.0, kA4Long = 297.0;

cairo_status_t appendToString(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

// A cairo document written into memory, drawn in millimetres with y down.
class Document {
public:
    Document(PrintFormat format, double width, double height) {
        if (format == PrintFormat::pdf) {
            surface_ = cairo_pdf_surface_create_for_stream(appendToString, &bytes_,
                                                           width * kPointsPerMillimetre,
                                                           height * kPointsPerMillimetre);
        } else {
            // The SVG's width and height carry "mm", its user unit one millimetre.
            surface_ = cairo_svg_surface_create_for_stream(appendToString, &bytes_, width, height);
            cairo_svg_surface_set_document_unit(surface_, CAIRO_SVG_UNIT_MM);
        }
        cr_ = cairo_create(surface_);
        if (format == PrintFormat::pdf) cairo_scale(cr_, kPointsPerMillimetre, kPointsPerMillimetre);
        cairo_select_font_face(cr_, "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                               CAIRO_FONT_WEIGHT_NORMAL);
    }
    ~Document() {
        if (cr_ != nullptr) cairo_destroy(cr_);
        if (surface_ != nullptr) cairo_surface_destroy(surface_);
    }
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    cairo_t* cr() { return cr_; }

    // Ends the page; the next one (PDF) has the given size in millimetres.
    void nextPage(double width, double height) {
        cairo_show_page(cr_);
        cairo_pdf_surface_set_size(surface_, width * kPointsPerMillimetre,
                                   height * kPointsPerMillimetre);
    }

    // Finishes the document and returns its bytes; false with cairo's reason.
    bool finish(std::string& out, std::string& error) {
        cairo_destroy(cr_);
        cr_ = nullptr;
        cairo_surface_finish(surface_);
        const cairo_status_t status = cairo_surface_status(surface_);
        if (status != CAIRO_STATUS_SUCCESS) {
            error = std::string("cairo cannot draw the file: ") + cairo_status_to_string(status);
            return false;
        }
        out = std::move(bytes_);
        return true;
    }

private:
    std::string bytes_;
    cairo_surface_t* surface_ = nullptr;
    cairo_t* cr_ = nullptr;
};

void setColour(cairo_t* cr, LineFamily family) {
    switch (family) {
        case LineFamily::stations:
            cairo_set_source_rgb(cr, 0.0, 0.2, 0.8);
            break;
        case LineFamily::waterlines:
            cairo_set_source_rgb(cr, 0.0, 0.55, 0.15);
            break;
        case LineFamily::buttocks:
            cairo_set_source_rgb(cr, 0.8, 0.1, 0.1);
            break;
        case LineFamily::diagonals:
            cairo_set_source_rgb(cr, 0.6, 0.1, 0.6);
            break;
    }
}

void text(cairo_t* cr, double x, double y, double height, const std::string& words,
          bool rotated = false, bool rightAligned = false) {
    cairo_save(cr);
    cairo_set_font_size(cr, height);
    cairo_translate(cr, x, y);
    if (rotated) cairo_rotate(cr, -M_PI / 2);
    double start = 0.0;
    if (rightAligned) {
        cairo_text_extents_t extents;
        cairo_text_extents(cr, words.c_str(), &extents);
        start = -extents.x_advance;
    }
    cairo_move_to(cr, start, 0.0);
    cairo_show_text(cr, words.c_str());
    cairo_new_path(cr);
    cairo_restore(cr);
}

std::string numberText(double value) {
    char out[40];
    snprintf(out, sizeof out, "%.6g", value + 0.0);
    return out;
}

// Scales a drawing may be printed at, 1:N.
const int kStandardScales[] = {1,    2,    5,     10,    20,    25,    50,     100,   200,
                               250,  500,  1000,  2000,  2500,  5000,  10000,  20000, 25000,
                               50000, 100000, 200000, 500000, 1000000};

// A round length (1, 2 or 5 times a power of ten) no longer than most.
double roundLength(double most) {
    const double decade = std::pow(10.0, std::floor(std::log10(most)));
    for (double step : {5.0, 2.0, 1.0}) {
        if (step * decade <= most) return step * decade;
    }
    return decade;
}

// Scale bar and caption under the drawing, left margin, at baseline y (mm).
void scaleBar(cairo_t* cr, double x, double y, double millimetresPerUnit, const PrintScale& scale,
              int denominator) {
    const double length = roundLength(60.0 / millimetresPerUnit);
    const double drawn = length * millimetresPerUnit;
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 0.2);
    for (int k = 0; k < 4; ++k) {
        cairo_rectangle(cr, x + drawn * k / 4, y - 2.0, drawn / 4, 2.0);
        if (k % 2 == 0) cairo_fill_preserve(cr);
        cairo_stroke(cr);
    }
    text(cr, x, y + 4.0, 3.0, "0");
    text(cr, x + drawn - 3.0, y + 4.0, 3.0, numberText(length) + " " + scale.unitName);
    text(cr, x + drawn + 10.0, y, 3.5,
         "scale 1:" + std::to_string(denominator) + ", model units: " + scale.unitName);
}

}  // namespace

bool parsePrintUnit(const char* text, PrintScale& scale) {
    const struct {
        const char* name;
        double millimetres;
    } units[] = {{"mm", 1.0}, {"cm", 10.0}, {"m", 1000.0}, {"in", 25.4}};
    for (const auto& unit : units) {
        if (strcmp(text, unit.name) == 0) {
            scale.unitMillimetres = unit.millimetres;
            scale.unitName = unit.name;
            return true;
        }
    }
    return false;
}

bool parsePrintScale(const char* text, int& denominator) {
    if (strncmp(text, "1:", 2) != 0 || strspn(text + 2, "0123456789") != strlen(text + 2) ||
        strlen(text + 2) == 0 || strlen(text + 2) > 7) {
        return false;
    }
    const long value = strtol(text + 2, nullptr, 10);
    if (value < 1 || value > 1000000) return false;
    denominator = static_cast<int>(value);
    return true;
}

bool writeLinesPrint(const std::string& path, PrintFormat format, const LinesDrawing& drawing,
                     const PrintScale& scale, std::string& message) {
    const double margin = 15.0, footer = 25.0;
    const double width = (drawing.max[0] - drawing.min[0]) * scale.unitMillimetres;
    const double height = (drawing.max[1] - drawing.min[1]) * scale.unitMillimetres;
    if (!finite(width, height) || !(scale.unitMillimetres > 0.0)) {
        message = "the drawing has no finite size";
        return false;
    }
    int denominator = scale.denominator;
    if (denominator == 0) {
        const double roomX = kA4Long - 2 * margin, roomY = kA4Short - margin - footer;
        denominator = kStandardScales[sizeof kStandardScales / sizeof kStandardScales[0] - 1];
        for (int candidate : kStandardScales) {
            if (width / candidate <= roomX && height / candidate <= roomY) {
                denominator = candidate;
                break;
            }
        }
    }
    const double k = scale.unitMillimetres / denominator;  // paper mm per model unit
    const double pageWidth = std::max(kA4Long, width / denominator + 2 * margin);
    const double pageHeight = std::max(kA4Short, height / denominator + margin + footer);
    if (pageWidth > 20000.0 || pageHeight > 20000.0) {
        message = "at 1:" + std::to_string(denominator) +
                  " the drawing would need a page over 20 m long: give a smaller scale";
        return false;
    }
    Document document(format, pageWidth, pageHeight);
    cairo_t* cr = document.cr();
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    auto px = [&](double x) { return margin + (x - drawing.min[0]) * k; };
    auto py = [&](double y) { return margin + (drawing.max[1] - y) * k; };
    cairo_set_line_width(cr, 0.25);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    for (const DrawnCurve& curve : drawing.curves) {
        if (curve.points.size() < 4) continue;
        setColour(cr, curve.family);
        cairo_move_to(cr, px(curve.points[0]), py(curve.points[1]));
        for (size_t i = 2; i + 1 < curve.points.size(); i += 2) {
            cairo_line_to(cr, px(curve.points[i]), py(curve.points[i + 1]));
        }
        if (curve.closed) cairo_close_path(cr);
        cairo_stroke(cr);
    }
    for (const DrawnLabel& label : drawing.labels) {
        setColour(cr, label.family);
        // The labels keep the drawing's proportions, within what prints legibly.
        const double height = std::clamp(drawing.textHeight * k, 1.8, 3.5);
        text(cr, px(label.x), py(label.y), height, label.text, label.rotated, label.rightAligned);
    }
    cairo_set_source_rgb(cr, 0, 0, 0);
    for (const DrawnLabel& title : drawing.titles) text(cr, px(title.x), py(title.y), 3.5, title.text);
    // The scale bar just under the drawing.
    scaleBar(cr, margin, std::min(pageHeight - 10.0, margin + height / denominator + 12.0), k, scale,
             denominator);

    std::string bytes, error;
    if (!document.finish(bytes, error) || !writeFileReplacing(path.c_str(), bytes, error)) {
        message = "cannot write " + path + ": " + error;
        return false;
    }
    message = "wrote the lines plan " + path + " at 1:" + std::to_string(denominator) +
              " (one model unit = 1 " + scale.unitName + ")";
    return true;
}

bool writeStationTemplates(const std::string& path, const LinesPlan& plan, const PrintScale& scale,
                           double centre, std::string& message) {
    const int denominator = scale.denominator == 0 ? 1 : scale.denominator;
    const double k = scale.unitMillimetres / denominator;
    const double margin = 10.0, overlap = 15.0, pad = 10.0;
    const double printW = kA4Short - 2 * margin, printH = kA4Long - 2 * margin - 10.0;
    const double stepX = printW - overlap, stepY = printH - overlap;

    struct Station {
        const PlanLine* line;
        double box[6];
        int columns, rows, firstPage;
    };
    std::vector<Station> stations;
    int pages = 1;
    for (const PlanLine& line : plan.lines) {
        if (line.family != LineFamily::stations) continue;
        Station s{&line, {}, 1, 1, 0};
        if (!cutBox(line.cut, s.box)) continue;
        const double w = (s.box[5] - s.box[2]) * k + 2 * pad;
        const double h = (s.box[4] - s.box[1]) * k + 2 * pad;
        s.columns = std::max(1, static_cast<int>(std::ceil((w - overlap) / stepX)));
        s.rows = std::max(1, static_cast<int>(std::ceil((h - overlap) / stepY)));
        if (static_cast<long>(s.columns) * s.rows > 400 || !finite(w, h)) {
            message = "station " + line.label + " would take more than 400 pages at 1:" +
                      std::to_string(denominator) + ": give a smaller scale or another unit";
            return false;
        }
        s.firstPage = pages + 1;
        pages += s.columns * s.rows;
        stations.push_back(s);
    }
    if (stations.empty()) {
        message = "no station meets the surface: no templates to draw";
        return false;
    }
    if (pages > 2000) {
        message = "the templates would take more than 2000 pages: give a smaller scale";
        return false;
    }

    Document document(PrintFormat::pdf, kA4Short, kA4Long);
    cairo_t* cr = document.cr();
    // The cover: what the pages hold and the square that checks the printer's scale.
    cairo_set_source_rgb(cr, 0, 0, 0);
    text(cr, margin, 20.0, 6.0, "Station templates, scale 1:" + std::to_string(denominator));
    text(cr, margin, 28.0, 3.5,
         "Print at 100% (no fitting to the page). The square below must measure 100 mm.");
    cairo_set_line_width(cr, 0.3);
    cairo_rectangle(cr, 55.0, 40.0, 100.0, 100.0);
    cairo_stroke(cr);
    text(cr, 57.0, 46.0, 3.5, "100 mm check square");
    double y = 155.0;
    for (const Station& s : stations) {
        text(cr, margin, y, 3.5,
             "station " + s.line->label + ": pages " + std::to_string(s.firstPage) + " to " +
                 std::to_string(s.firstPage + s.columns * s.rows - 1) + " (" +
                 std::to_string(s.rows) + " rows of " + std::to_string(s.columns) + ")");
        y += 5.0;
        if (y > kA4Long - margin) break;
    }

    for (const Station& s : stations) {
        // Paper position of model (z, y): the station's box, padded, from the top left.
        const double left = s.box[2], top = s.box[4];
        auto px = [&](double z) { return pad + (z - left) * k; };
        auto py = [&](double yy) { return pad + (top - yy) * k; };
        const double totalW = (s.box[5] - s.box[2]) * k + 2 * pad;
        const double totalH = (s.box[4] - s.box[1]) * k + 2 * pad;
        for (int r = 0; r < s.rows; ++r) {
            for (int c = 0; c < s.columns; ++c) {
                document.nextPage(kA4Short, kA4Long);
                cairo_save(cr);
                cairo_set_source_rgb(cr, 0, 0, 0);
                text(cr, margin, margin + 4.0, 4.5,
                     "station " + s.line->label + "   page " + std::to_string(r + 1) + "-" +
                         std::to_string(c + 1) + " of " + std::to_string(s.rows) + " x " +
                         std::to_string(s.columns) + "   1:" + std::to_string(denominator));
                const double ox = margin, oy = margin + 10.0;  // the printed area's corner
                cairo_rectangle(cr, ox, oy, printW, printH);
                cairo_clip(cr);
                cairo_translate(cr, ox - c * stepX, oy - r * stepY);
                // The centre line and the station itself.
                cairo_set_line_width(cr, 0.2);
                const double dash[2] = {4.0, 2.0};
                cairo_set_dash(cr, dash, 2, 0.0);
                cairo_move_to(cr, px(centre), 0.0);
                cairo_line_to(cr, px(centre), totalH);
                cairo_stroke(cr);
                cairo_set_dash(cr, nullptr, 0, 0.0);
                cairo_set_line_width(cr, 0.35);
                for (const CutCurve& curve : s.line->cut.curves) {
                    if (curve.points.size() < 2) continue;
                    cairo_move_to(cr, px(curve.points[0].z), py(curve.points[0].y));
                    for (const CutPoint& p : curve.points) cairo_line_to(cr, px(p.z), py(p.y));
                    if (curve.closed) cairo_close_path(cr);
                    cairo_stroke(cr);
                }
                // Overlap marks: a cross in the middle of every strip two pages share, at the
                // same paper place on both, and the strip's edges dotted.
                cairo_set_line_width(cr, 0.2);
                const double dots[2] = {0.5, 1.5};
                for (int m = 1; m < s.columns; ++m) {
                    const double x = m * stepX + overlap / 2;
                    for (double yy : {r * stepY + 30.0, r * stepY + printH / 2, r * stepY + printH - 30.0}) {
                        cairo_move_to(cr, x - 4, yy);
                        cairo_line_to(cr, x + 4, yy);
                        cairo_move_to(cr, x, yy - 4);
                        cairo_line_to(cr, x, yy + 4);
                    }
                    cairo_stroke(cr);
                    cairo_set_dash(cr, dots, 2, 0.0);
                    for (double edge : {m * stepX, m * stepX + overlap}) {
                        cairo_move_to(cr, edge, 0.0);
                        cairo_line_to(cr, edge, std::max(totalH, (r + 1) * stepY + overlap));
                    }
                    cairo_stroke(cr);
                    cairo_set_dash(cr, nullptr, 0, 0.0);
                }
                for (int m = 1; m < s.rows; ++m) {
                    const double yy = m * stepY + overlap / 2;
                    for (double x : {c * stepX + 30.0, c * stepX + printW / 2, c * stepX + printW - 30.0}) {
                        cairo_move_to(cr, x - 4, yy);
                        cairo_line_to(cr, x + 4, yy);
                        cairo_move_to(cr, x, yy - 4);
                        cairo_line_to(cr, x, yy + 4);
                    }
                    cairo_stroke(cr);
                    cairo_set_dash(cr, dots, 2, 0.0);
                    for (double edge : {m * stepY, m * stepY + overlap}) {
                        cairo_move_to(cr, 0.0, edge);
                        cairo_line_to(cr, std::max(totalW, (c + 1) * stepX + overlap), edge);
                    }
                    cairo_stroke(cr);
                    cairo_set_dash(cr, nullptr, 0, 0.0);
                }
                cairo_restore(cr);
            }
        }
    }
    std::string bytes, error;
    if (!document.finish(bytes, error) || !writeFileReplacing(path.c_str(), bytes, error)) {
        message = "cannot write " + path + ": " + error;
        return false;
    }
    message = "wrote " + std::to_string(stations.size()) + " station templates on " +
              std::to_string(pages) + " A4 pages to " + path + " at 1:" +
              std::to_string(denominator);
    return true;
}
