// The lines plan, offset table and from-offsets subcommands over the plane cuts.
#include "cli/lines_command.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_arguments.h"
#include "cli/command_support.h"
#include "exchange/lines_plan.h"
#include "exchange/lines_print.h"
#include "exchange/offset_table.h"
#include "io/surface_file.h"

namespace {

const char kLinesUsage[] =
    "usage: loftwork lines FILE OUT [--stations LIST|N] [--waterlines LIST|N] [--buttocks LIST|N]\n"
    "                      [--diagonal \"a b c d\"]... [--mirror z=C] [--tolerance T]\n"
    "                      [--unit mm|cm|m|in] [--scale 1:N] [--templates]\n"
    "  Cuts the surface file FILE with stations (x = c), waterlines (y = c), buttocks (z = c)\n"
    "  and diagonals (planes a x + b y + c z = d) and draws them as a lines plan: profile, plan\n"
    "  and body plan. LIST is \"v1,v2,...\"; N spaces N values evenly over the surface's extent\n"
    "  (stations from end to end, waterlines and buttocks inside it). OUT's extension chooses:\n"
    "  .dxf (DXF R12, model units, a layer per family), .svg or .pdf (true scale: --unit says\n"
    "  what one model unit is, default m; --scale 1:N, default the largest standard scale that\n"
    "  fits A4). --templates (with .pdf) draws each station alone, both halves, at 1:1 or\n"
    "  --scale, tiled over A4 pages with overlap marks, after a page with a 100 mm check\n"
    "  square. --mirror z=C adds the mirror image across z = C. The curves keep within T of\n"
    "  the surface (default 1/10000 of the diagonal of the box around the control points).\n";

const char kOffsetsUsage[] =
    "usage: loftwork offsets FILE OUT.csv --stations LIST|N --waterlines LIST|N [--mirror z=C]\n"
    "                        [--tolerance T]\n"
    "  Writes the offset table of the surface file FILE: a first row \"x\", the waterlines' y,\n"
    "  \"keel\", \"sheer\"; then per station its x, the half-breadth z - C where it meets each\n"
    "  waterline (empty where it does not; C is the centre plane, 0 unless --mirror gives it),\n"
    "  and its lowest and highest y.\n";

const char kFromOffsetsUsage[] =
    "usage: loftwork from-offsets IN.csv OUT.surf [--degree-u P] [--degree-v Q]\n"
    "                             [--params chord|centripetal|uniform] [--closed] [--align]\n"
    "                             [--mirror z=C]\n"
    "  Reads an offset table (as \"offsets\" writes it) or \"x,y,z\" lines with a blank line\n"
    "  between stations, and saves a surface through every station point: each station\n"
    "  interpolated with degree P (default 3), skinned across the stations with degree Q\n"
    "  (default 3) and the loft options of \"skin\". A table's keel adds a point on the centre\n"
    "  plane z = C below the first waterline a station meets.\n";

// "z=C" with a finite C.
bool parseCentrePlane(const char* text, MirrorPlane& plane) {
    if (text[0] != 'z' || text[1] != '=' || text[2] == '\0') return false;
    char* stop = nullptr;
    const double offset = strtod(text + 2, &stop);
    if (*stop != '\0' || !std::isfinite(offset) || std::fabs(offset) > 1e30) return false;
    plane.axis = 2;
    plane.offset = static_cast<float>(offset);
    return true;
}

bool parseNumber(const char* text, double& value) {
    char* stop = nullptr;
    value = strtod(text, &stop);
    return stop != text && *stop == '\0';
}

// "a b c d": four finite numbers separated by blanks or commas.
bool parseDiagonal(const char* text, CutPlane& plane) {
    double values[4];
    const char* at = text;
    for (double& value : values) {
        while (*at == ' ' || *at == ',' || *at == '\t') ++at;
        char* stop = nullptr;
        value = strtod(at, &stop);
        if (stop == at || !std::isfinite(value)) return false;
        at = stop;
    }
    while (*at == ' ' || *at == '\t') ++at;
    if (*at != '\0') return false;
    plane = {values[0], values[1], values[2], values[3]};
    return std::sqrt(values[0] * values[0] + values[1] * values[1] + values[2] * values[2]) > 0.0;
}

std::string lowerExtension(const std::string& path) {
    const size_t dot = path.rfind('.');
    const size_t slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string extension = path.substr(dot + 1);
    for (char& c : extension) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return extension;
}

// Options shared by lines and offsets.
struct CutOptions {
    std::optional<LinesChoice> stations, waterlines, buttocks;
    std::vector<CutPlane> diagonals;
    std::optional<MirrorPlane> mirror;
    std::optional<double> tolerance;
};

// Declares the options of CutOptions.
void declareCutOptions(CommandArguments& arguments) {
    for (const char* name : {"--stations", "--waterlines", "--buttocks"}) {
        arguments.option(name, std::string(name) + " needs a list or a count");
    }
    arguments.option("--diagonal", "--diagonal needs a plane \"a b c d\"",
                     CommandArguments::Repeat::many);
    arguments.option("--mirror", "--mirror needs a plane z=C");
    arguments.option("--tolerance", "--tolerance needs a number");
}

// Reads the options declareCutOptions declared: -1 when they are good, otherwise the usage
// error's status.
int readCutOptions(const CommandArguments& arguments, CutOptions& options) {
    const struct {
        const char* name;
        std::optional<LinesChoice>* choice;
    } families[] = {{"--stations", &options.stations},
                    {"--waterlines", &options.waterlines},
                    {"--buttocks", &options.buttocks}};
    for (const auto& family : families) {
        const char* value = arguments.value(family.name);
        if (value == nullptr) continue;
        LinesChoice choice;
        std::string error;
        if (!parseLinesChoice(value, choice, error)) {
            return arguments.usageError(std::string(family.name) + ": " + error);
        }
        *family.choice = choice;
    }
    for (const std::string& value : arguments.values("--diagonal")) {
        CutPlane plane;
        if (!parseDiagonal(value.c_str(), plane)) {
            return arguments.usageError(
                "not a plane \"a b c d\" (a x + b y + c z = d): \"" + value + "\"");
        }
        options.diagonals.push_back(plane);
    }
    if (const char* value = arguments.value("--mirror")) {
        MirrorPlane plane;
        if (!parseCentrePlane(value, plane)) {
            return arguments.usageError(std::string("not a centre plane: \"") + value +
                                        "\" (give z=C with a finite C)");
        }
        options.mirror = plane;
    }
    if (const char* value = arguments.value("--tolerance")) {
        double tolerance;
        if (!parseNumber(value, tolerance)) {
            return arguments.usageError(std::string("not a tolerance: \"") + value + "\"");
        }
        options.tolerance = tolerance;
    }
    return -1;
}

// Checks the tolerance and finds the surface's box; false (status 1) with a message.
bool prepareCuts(const char* command, const char* path, const SurfaceModel& surface,
                 const CutOptions& options, double box[6]) {
    if (options.tolerance && !(*options.tolerance > 0.0 && std::isfinite(*options.tolerance))) {
        fprintf(stderr, "loftwork %s: the tolerance must be a positive number\n", command);
        return false;
    }
    std::string error;
    if (!surfaceBox(surface, box, error)) {
        printMessage(std::string("loftwork ") + command + ": " + path + ": " + error);
        return false;
    }
    return true;
}

}  // namespace

int linesCommand(int argc, char** argv) {
    CommandArguments arguments("loftwork lines", kLinesUsage);
    declareCutOptions(arguments);
    arguments.option("--unit", "--unit needs mm, cm, m or in");
    arguments.option("--scale", "--scale needs 1:N");
    arguments.flag("--templates");
    int status = arguments.parse(argc, argv);
    if (status >= 0) return status;
    CutOptions options;
    status = readCutOptions(arguments, options);
    if (status >= 0) return status;
    PrintScale scale;
    if (const char* value = arguments.value("--unit")) {
        if (!parsePrintUnit(value, scale)) {
            return arguments.usageError(std::string("unknown unit \"") + value +
                                        "\" (mm, cm, m or in)");
        }
    }
    if (const char* value = arguments.value("--scale")) {
        if (!parsePrintScale(value, scale.denominator)) {
            return arguments.usageError(std::string("not a scale 1:N: \"") + value + "\"");
        }
    }
    const bool templates = arguments.given("--templates");
    if (arguments.files().size() > 2) {
        return arguments.usageError("lines takes one surface file and one output file");
    }
    if (arguments.files().size() < 2) {
        return arguments.usageError("lines takes a surface file and an output file");
    }
    const char* paths[2] = {arguments.files()[0].c_str(), arguments.files()[1].c_str()};
    if (!options.stations && !options.waterlines && !options.buttocks && options.diagonals.empty()) {
        return arguments.usageError("give stations, waterlines, buttocks or diagonals to draw");
    }
    const std::string output = paths[1];
    const std::string extension = lowerExtension(output);
    if (templates && extension != "pdf") {
        return arguments.usageError("--templates writes a .pdf file");
    }
    if (templates && !options.stations) return arguments.usageError("--templates needs --stations");
    if (extension != "dxf" && extension != "svg" && extension != "pdf") {
        printMessage(std::string("loftwork lines: unknown extension of ") + output +
                     " (give .dxf, .svg or .pdf)");
        return 1;
    }

    SurfaceModel surface;
    if (!loadForCommand(paths[0], surface)) return 1;
    double box[6];
    if (!prepareCuts("lines", paths[0], surface, options, box)) return 1;
    // Templates show both halves: a half model on one side of z = 0 gets its mirror image.
    if (templates && !options.mirror) {
        const double slack = 1e-6 * std::max({1.0, std::fabs(box[2]), std::fabs(box[5])});
        if (box[2] >= -slack || box[5] <= slack) options.mirror = MirrorPlane{2, 0.0f};
    }
    LinesRequest request;
    const LinesChoice none;
    request.stations = choiceValues(options.stations.value_or(none), 0, box, options.mirror);
    if (!templates) {
        request.waterlines = choiceValues(options.waterlines.value_or(none), 1, box, options.mirror);
        request.buttocks = choiceValues(options.buttocks.value_or(none), 2, box, options.mirror);
        request.diagonals = options.diagonals;
    }
    request.mirror = options.mirror;
    request.tolerance = options.tolerance.value_or(0.0);
    LinesPlan plan;
    std::string error;
    if (!makeLinesPlan(surface, request, plan, error)) {
        printMessage(std::string("loftwork lines: ") + paths[0] + ": " + error);
        return 1;
    }
    std::string message;
    bool done = false;
    if (templates) {
        const double centre = options.mirror ? options.mirror->offset : 0.0;
        done = writeStationTemplates(output, plan, scale, centre, message);
    } else if (extension == "dxf") {
        const LinesDrawing drawing = layOutLinesPlan(plan);
        done = writeFileReplacing(output.c_str(), formatLinesDxf(drawing), error);
        message = done ? "wrote the lines plan " + output + " (DXF R12, model units)"
                       : "cannot write " + output + ": " + error;
    } else {
        const LinesDrawing drawing = layOutLinesPlan(plan);
        done = writeLinesPrint(output, extension == "svg" ? PrintFormat::svg : PrintFormat::pdf,
                               drawing, scale, message);
    }
    printMessage("loftwork lines: " + message);
    return done ? 0 : 1;
}

int offsetsCommand(int argc, char** argv) {
    CommandArguments arguments("loftwork offsets", kOffsetsUsage);
    declareCutOptions(arguments);
    int status = arguments.parse(argc, argv);
    if (status >= 0) return status;
    CutOptions options;
    status = readCutOptions(arguments, options);
    if (status >= 0) return status;
    if (arguments.files().size() > 2) {
        return arguments.usageError("offsets takes one surface file and one table");
    }
    if (arguments.files().size() < 2) {
        return arguments.usageError("offsets takes a surface file and a table file");
    }
    const char* paths[2] = {arguments.files()[0].c_str(), arguments.files()[1].c_str()};
    if (!options.stations || !options.waterlines) {
        return arguments.usageError("offsets needs --stations and --waterlines");
    }
    if (options.buttocks || !options.diagonals.empty()) {
        return arguments.usageError("an offset table has no buttocks or diagonals");
    }
    SurfaceModel surface;
    if (!loadForCommand(paths[0], surface)) return 1;
    double box[6];
    if (!prepareCuts("offsets", paths[0], surface, options, box)) return 1;
    const double centre = options.mirror ? options.mirror->offset : 0.0;
    OffsetTable table;
    std::string error;
    if (!makeOffsetTable(surface, choiceValues(*options.stations, 0, box, options.mirror),
                         choiceValues(*options.waterlines, 1, box, options.mirror), centre,
                         options.tolerance.value_or(0.0), table, error)) {
        printMessage(std::string("loftwork offsets: ") + paths[0] + ": " + error);
        return 1;
    }
    if (!writeFileReplacing(paths[1], formatOffsetTable(table), error)) {
        printMessage(std::string("loftwork offsets: cannot write ") + paths[1] + ": " + error);
        return 1;
    }
    char wrote[96];
    snprintf(wrote, sizeof wrote, "loftwork offsets: wrote %zu stations x %zu waterlines to ",
             table.stations.size(), table.waterlines.size());
    printMessage(wrote + std::string(paths[1]));
    return 0;
}

int fromOffsetsCommand(int argc, char** argv) {
    const char* const kMirrorProblem = "--mirror takes one centre plane z=C with a finite C";
    const char* const kParamsProblem = "--params needs chord, centripetal or uniform";
    CommandArguments arguments("loftwork from-offsets", kFromOffsetsUsage);
    for (const char* name : {"--degree-u", "--degree-v"}) {
        arguments.option(name, std::string(name) + " needs a degree");
    }
    arguments.option("--params", kParamsProblem, CommandArguments::Repeat::many);
    arguments.flag("--closed");
    arguments.option("--mirror", kMirrorProblem, CommandArguments::Repeat::many);
    const int status = arguments.parse(argc, argv);
    if (status >= 0) return status;
    int degrees[2] = {3, 3};
    for (int d = 0; d < 2; ++d) {
        const char* value = arguments.value(d == 0 ? "--degree-u" : "--degree-v");
        if (value == nullptr) continue;
        if (strlen(value) != 1 || value[0] < '1' || value[0] > '9') {
            return arguments.usageError(std::string("not a degree from 1 to 9: \"") + value +
                                        "\"");
        }
        degrees[d] = value[0] - '0';
    }
    LoftOptions loft;
    for (const std::string& value : arguments.values("--params")) {
        if (!parseLoftParameters(value.c_str(), loft.parameters)) {
            return arguments.usageError(kParamsProblem);
        }
    }
    loft.closed = arguments.given("--closed");
    std::optional<MirrorPlane> mirror;
    if (const char* value = arguments.value("--mirror")) {
        MirrorPlane plane;
        if (arguments.values("--mirror").size() > 1 || !parseCentrePlane(value, plane)) {
            return arguments.usageError(kMirrorProblem);
        }
        mirror = plane;
    }
    if (arguments.files().size() > 2) {
        return arguments.usageError("from-offsets takes one offset file and one surface file");
    }
    if (arguments.files().size() < 2) {
        return arguments.usageError("from-offsets takes an offset file and a surface file");
    }
    const char* paths[2] = {arguments.files()[0].c_str(), arguments.files()[1].c_str()};
    struct stat info;
    if (stat(paths[0], &info) != 0 || !S_ISREG(info.st_mode)) {
        printMessage(std::string("loftwork from-offsets: cannot read ") + paths[0] + ": " +
                     (stat(paths[0], &info) != 0 ? strerror(errno) : "not a regular file"));
        return 1;
    }
    if (info.st_size > (64 << 20)) {
        printMessage(std::string("loftwork from-offsets: ") + paths[0] + " is over 64 MB");
        return 1;
    }
    std::string text;
    FILE* file = fopen(paths[0], "rb");
    if (file == nullptr) {
        printMessage(std::string("loftwork from-offsets: cannot read ") + paths[0] + ": " +
                     strerror(errno));
        return 1;
    }
    char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0 && text.size() <= (64u << 20)) {
        text.append(buffer, got);
    }
    fclose(file);

    OffsetSections sections;
    std::string error;
    const double centre = mirror ? mirror->offset : 0.0;
    if (!parseOffsets(text, centre, sections, error)) {
        printMessage(std::string("loftwork from-offsets: ") + paths[0] + ": " + error);
        return 1;
    }
    SurfaceModel surface;
    if (!surfaceFromSections(sections, degrees[0], degrees[1], loft, surface, error)) {
        printMessage(std::string("loftwork from-offsets: ") + paths[0] + ": " + error);
        return 1;
    }
    if (!saveForCommand(paths[1], surface)) return 1;
    char saved[96];
    snprintf(saved, sizeof saved, "loftwork from-offsets: %zu stations, %d points each, saved as ",
             sections.stations.size(), surface.countU);
    printMessage(saved + std::string(paths[1]));
    if (sections.skipped > 0) {
        fprintf(stderr, "loftwork from-offsets: passed over %d stations that meet fewer than two "
                "waterlines\n", sections.skipped);
    }
    return 0;
}
