// The "export" subcommand: a surface file to STEP, IGES, STL or OBJ, chosen by the output's
// extension, exactly as the panel's "export" button writes it.
#include "cli/export_command.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_arguments.h"
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
    CommandArguments arguments("loftwork export", kExportUsage);
    arguments.option("--tolerance", "--tolerance needs a number");
    arguments.option("--mirror", "--mirror needs a plane: x=C, y=C or z=C");
    arguments.option("--unit", "--unit needs mm, cm, m or in");
    const int status = arguments.parse(argc, argv);
    if (status >= 0) return status;
    std::optional<double> tolerance;
    std::optional<MirrorPlane> mirror;
    std::optional<LengthUnit> unit;
    if (const char* text = arguments.value("--tolerance")) {
        char* stop = nullptr;
        tolerance = strtod(text, &stop);
        if (stop == text || *stop != '\0') {
            return arguments.usageError(std::string("not a tolerance: \"") + text + "\"");
        }
    }
    if (const char* text = arguments.value("--mirror")) {
        MirrorPlane plane;
        if (!parseMirrorPlane(text, plane)) {
            return arguments.usageError(std::string("not a mirror plane: \"") + text +
                                        "\" (give x=C, y=C or z=C with a finite C)");
        }
        mirror = plane;
    }
    if (const char* text = arguments.value("--unit")) {
        LengthUnit chosen;
        if (!parseLengthUnit(text, chosen)) {
            return arguments.usageError(std::string("not a unit: \"") + text +
                                        "\" (give mm, cm, m or in)");
        }
        unit = chosen;
    }
    const std::vector<std::string>& files = arguments.files();
    if (files.size() > 2) {
        return arguments.usageError("export takes one input surface file and one output file");
    }
    if (files.size() < 2) {
        return arguments.usageError("export takes an input surface file and an output file");
    }
    const char* input = files[0].c_str();
    const char* output = files[1].c_str();

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
