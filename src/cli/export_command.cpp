// The "export" subcommand: a surface file to STEP, IGES, STL or OBJ, chosen by the output's
// extension, exactly as the panel's "export" button writes it.
#include "cli/export_command.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "cli/command_support.h"
#include "exchange/export_surface.h"

namespace {

const char kExportUsage[] =
    "usage: loftwork export IN OUT [--tolerance T] [--mirror x=C|y=C|z=C] [--unit mm|cm|m|in]\n"
    "  Writes the surface file IN as OUT, in the format of OUT's extension: .step or .stp\n"
    "  (STEP AP214) and .igs or .iges (IGES) keep the exact B-spline surface; .stl (binary STL)\n"
    "  and .obj (OBJ) carry a mesh no farther than T from the surface, in model units (default\n"
    "  1/1000 of the diagonal of the box around the control points). --mirror writes a half\n"
    "  model with its mirror image across the plane, as the panel's \"mirror\" does: a second\n"
    "  face in STEP and IGES sewn to the first, one mesh joined along the plane in STL and OBJ.\n"
    "  --unit says what one model unit is (default mm); STEP and IGES declare it, and the\n"
    "  numbers are written as they are.\n";

int exportUsageError(const std::string& problem) {
    printMessage("loftwork export: " + problem);
    fputs(kExportUsage, stderr);
    return 2;
}

// "x=C", "y=C" or "z=C" with a finite number C: the plane x = C, y = C or z = C.
bool parseMirrorPlane(const char* text, MirrorPlane& plane) {
    if (text[0] < 'x' || text[0] > 'z' || text[1] != '=' || text[2] == '\0') return false;
    char* stop = nullptr;
    const float offset = strtof(text + 2, &stop);
    if (*stop != '\0' || !std::isfinite(offset)) return false;
    plane.axis = text[0] - 'x';
    plane.offset = offset;
    return true;
}

}  // namespace

int exportCommand(int argc, char** argv) {
    const char* input = nullptr;
    const char* output = nullptr;
    std::optional<double> tolerance;
    std::optional<MirrorPlane> mirror;
    std::optional<LengthUnit> unit;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (strcmp(argument, "--help") == 0 || strcmp(argument, "-h") == 0) {
            fputs(kExportUsage, stdout);
            return 0;
        }
        if (strcmp(argument, "--tolerance") == 0) {
            if (tolerance) return exportUsageError("--tolerance given twice");
            if (i + 1 >= argc) return exportUsageError("--tolerance needs a number");
            char* stop = nullptr;
            const double value = strtod(argv[i + 1], &stop);
            if (stop == argv[i + 1] || *stop != '\0') {
                return exportUsageError(std::string("not a tolerance: \"") + argv[i + 1] + "\"");
            }
            tolerance = value;
            ++i;
        } else if (strcmp(argument, "--mirror") == 0) {
            if (mirror) return exportUsageError("--mirror given twice");
            if (i + 1 >= argc) return exportUsageError("--mirror needs a plane: x=C, y=C or z=C");
            MirrorPlane plane;
            if (!parseMirrorPlane(argv[i + 1], plane)) {
                return exportUsageError(std::string("not a mirror plane: \"") + argv[i + 1] +
                                        "\" (give x=C, y=C or z=C with a finite C)");
            }
            mirror = plane;
            ++i;
        } else if (strcmp(argument, "--unit") == 0) {
            if (unit) return exportUsageError("--unit given twice");
            if (i + 1 >= argc) return exportUsageError("--unit needs mm, cm, m or in");
            LengthUnit chosen;
            if (!parseLengthUnit(argv[i + 1], chosen)) {
                return exportUsageError(std::string("not a unit: \"") + argv[i + 1] +
                                        "\" (give mm, cm, m or in)");
            }
            unit = chosen;
            ++i;
        } else if (argument[0] == '-' && argument[1] != '\0') {
            return exportUsageError(std::string("unknown option \"") + argument + "\"");
        } else if (input == nullptr) {
            input = argument;
        } else if (output == nullptr) {
            output = argument;
        } else {
            return exportUsageError("export takes one input surface file and one output file");
        }
    }
    if (input == nullptr || output == nullptr) {
        return exportUsageError("export takes an input surface file and an output file");
    }

    SurfaceModel surface;
    if (!loadForCommand(input, surface)) return 1;
    surface.fileName = input;  // names the part in STEP and IGES
    ExportReport report;
    std::string message;
    const bool done = exportSurface(output, surface, tolerance, report, message,
                                    mirror ? &*mirror : nullptr, unit.value_or(LengthUnit::mm));
    printMessage("loftwork: " + message);
    return done ? 0 : 1;
}
