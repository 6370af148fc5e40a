// The "import" subcommand: one face of a STEP or IGES file as a surface file, or the list of
// the file's faces.
#include "cli/import_command.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/command_arguments.h"
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
    CommandArguments arguments("loftwork import", kImportUsage);
    arguments.option("--face", "--face needs a face number");
    arguments.flag("--list");
    const int status = arguments.parse(argc, argv);
    if (status >= 0) return status;
    int face = 0;
    if (const char* number = arguments.value("--face")) {
        if (!parseFaceNumber(number, face)) {
            return arguments.usageError(std::string("not a face number: \"") + number +
                                        "\" (faces count from 1)");
        }
    }
    const bool list = arguments.given("--list");
    const std::vector<std::string>& files = arguments.files();
    if (files.size() > 2) {
        return arguments.usageError("import takes one STEP or IGES file and one surface file");
    }
    const char* input = files.size() > 0 ? files[0].c_str() : nullptr;
    const char* output = files.size() > 1 ? files[1].c_str() : nullptr;
    if (list) {
        if (input == nullptr || output != nullptr || face != 0) {
            return arguments.usageError("--list takes the STEP or IGES file alone");
        }
        return listFaces(input);
    }
    if (input == nullptr || output == nullptr) {
        return arguments.usageError("import takes a STEP or IGES file and a surface file");
    }
    if (isCadFileName(output)) {
        return arguments.usageError("the output is a surface file (.surf), not STEP or IGES");
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
