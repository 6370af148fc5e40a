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

int rebuildUsageError(const std::string& problem) {
    printMessage("loftwork rebuild: " + problem);
    fputs(kRebuildUsage, stderr);
    return 2;
}

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
    const char* paths[2] = {nullptr, nullptr};
    int pathCount = 0;
    const char* points = nullptr;
    const char* tolerance = nullptr;
    const char* fair = nullptr;
    bool sections = false;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (strcmp(argument, "--help") == 0 || strcmp(argument, "-h") == 0) {
            fputs(kRebuildUsage, stdout);
            return 0;
        }
        const char** value = strcmp(argument, "--points") == 0      ? &points
                             : strcmp(argument, "--tolerance") == 0 ? &tolerance
                             : strcmp(argument, "--fair") == 0      ? &fair
                                                                    : nullptr;
        if (value != nullptr) {
            if (*value != nullptr) return rebuildUsageError(std::string(argument) + " given twice");
            if (i + 1 >= argc) return rebuildUsageError(std::string(argument) + " needs a value");
            *value = argv[++i];
        } else if (strcmp(argument, "--sections") == 0) {
            sections = true;
        } else if (argument[0] == '-' && argument[1] != '\0') {
            return rebuildUsageError(std::string("unknown option \"") + argument + "\"");
        } else if (pathCount < 2) {
            paths[pathCount++] = argument;
        } else {
            return rebuildUsageError("rebuild takes one input and one output surface file");
        }
    }
    if (pathCount != 2)
        return rebuildUsageError("rebuild takes an input and an output surface file");
    if ((points == nullptr) == (tolerance == nullptr)) {
        return rebuildUsageError("give either --points or --tolerance");
    }
    RebuildOptions options;
    if (points != nullptr && !readPoints(points, sections, options.pointsU, options.pointsV)) {
        return rebuildUsageError(std::string("not a point count: \"") + points + "\" (" +
                                 (sections ? "NU" : "NU,NV") + ", each at least 1)");
    }
    if (tolerance != nullptr &&
        (!readNumber(tolerance, options.tolerance) || !(options.tolerance > 0))) {
        return rebuildUsageError(std::string("not a tolerance: \"") + tolerance +
                                 "\" (a distance above 0)");
    }
    if (fair != nullptr &&
        (!readNumber(fair, options.fairness) || options.fairness < 0 || options.fairness > 1)) {
        return rebuildUsageError(std::string("not a fairness weight: \"") + fair +
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
