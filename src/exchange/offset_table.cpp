// Offset tables measured on the surface's plane cuts, their CSV text, and the surface skinned
// back through an offset file's stations.
#include "exchange/offset_table.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "io/editor_file_io.h"
#include "model/derived_nets.h"
#include "model/knots.h"
#include "model/mirror_plane.h"
#include "model/plane_cuts.h"
#include "model/skinning.h"

namespace {

std::string number(double value) {
    char text[40];
    snprintf(text, sizeof text, "%.9g", value + 0.0);
    return text;
}

std::string trim(const std::string& text) {
    size_t first = 0, last = text.size();
    while (first < last && (text[first] == ' ' || text[first] == '\t')) ++first;
    while (last > first && (text[last - 1] == ' ' || text[last - 1] == '\t')) --last;
    return text.substr(first, last - first);
}

// The whole cell as a finite number.
bool cellNumber(const std::string& cell, double& value) {
    if (cell.empty()) return false;
    char* stop = nullptr;
    value = strtod(cell.c_str(), &stop);
    return *stop == '\0' && std::isfinite(value);
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) {
        if (line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> splitCells(const std::string& line) {
    std::vector<std::string> cells;
    size_t start = 0;
    while (true) {
        const size_t comma = line.find(',', start);
        cells.push_back(trim(line.substr(start, comma == std::string::npos ? comma : comma - start)));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return cells;
}

std::string at(size_t row, size_t column) {
    return "row " + std::to_string(row) + ", column " + std::to_string(column);
}

std::string quoted(const std::string& cell) {
    std::string out;
    for (char c : cell.substr(0, 40)) out += (c >= 32 && c < 127) ? c : '?';
    return "\"" + out + (cell.size() > 40 ? "...\"" : "\"");
}

bool blank(const std::string& line) {
    return trim(line).empty();
}

constexpr size_t kMostBytes = 64u << 20;
constexpr size_t kMostPoints = 100000;

bool parseTable(const std::vector<std::string>& lines, double centre, OffsetSections& out,
                std::string& error) {
    const std::vector<std::string> header = splitCells(lines[0]);
    std::vector<double> waterlines;
    size_t keelColumn = 0, sheerColumn = 0;  // 1-based; 0 when absent
    for (size_t c = 1; c < header.size(); ++c) {
        double y;
        std::string name = header[c];
        for (char& ch : name) ch = static_cast<char>(tolower(static_cast<unsigned char>(ch)));
        if (keelColumn == 0 && sheerColumn == 0 && cellNumber(header[c], y)) {
            if (!waterlines.empty() && !(y > waterlines.back())) {
                error = at(1, c + 1) + ": the waterlines must rise from left to right";
                return false;
            }
            waterlines.push_back(y);
        } else if (name == "keel" && keelColumn == 0 && sheerColumn == 0) {
            keelColumn = c + 1;
        } else if (name == "sheer" && sheerColumn == 0) {
            sheerColumn = c + 1;
        } else {
            error = at(1, c + 1) + ": " + quoted(header[c]) +
                    " is not a waterline height, \"keel\" or \"sheer\"";
            return false;
        }
    }
    if (waterlines.empty()) {
        error = "row 1: no waterline heights after \"x\"";
        return false;
    }
    size_t points = 0;
    bool haveStation = false;
    double lastX = 0.0;
    for (size_t r = 1; r < lines.size(); ++r) {
        if (blank(lines[r])) continue;
        const size_t row = r + 1;
        const std::vector<std::string> cells = splitCells(lines[r]);
        if (cells.size() > header.size()) {
            error = at(row, header.size() + 1) + ": more cells than the first row's " +
                    std::to_string(header.size());
            return false;
        }
        double x;
        if (!cellNumber(cells[0], x)) {
            error = at(row, 1) + ": " + quoted(cells[0]) + " is not a station's x";
            return false;
        }
        if (haveStation && !(x > lastX)) {
            error = at(row, 1) + ": station x = " + number(x) +
                    " is out of order (stations must follow each other by rising x)";
            return false;
        }
        haveStation = true;
        lastX = x;
        auto cellAt = [&](size_t column) {
            return column >= 1 && column <= cells.size() ? cells[column - 1] : std::string();
        };
        std::optional<double> keel;
        for (size_t column : {keelColumn, sheerColumn}) {
            if (column == 0 || cellAt(column).empty()) continue;
            double value;
            if (!cellNumber(cellAt(column), value)) {
                error = at(row, column) + ": " + quoted(cellAt(column)) + " is not a number";
                return false;
            }
            if (column == keelColumn) keel = value;
        }
        std::vector<double> station;
        int first = -1, last = -1;
        for (size_t w = 0; w < waterlines.size(); ++w) {
            const std::string cell = cellAt(w + 2);
            if (cell.empty()) continue;
            double half;
            if (!cellNumber(cell, half)) {
                error = at(row, w + 2) + ": " + quoted(cell) + " is not a half-breadth";
                return false;
            }
            if (half < 0.0) {
                error = at(row, w + 2) + ": a negative half-breadth " + number(half);
                return false;
            }
            if (last >= 0 && static_cast<int>(w) != last + 1) {
                error = at(row, static_cast<size_t>(last) + 3) +
                        ": a missing half-breadth between waterlines the station meets";
                return false;
            }
            if (first < 0) first = static_cast<int>(w);
            last = static_cast<int>(w);
            if (first == static_cast<int>(w) && keel && *keel < waterlines[w]) {
                station.insert(station.end(), {x, *keel, centre});
            }
            station.insert(station.end(), {x, waterlines[w], centre + half});
        }
        // A station that meets fewer than two waterlines (an end of the hull) has no curve to
        // give: it is passed over, as the table's empty rows are written.
        if (station.size() < 6) {
            ++out.skipped;
            continue;
        }
        points += station.size() / 3;
        if (points > kMostPoints) {
            error = at(row, 1) + ": more than 100000 points";
            return false;
        }
        out.stations.push_back(std::move(station));
    }
    if (out.stations.empty()) {
        error = "no station meets two waterlines or more";
        return false;
    }
    return true;
}

bool parsePlain(const std::vector<std::string>& lines, OffsetSections& out, std::string& error) {
    std::vector<double> station;
    size_t points = 0;
    auto close = [&]() {
        if (!station.empty()) out.stations.push_back(std::move(station));
        station.clear();
    };
    for (size_t r = 0; r < lines.size(); ++r) {
        if (blank(lines[r])) {
            close();
            continue;
        }
        // Numbers separated by commas, blanks or both.
        std::string line = lines[r];
        for (char& c : line) {
            if (c == '\t') c = ' ';
        }
        std::vector<std::string> cells;
        std::string cell;
        bool afterComma = false;
        for (size_t k = 0; k <= line.size(); ++k) {
            const char c = k < line.size() ? line[k] : '\0';
            if (c == ',' || c == ' ' || c == '\0') {
                if (!cell.empty() || (c == ',' && afterComma) || (c == '\0' && afterComma)) {
                    cells.push_back(cell);
                }
                cell.clear();
                if (c == ',') afterComma = true;
                if (c != ' ' && c != ',') afterComma = false;
            } else {
                cell += c;
                afterComma = false;
            }
        }
        if (cells.size() != 3) {
            error = at(r + 1, std::min<size_t>(cells.size() + 1, 4)) +
                    ": a station point is three numbers x, y, z";
            return false;
        }
        for (size_t c = 0; c < 3; ++c) {
            double value;
            if (!cellNumber(cells[c], value)) {
                error = at(r + 1, c + 1) + ": " + quoted(cells[c]) + " is not a number";
                return false;
            }
            station.push_back(value);
        }
        if (++points > kMostPoints) {
            error = at(r + 1, 1) + ": more than 100000 points";
            return false;
        }
    }
    close();
    for (const std::vector<double>& s : out.stations) {
        if (s.size() < 6) {
            error = "a station of fewer than two points";
            return false;
        }
    }
    if (out.stations.empty()) {
        error = "no station points";
        return false;
    }
    return true;
}

// The polyline resampled to count points evenly spaced along its chords.
std::vector<double> resample(const std::vector<double>& points, size_t count) {
    const size_t n = points.size() / 3;
    std::vector<double> length(n, 0.0);
    for (size_t k = 1; k < n; ++k) {
        length[k] = length[k - 1] + std::hypot(points[3 * k] - points[3 * k - 3],
                                               points[3 * k + 1] - points[3 * k - 2],
                                               points[3 * k + 2] - points[3 * k - 1]);
    }
    std::vector<double> out;
    size_t leg = 1;
    for (size_t j = 0; j < count; ++j) {
        const double s = length.back() * static_cast<double>(j) / static_cast<double>(count - 1);
        while (leg + 1 < n && length[leg] < s) ++leg;
        const double span = length[leg] - length[leg - 1];
        const double r = span > 0.0 ? std::clamp((s - length[leg - 1]) / span, 0.0, 1.0) : 0.0;
        for (int c = 0; c < 3; ++c) {
            out.push_back(points[3 * (leg - 1) + c] + r * (points[3 * leg + c] - points[3 * (leg - 1) + c]));
        }
    }
    return out;
}

}  // namespace

bool makeOffsetTable(const SurfaceModel& surface, const std::vector<double>& stations,
                     const std::vector<double>& waterlines, double centre, double tolerance,
                     OffsetTable& table, std::string& error) {
    if (stations.empty() || waterlines.empty()) {
        error = "an offset table needs stations and waterlines";
        return false;
    }
    if (!std::isfinite(centre)) {
        error = "the centre plane is not finite";
        return false;
    }
    OffsetTable made;
    made.centre = centre;
    made.stations = stations;
    made.waterlines = waterlines;
    std::sort(made.stations.begin(), made.stations.end());
    std::sort(made.waterlines.begin(), made.waterlines.end());
    made.stations.erase(std::unique(made.stations.begin(), made.stations.end()), made.stations.end());
    made.waterlines.erase(std::unique(made.waterlines.begin(), made.waterlines.end()),
                          made.waterlines.end());
    std::vector<CutPlane> planes;
    for (double x : made.stations) planes.push_back(axisPlane(0, x));
    std::vector<PlaneCut> cuts;
    MirrorPlane mirror;
    mirror.axis = 2;
    mirror.offset = static_cast<float>(centre);
    if (!cutSurface(surface, planes, tolerance, &mirror, cuts, error)) return false;
    for (const PlaneCut& cut : cuts) {
        std::vector<std::optional<double>> row(made.waterlines.size());
        std::optional<double> keel, sheer;
        for (const CutCurve& curve : cut.curves) {
            const size_t n = curve.points.size();
            for (size_t k = 0; k < n; ++k) {
                const CutPoint& p = curve.points[k];
                keel = keel ? std::min(*keel, p.y) : p.y;
                sheer = sheer ? std::max(*sheer, p.y) : p.y;
                if (k + 1 == n && !curve.closed) break;
                const CutPoint& q = curve.points[(k + 1) % n];
                for (size_t w = 0; w < made.waterlines.size(); ++w) {
                    const double y = made.waterlines[w];
                    if ((p.y - y) * (q.y - y) > 0.0) continue;
                    double z;
                    if (p.y == q.y) {
                        z = std::max(p.z, q.z);
                    } else {
                        z = p.z + (q.z - p.z) * (y - p.y) / (q.y - p.y);
                    }
                    const double half = std::max(0.0, z - centre);
                    if (!row[w] || half > *row[w]) row[w] = half;
                }
            }
        }
        made.halfBreadths.push_back(std::move(row));
        made.keel.push_back(keel);
        made.sheer.push_back(sheer);
    }
    table = std::move(made);
    return true;
}

std::string formatOffsetTable(const OffsetTable& table) {
    std::string out = "x";
    for (double y : table.waterlines) out += "," + number(y);
    out += ",keel,sheer\n";
    for (size_t s = 0; s < table.stations.size(); ++s) {
        out += number(table.stations[s]);
        for (const std::optional<double>& half : table.halfBreadths[s]) {
            out += ",";
            if (half) out += number(*half);
        }
        out += ",";
        if (table.keel[s]) out += number(*table.keel[s]);
        out += ",";
        if (table.sheer[s]) out += number(*table.sheer[s]);
        out += "\n";
    }
    return out;
}

bool parseOffsets(const std::string& text, double centre, OffsetSections& sections,
                  std::string& error) {
    if (text.size() > kMostBytes) {
        error = "the file is over 64 MB";
        return false;
    }
    if (text.find('\0') != std::string::npos) {
        error = "the file holds a zero byte: it is not text";
        return false;
    }
    std::vector<std::string> lines = splitLines(text);
    // Leading blank lines are no part of either layout.
    size_t first = 0;
    while (first < lines.size() && blank(lines[first])) ++first;
    if (first == lines.size()) {
        error = "the file is empty";
        return false;
    }
    OffsetSections read;
    const std::vector<std::string> head = splitCells(lines[first]);
    const bool table = head[0] == "x" || head[0] == "X";
    read.table = table;
    std::vector<std::string> rest(lines.begin() + static_cast<std::ptrdiff_t>(first), lines.end());
    const bool ok = table ? parseTable(rest, centre, read, error) : parsePlain(rest, read, error);
    if (!ok) {
        // Rows are counted from the file's first line.
        if (first > 0 && error.rfind("row ", 0) == 0) {
            const size_t row = strtoul(error.c_str() + 4, nullptr, 10);
            const size_t digits = strspn(error.c_str() + 4, "0123456789");
            error = "row " + std::to_string(row + first) + error.substr(4 + digits);
        }
        return false;
    }
    sections = std::move(read);
    return true;
}

bool surfaceFromSections(const OffsetSections& sections, int degreeU, int degreeV,
                         const LoftOptions& options, SurfaceModel& surface, std::string& error) {
    const size_t S = sections.stations.size();
    if (S < 2) {
        error = "a surface needs at least two stations";
        return false;
    }
    if (degreeU < 1 || degreeV < 1 || degreeU > 9 || degreeV > 9) {
        error = "degrees from 1 to 9";
        return false;
    }
    size_t M = 0;
    for (const std::vector<double>& s : sections.stations) M = std::max(M, s.size() / 3);
    std::vector<std::vector<double>> points;
    for (const std::vector<double>& s : sections.stations) {
        points.push_back(s.size() / 3 == M ? s : resample(s, M));
    }
    for (const std::vector<double>& s : points) {
        for (double value : s) {
            if (!std::isfinite(value) || std::fabs(value) > 1e15) {
                error = "a coordinate is out of range";
                return false;
            }
        }
    }
    const int pu = std::min(degreeU, static_cast<int>(M) - 1);
    const int countU = static_cast<int>(M), countV = static_cast<int>(S);

    // Parameters along the sections, shared by all of them: the rows of the transposed net.
    std::vector<float> transposed(M * S * 4);
    for (size_t j = 0; j < M; ++j) {
        for (size_t k = 0; k < S; ++k) {
            float* P = &transposed[(j * S + k) * 4];
            for (int c = 0; c < 3; ++c) P[c] = static_cast<float>(points[k][3 * j + c]);
            P[3] = 1.0f;
        }
    }
    LoftOptions along = options;
    along.closed = false;
    std::vector<float> u(M);
    if (!computeLoftParameters(transposed.data(), countV, countU, along, u.data())) {
        error = "the stations' points all coincide along them";
        return false;
    }
    std::vector<float> U(M + static_cast<size_t>(pu) + 1);
    averageKnots(u.data(), countU, pu + 1, U.data());

    SurfaceModel made;
    made.countU = countU;
    made.countV = countV;
    made.orderU = pu + 1;
    made.orderV = std::min(degreeV, countV - 1) + 1;
    made.knotCountU = countU + made.orderU;
    made.knotCountV = countV + made.orderV;
    made.knotsU = U;
    made.knotsV.resize(static_cast<size_t>(made.knotCountV));
    fillUniformKnots(made.knotsV.data(), made.knotCountV, made.orderV);
    std::vector<float> Q(M * 3), P(M * 3);
    for (size_t k = 0; k < S; ++k) {
        for (size_t j = 0; j < M * 3; ++j) Q[j] = static_cast<float>(points[k][j]);
        if (!interpolateCurveBanded(P.data(), countU - 1, Q.data(), 3, pu, U.data(), u.data())) {
            error = "station " + std::to_string(k + 1) + " admits no interpolating curve";
            return false;
        }
        for (size_t j = 0; j < M; ++j) made.controlNet.push_back({P[3 * j], P[3 * j + 1], P[3 * j + 2], 1.0f});
    }
    DerivedNets derived;
    std::string refusal;
    if (!skinSurface(made, options, derived, refusal) || !skinnedNetUsable(made, true, derived)) {
        error = "the stations admit no skinned surface: " + refusal;
        return false;
    }
    SurfaceModel skinned;
    const SurfaceModel& result = surfaceToSave(made, true, derived, skinned);
    if (!surfaceIsFinite(result)) {
        error = "the skinned surface is not finite";
        return false;
    }
    surface = result;
    return true;
}
