// The "export" subcommand: a surface file to STEP, IGES, STL or OBJ, chosen by the output's
// extension, exactly as the panel's "export" button writes it.
#include "cli/export_command.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "cli/command_line.h"
#include "exchange/export_surface.h"

namespace {

const char kExportUsage[] =
    "usage: loftwork export IN OUT [--tolerance T]\n"
    "  Writes the surface file IN as OUT, in the format of OUT's extension: .step or .stp\n"
    "  (STEP AP214) and .igs or .iges (IGES) keep the exact B-spline surface; .stl (binary STL)\n"
    "  and .obj (OBJ) carry a mesh no farther than T from the surface, in model units (default\n"
    "  1/1000 of the diagonal of the box around the control points).\n";

int exportUsageError(const char* problem) {
    fprintf(stderr, "loftwork export: %s\n%s", problem, kExportUsage);
    return 2;
}

}  // namespace

int exportCommand(int argc, char** argv) {
    const char* input = nullptr;
    const char* output = nullptr;
    std::optional<double> tolerance;
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
                const std::string problem = std::string("not a tolerance: \"") + argv[i + 1] + "\"";
                return exportUsageError(problem.c_str());
            }
            tolerance = value;
            ++i;
        } else if (argument[0] == '-' && argument[1] != '\0') {
            const std::string problem = std::string("unknown option \"") + argument + "\"";
            return exportUsageError(problem.c_str());
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
    ExportReport report;
    std::string message;
    const bool done = exportSurface(output, surface, tolerance, report, message);
    fprintf(stderr, "loftwork: %s\n", message.c_str());
    return done ? 0 : 1;
}
