// Messages and surface files of the subcommands.
#include "cli/command_support.h"

#include <cstdio>
#include <string>

#include "io/surface_writer.h"
#include "io/surface_file.h"
#include "model/printable_text.h"
#include "model/surface_limits.h"

void printMessage(const std::string& line) {
    fprintf(stderr, "%s\n", printableText(line).c_str());
}

bool loadForCommand(const char* path, SurfaceModel& surface) {
    std::string error;
    if (path == nullptr || path[0] == '\0') {
        printMessage("loftwork: no surface loaded: no file name given");
        return false;
    }
    if (!readSurfaceFile(path, surface, error)) {
        printMessage(std::string("loftwork: cannot load ") + path + ": " + error);
        return false;
    }
    // The editor's own bound: meshing and evaluating cost grows with the degree squared, and a
    // degree of 100 took minutes.
    if (surface.orderU > kMostDrawnOrder || surface.orderV > kMostDrawnOrder) {
        char line[160];
        snprintf(line, sizeof line, ": degrees %d x %d are above %d, the highest the editor takes",
                 surface.orderU - 1, surface.orderV - 1, kMostDrawnOrder - 1);
        printMessage(std::string("loftwork: cannot load ") + path + line);
        return false;
    }
    return true;
}

bool saveForCommand(const char* path, const SurfaceModel& surface) {
    std::string error;
    const std::string warning = sixDecimalsWarning(surface);
    if (!warning.empty()) printMessage("loftwork: " + warning);
    if (writeSurfaceFile(path, surface, error)) return true;
    printMessage(std::string("loftwork: cannot save ") + path + ": " + error);
    return false;
}
