// The "rebuild" subcommand: a surface file refitted to a given number of control points, or to
// the fewest within a tolerance, with a fairness weight; the deviation is printed.
#include "cli/rebuild_command.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cli/command_arguments.h"
#include "cli/command_support.h"
#include "model/surface_rebuild.h"

namespace {

const char kRebuildUsage[] =
    "usage: loftwork rebuild IN OUT (--points NU,NV | --tolerance T) [--fair W] [--sections]\n"
    "  Refits the surface of IN by least squares, with its degrees, and saves it as OUT:\n"
    "  --points NU,NV  to NU points along the sections and NV across them\n"
    "  --tolerance T   to the fewest points that keep within distance T of IN\n"
    "  --fair W        weight of the bending energy, 0 to 1 (default 0); wobbles shorter than\n"
    "                  about 6 W^(1/4) of the surface are smoothed away\n"
    "  --sections      refit every section along U only (--points NU); the sections stay\n"
    "  Prints the points, the largest deviation and where it lies, and the scatter of IN's\n"
    "  points. A tolerance below that scatter is refused.\n";

// A positive int at the start of text; stop is where its digits end.
bool readCount(const char* text, int& value, const char** stop) {
    if (*text < '0' || *text > '9') return false;
    char* end = nullptr;
    errno = 0;
    const long parsed = strtol(text, &end, 10);
    if (errno == ERANGE || parsed < 1 || parsed > INT_MAX) return false;
    value = static_cast<int>(parsed);
    *stop = end;
    return true;
}

// "NU,NV", or "NU" alone when only sections are refitted.
bool readPoints(const char* text, bool sections, int& NU, int& NV) {
    const char* stop = nullptr;
    if (!readCount(text, NU, &stop)) return false;
    if (*stop == '\0') {
        NV = 0;
        return sections;
    }
    return *stop == ',' && readCount(stop + 1, NV, &stop) && *stop == '\0';
}

bool readNumber(const char* text, double& value) {
    char* stop = nullptr;
    const double parsed = strtod(text, &stop);
    if (stop == text || *stop != '\0' || !std::isfinite(parsed)) return false;
    value = parsed;
    return true;
}

}  // namespace

int rebuildCommand(int argc, char** argv) {
    CommandArguments arguments("loftwork rebuild", kRebuildUsage);
    for (const char* name : {"--points", "--tolerance", "--fair"}) {
        arguments.option(name, std::string(name) + " needs a value");
    }
    arguments.flag("--sections");
    const int status = arguments.parse(argc, argv);
    if (status >= 0) return status;
    const char* points = arguments.value("--points");
    const char* tolerance = arguments.value("--tolerance");
    const char* fair = arguments.value("--fair");
    const bool sections = arguments.given("--sections");
    if (arguments.files().size() > 2) {
        return arguments.usageError("rebuild takes one input and one output surface file");
    }
    if (arguments.files().size() < 2) {
        return arguments.usageError("rebuild takes an input and an output surface file");
    }
    const char* paths[2] = {arguments.files()[0].c_str(), arguments.files()[1].c_str()};
    if ((points == nullptr) == (tolerance == nullptr)) {
        return arguments.usageError("give either --points or --tolerance");
    }
    RebuildOptions options;
    if (points != nullptr && !readPoints(points, sections, options.pointsU, options.pointsV)) {
        return arguments.usageError(std::string("not a point count: \"") + points + "\" (" +
                                 (sections ? "NU" : "NU,NV") + ", each at least 1)");
    }
    if (tolerance != nullptr &&
        (!readNumber(tolerance, options.tolerance) || !(options.tolerance > 0))) {
        return arguments.usageError(std::string("not a tolerance: \"") + tolerance +
                                 "\" (a distance above 0)");
    }
    if (fair != nullptr &&
        (!readNumber(fair, options.fairness) || options.fairness < 0 || options.fairness > 1)) {
        return arguments.usageError(std::string("not a fairness weight: \"") + fair +
                                 "\" (a number from 0 to 1)");
    }

    SurfaceModel surface;
    if (!loadForCommand(paths[0], surface)) return 1;
    SurfaceModel rebuilt;
    RebuildReport report;
    std::string refusal;
    const bool done = sections ? rebuildSections(surface, options, rebuilt, report, refusal)
                               : rebuildSurface(surface, options, rebuilt, report, refusal);
    if (!done) {
        printMessage(std::string("loftwork rebuild: ") + paths[0] + ": " + refusal +
                     "; no file was written");
        return 1;
    }
    if (!saveForCommand(paths[1], rebuilt)) return 1;
    printf("%s\n", rebuildReportText(report).c_str());
    return 0;
}
