// The "import" subcommand: one face of a STEP or IGES file as a surface file, or the list of
// the file's faces.
#include "cli/import_command.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cli/command_support.h"
#include "exchange/cad_import.h"
#include "model/printable_text.h"

namespace {

const char kImportUsage[] =
    "usage: loftwork import IN OUT.surf [--face N]\n"
    "       loftwork import IN --list\n"
    "  Reads one face of the STEP (.step, .stp) or IGES (.igs, .iges) file IN and saves its\n"
    "  surface as the surface file OUT.surf: a B-spline surface with its control points, weights,\n"
    "  degrees and knots as they are; another kind (plane, cylinder, cone, sphere, torus, surface\n"
    "  of revolution or extrusion) converted to a rational B-spline. Coordinates stay in the\n"
    "  file's length unit. A trimmed face gives its whole surface over the face's parameter\n"
    "  bounds: the trim is dropped. --face N takes face N as --list numbers them (default: the\n"
    "  largest by area); --list prints each face's number, surface kind, size and area.\n";

int importUsageError(const char* problem) {
    printMessage(std::string("loftwork import: ") + problem);
    fputs(kImportUsage, stderr);
    return 2;
}

// A whole argument as a face number from 1.
bool parseFaceNumber(const char* text, int& face) {
    char* stop = nullptr;
    errno = 0;
    const long value = strtol(text, &stop, 10);
    if (stop == text || *stop != '\0' || errno != 0 || value < 1 || value > 1000000000) {
        return false;
    }
    face = static_cast<int>(value);
    return true;
}

int listFaces(const char* input) {
    ImportReport report;
    std::string error;
    if (!listCadFaces(input, report, error)) {
        printMessage(std::string("loftwork: cannot read ") + input + ": " + error);
        return 1;
    }
    printf("%s: %zu %s, %s, lengths in %s\n", printableText(input).c_str(), report.faces.size(),
           report.faces.size() == 1 ? "face" : "faces", report.format, report.unit.c_str());
    const char* unit = report.unitSymbol.c_str();
    for (size_t i = 0; i < report.faces.size(); ++i) {
        const CadFace& face = report.faces[i];
        printf("%zu  %s  size %.6g x %.6g x %.6g %s  area %.6g %s2\n", i + 1, face.kind.c_str(),
               face.size[0], face.size[1], face.size[2], unit, face.area, unit);
    }
    return 0;
}

}  // namespace

int importCommand(int argc, char** argv) {
    const char* input = nullptr;
    const char* output = nullptr;
    int face = 0;
    bool list = false;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (strcmp(argument, "--help") == 0 || strcmp(argument, "-h") == 0) {
            fputs(kImportUsage, stdout);
            return 0;
        }
        if (strcmp(argument, "--face") == 0) {
            if (face != 0) return importUsageError("--face given twice");
            if (i + 1 >= argc) return importUsageError("--face needs a face number");
            if (!parseFaceNumber(argv[i + 1], face)) {
                const std::string problem =
                    std::string("not a face number: \"") + argv[i + 1] + "\" (faces count from 1)";
                return importUsageError(problem.c_str());
            }
            ++i;
        } else if (strcmp(argument, "--list") == 0) {
            list = true;
        } else if (argument[0] == '-' && argument[1] != '\0') {
            const std::string problem = std::string("unknown option \"") + argument + "\"";
            return importUsageError(problem.c_str());
        } else if (input == nullptr) {
            input = argument;
        } else if (output == nullptr) {
            output = argument;
        } else {
            return importUsageError("import takes one STEP or IGES file and one surface file");
        }
    }
    if (list) {
        if (input == nullptr || output != nullptr || face != 0) {
            return importUsageError("--list takes the STEP or IGES file alone");
        }
        return listFaces(input);
    }
    if (input == nullptr || output == nullptr) {
        return importUsageError("import takes a STEP or IGES file and a surface file");
    }
    if (isCadFileName(output)) {
        return importUsageError("the output is a surface file (.surf), not STEP or IGES");
    }

    SurfaceModel surface;
    ImportReport report;
    std::string error;
    if (!importCadSurface(input, face, surface, report, error)) {
        printMessage(std::string("loftwork: cannot import ") + input + ": " + error);
        return 1;
    }
    if (!saveForCommand(output, surface)) return 1;
    printMessage("loftwork: " + importMessage(input, surface, report) + "; saved as " + output);
    return 0;
}
