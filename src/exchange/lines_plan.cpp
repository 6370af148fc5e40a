// The lines plan: choosing the cuts, laying out the three views and writing DXF R12.
#include "exchange/lines_plan.h"

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::string numberText(double value) {
    char text[40];
    snprintf(text, sizeof text, "%.6g", value + 0.0);
    return text;
}

// The point of the drawing a model point lands on in each view, with the view's offset.
struct View {
    int across, up;  // model axes drawn to the right and upwards
    double dx, dy;   // shift of the view on the sheet
};

void grow(LinesDrawing& drawing, double x, double y, bool& any) {
    if (!any) {
        drawing.min[0] = drawing.max[0] = x;
        drawing.min[1] = drawing.max[1] = y;
        any = true;
        return;
    }
    drawing.min[0] = std::min(drawing.min[0], x);
    drawing.min[1] = std::min(drawing.min[1], y);
    drawing.max[0] = std::max(drawing.max[0], x);
    drawing.max[1] = std::max(drawing.max[1], y);
}

double coordinate(const CutPoint& p, int axis) {
    return axis == 0 ? p.x : axis == 1 ? p.y : p.z;
}

// DXF group codes and values, one per line.
void group(std::string& out, int code, const std::string& value) {
    char line[24];
    snprintf(line, sizeof line, "%3d\n", code);
    out += line;
    out += value;
    out += '\n';
}

// The shortest text that reads back as the same double.
void group(std::string& out, int code, double value) {
    char text[40];
    const std::to_chars_result written = std::to_chars(text, text + sizeof text, value + 0.0);
    group(out, code, std::string(text, written.ptr));
}

// DXF text is one line of printable ASCII.
std::string dxfText(const std::string& text) {
    std::string out;
    for (char c : text) out += (c >= 32 && c < 127) ? c : '?';
    return out;
}

}  // namespace

const char* lineFamilyLayer(LineFamily family) {
    switch (family) {
        case LineFamily::stations:
            return "STATIONS";
        case LineFamily::waterlines:
            return "WATERLINES";
        case LineFamily::buttocks:
            return "BUTTOCKS";
        case LineFamily::diagonals:
            return "DIAGONALS";
    }
    return "LINES";
}

bool makeLinesPlan(const SurfaceModel& surface, const LinesRequest& request, LinesPlan& plan,
                   std::string& error) {
    std::vector<CutPlane> planes;
    LinesPlan made;
    auto add = [&](LineFamily family, const CutPlane& plane, const std::string& label) {
        planes.push_back(plane);
        PlanLine line;
        line.family = family;
        line.label = label;
        made.lines.push_back(line);
    };
    for (double x : request.stations) add(LineFamily::stations, axisPlane(0, x), "x=" + numberText(x));
    for (double y : request.waterlines) {
        add(LineFamily::waterlines, axisPlane(1, y), "y=" + numberText(y));
    }
    for (double z : request.buttocks) add(LineFamily::buttocks, axisPlane(2, z), "z=" + numberText(z));
    for (size_t k = 0; k < request.diagonals.size(); ++k) {
        add(LineFamily::diagonals, request.diagonals[k], "D" + std::to_string(k + 1));
    }
    if (planes.empty()) {
        error = "no stations, waterlines, buttocks or diagonals asked for";
        return false;
    }
    std::vector<PlaneCut> cuts;
    const MirrorPlane* mirror = request.mirror ? &*request.mirror : nullptr;
    if (!cutSurface(surface, planes, request.tolerance, mirror, cuts, error)) return false;
    bool any = false;
    for (size_t k = 0; k < cuts.size(); ++k) {
        made.lines[k].cut = std::move(cuts[k]);
        double box[6];
        if (!cutBox(made.lines[k].cut, box)) continue;
        for (int c = 0; c < 3; ++c) {
            made.box[c] = any ? std::min(made.box[c], box[c]) : box[c];
            made.box[c + 3] = any ? std::max(made.box[c + 3], box[c + 3]) : box[c + 3];
        }
        any = true;
    }
    if (!any) {
        error = "none of the lines meets the surface";
        return false;
    }
    plan = std::move(made);
    return true;
}

LinesDrawing layOutLinesPlan(const LinesPlan& plan) {
    LinesDrawing drawing;
    const double* b = plan.box;
    const double extent = std::max({b[3] - b[0], b[4] - b[1], b[5] - b[2], 1e-9});
    const double h = 0.015 * extent;
    const double gap = 0.12 * extent + 6 * h;
    drawing.textHeight = h;
    // Profile where the model stands; the plan view below it, its top a gap under the profile;
    // the body plan right of the profile, a gap past its end.
    const View views[3] = {
        {0, 1, 0.0, 0.0},
        {0, 2, 0.0, (b[1] - gap) - b[5]},
        {2, 1, (b[3] + gap) - b[2], 0.0},
    };
    const char* titles[3] = {"PROFILE", "PLAN", "BODY PLAN"};
    // The view each family is labelled in.
    auto labelView = [](LineFamily family) {
        switch (family) {
            case LineFamily::stations:
            case LineFamily::waterlines:
                return 0;
            case LineFamily::buttocks:
                return 1;
            case LineFamily::diagonals:
                return 2;
        }
        return 0;
    };
    bool any = false;
    for (int v = 0; v < 3; ++v) {
        const View& view = views[v];
        for (const PlanLine& line : plan.lines) {
            // Extremes of the line in this view: lowest, highest and rightmost points.
            double low[2] = {0, 0}, high[2] = {0, 0}, right[2] = {0, 0};
            bool seen = false;
            for (const CutCurve& curve : line.cut.curves) {
                DrawnCurve drawn;
                drawn.family = line.family;
                drawn.closed = curve.closed;
                for (const CutPoint& p : curve.points) {
                    const double x = coordinate(p, view.across) + view.dx;
                    const double y = coordinate(p, view.up) + view.dy;
                    drawn.points.push_back(x);
                    drawn.points.push_back(y);
                    grow(drawing, x, y, any);
                    if (!seen || y < low[1]) low[0] = x, low[1] = y;
                    if (!seen || y > high[1]) high[0] = x, high[1] = y;
                    if (!seen || x > right[0]) right[0] = x, right[1] = y;
                    seen = true;
                }
                drawing.curves.push_back(std::move(drawn));
            }
            if (!seen || labelView(line.family) != v) continue;
            DrawnLabel label;
            label.family = line.family;
            label.text = line.label;
            if (line.family == LineFamily::stations) {
                label.rotated = true;
                label.rightAligned = true;
                label.x = low[0] + 0.35 * h;
                label.y = low[1] - 0.5 * h;
                grow(drawing, label.x - h, label.y - 0.6 * h * label.text.size(), any);
            } else if (line.family == LineFamily::diagonals) {
                label.x = high[0] + 0.3 * h;
                label.y = high[1] + 0.3 * h;
                grow(drawing, label.x + 0.6 * h * label.text.size(), label.y + h, any);
            } else {
                label.x = right[0] + 0.5 * h;
                label.y = right[1] - 0.35 * h;
                grow(drawing, label.x + 0.6 * h * label.text.size(), label.y + h, any);
            }
            drawing.labels.push_back(label);
        }
    }
    // Titles under each view, below the station labels of the profile.
    const double labelDepth = 0.6 * h * 8 + 2 * h;
    for (int v = 0; v < 3; ++v) {
        const View& view = views[v];
        DrawnLabel title;
        title.x = (view.across == 0 ? b[0] : b[2]) + view.dx;
        title.y = (view.up == 1 ? b[1] : b[2]) + view.dy - (v == 0 ? labelDepth : 2.5 * h);
        title.text = titles[v];
        drawing.titles.push_back(title);
        grow(drawing, title.x, title.y, any);
    }
    return drawing;
}

std::string formatLinesDxf(const LinesDrawing& drawing) {
    std::string out;
    group(out, 0, "SECTION");
    group(out, 2, "HEADER");
    group(out, 9, "$ACADVER");
    group(out, 1, "AC1009");
    group(out, 9, "$EXTMIN");
    group(out, 10, drawing.min[0]);
    group(out, 20, drawing.min[1]);
    group(out, 9, "$EXTMAX");
    group(out, 10, drawing.max[0]);
    group(out, 20, drawing.max[1]);
    group(out, 0, "ENDSEC");

    const LineFamily families[4] = {LineFamily::stations, LineFamily::waterlines,
                                    LineFamily::buttocks, LineFamily::diagonals};
    const int colours[4] = {5, 3, 1, 6};  // blue, green, red, magenta
    group(out, 0, "SECTION");
    group(out, 2, "TABLES");
    group(out, 0, "TABLE");
    group(out, 2, "LTYPE");
    group(out, 70, "1");
    group(out, 0, "LTYPE");
    group(out, 2, "CONTINUOUS");
    group(out, 70, "0");
    group(out, 3, "Solid line");
    group(out, 72, "65");
    group(out, 73, "0");
    group(out, 40, "0.0");
    group(out, 0, "ENDTAB");
    group(out, 0, "TABLE");
    group(out, 2, "LAYER");
    group(out, 70, "5");
    for (const char* name : {"0", "STATIONS", "WATERLINES", "BUTTOCKS", "DIAGONALS"}) {
        group(out, 0, "LAYER");
        group(out, 2, name);
        group(out, 70, "0");
        int colour = 7;
        for (int f = 0; f < 4; ++f) {
            if (strcmp(lineFamilyLayer(families[f]), name) == 0) colour = colours[f];
        }
        group(out, 62, std::to_string(colour));
        group(out, 6, "CONTINUOUS");
    }
    group(out, 0, "ENDTAB");
    group(out, 0, "ENDSEC");

    group(out, 0, "SECTION");
    group(out, 2, "ENTITIES");
    for (const DrawnCurve& curve : drawing.curves) {
        const std::string layer = lineFamilyLayer(curve.family);
        group(out, 0, "POLYLINE");
        group(out, 8, layer);
        group(out, 66, "1");
        group(out, 10, 0.0);
        group(out, 20, 0.0);
        group(out, 30, 0.0);
        group(out, 70, curve.closed ? "1" : "0");
        for (size_t k = 0; k + 1 < curve.points.size(); k += 2) {
            group(out, 0, "VERTEX");
            group(out, 8, layer);
            group(out, 10, curve.points[k]);
            group(out, 20, curve.points[k + 1]);
            group(out, 30, 0.0);
        }
        group(out, 0, "SEQEND");
        group(out, 8, layer);
    }
    auto text = [&](const DrawnLabel& label, const char* layer, double height) {
        group(out, 0, "TEXT");
        group(out, 8, layer);
        group(out, 10, label.x);
        group(out, 20, label.y);
        group(out, 30, 0.0);
        group(out, 40, height);
        group(out, 1, dxfText(label.text));
        if (label.rotated) group(out, 50, 90.0);
        if (label.rightAligned) {
            // Right-aligned text is placed by its alignment point.
            group(out, 72, "2");
            group(out, 11, label.x);
            group(out, 21, label.y);
            group(out, 31, 0.0);
        }
    };
    for (const DrawnLabel& label : drawing.labels) {
        text(label, lineFamilyLayer(label.family), drawing.textHeight);
    }
    for (const DrawnLabel& title : drawing.titles) text(title, "0", 1.5 * drawing.textHeight);
    group(out, 0, "ENDSEC");
    group(out, 0, "EOF");
    return out;
}
