// The "revolve" subcommand: the surface of revolution of one section of a surface file, saved
// as another surface file, exactly as "create new surf" builds it in the editor.
#include "cli/revolve_command.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cli/command_support.h"
#include "model/surface_commands.h"

namespace {

const char kRevolveUsage[] =
    "usage: loftwork revolve IN OUT [--section N]\n"
    "  Revolves section N (default 0) of the surface file IN a full turn about the y axis and\n"
    "  saves the new surface (nine sections, degree 2 across them) as OUT.\n";

int revolveUsageError(const std::string& problem) {
    printMessage("loftwork revolve: " + problem);
    fputs(kRevolveUsage, stderr);
    return 2;
}

// A whole argument as a non-negative int.
bool argumentToIndex(const char* text, int& value) {
    if (*text < '0' || *text > '9') return false;
    char* stop = nullptr;
    errno = 0;
    const long parsed = strtol(text, &stop, 10);
    if (*stop != '\0' || errno == ERANGE || parsed > INT_MAX) return false;
    value = static_cast<int>(parsed);
    return true;
}

}  // namespace

int revolveCommand(int argc, char** argv) {
    const char* input = nullptr;
    const char* output = nullptr;
    int section = 0;
    bool sectionGiven = false;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (strcmp(argument, "--help") == 0 || strcmp(argument, "-h") == 0) {
            fputs(kRevolveUsage, stdout);
            return 0;
        }
        if (strcmp(argument, "--section") == 0) {
            if (sectionGiven) return revolveUsageError("--section given twice");
            if (i + 1 >= argc) return revolveUsageError("--section needs a section number");
            if (!argumentToIndex(argv[i + 1], section)) {
                return revolveUsageError(std::string("not a section number: \"") + argv[i + 1] +
                                         "\"");
            }
            sectionGiven = true;
            ++i;
        } else if (argument[0] == '-' && argument[1] != '\0') {
            return revolveUsageError(std::string("unknown option \"") + argument + "\"");
        } else if (input == nullptr) {
            input = argument;
        } else if (output == nullptr) {
            output = argument;
        } else {
            return revolveUsageError("revolve takes one input and one output surface file");
        }
    }
    if (input == nullptr || output == nullptr) {
        return revolveUsageError("revolve takes an input and an output surface file");
    }

    SurfaceModel surface;
    if (!loadForCommand(input, surface)) return 1;
    if (section >= surface.countV) {
        char line[120];
        snprintf(line, sizeof line, " has sections 0 to %d; there is no section %d",
                 surface.countV - 1, section);
        printMessage(std::string("loftwork: ") + input + line);
        return 1;
    }
    SurfaceModel revolved;
    std::string error;
    if (!revolveSection(surface, section, revolved, error)) {
        printMessage(error);
        return 1;
    }
    return saveForCommand(output, revolved) ? 0 : 1;
}
