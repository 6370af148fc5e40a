// The "revolve" subcommand: the surface of revolution of one section of a surface file, saved
// as another surface file, exactly as the editor's "create new surf" builds it.
#include "cli/revolve_command.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/command_arguments.h"
#include "cli/command_support.h"
#include "model/surface_commands.h"

namespace {

const char kRevolveUsage[] =
    "usage: loftwork revolve IN OUT [--section N]\n"
    "  Revolves section N (default 0) of the surface file IN a full turn about the y axis and\n"
    "  saves the new surface (nine sections, degree 2 across them) as OUT.\n";

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
    CommandArguments arguments("loftwork revolve", kRevolveUsage);
    arguments.option("--section", "--section needs a section number");
    const int status = arguments.parse(argc, argv);
    if (status >= 0) return status;
    int section = 0;
    const char* number = arguments.value("--section");
    if (number != nullptr && !argumentToIndex(number, section)) {
        return arguments.usageError(std::string("not a section number: \"") + number + "\"");
    }
    const std::vector<std::string>& files = arguments.files();
    if (files.size() > 2) {
        return arguments.usageError("revolve takes one input and one output surface file");
    }
    if (files.size() < 2) {
        return arguments.usageError("revolve takes an input and an output surface file");
    }
    const char* input = files[0].c_str();
    const char* output = files[1].c_str();

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
