// Command-line subcommands over the core: info, eval, curvature, skin, revolve, export,
// hydrostatics, and the help text. They read and write surfaces through the same file code as
// the editor, without opening a window.
#include "cli/command_line.h"

#include <signal.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "cli/command_arguments.h"
#include "cli/command_support.h"
#include "cli/export_command.h"
#include "cli/hydrostatics_command.h"
#include "cli/import_command.h"
#include "cli/lines_command.h"
#include "cli/rebuild_command.h"
#include "cli/revolve_command.h"
#include "io/editor_file_io.h"
#include "io/surface_file.h"
#include "io/temporary_files.h"
#include "model/curvature.h"
#include "model/derived_nets.h"
#include "model/knots.h"
#include "model/printable_text.h"
#include "model/section_correspondence.h"
#include "model/loft_ends.h"
#include "model/rational_sections.h"
#include "model/skinning.h"
#include "model/surface_limits.h"

namespace {

const char kUsage[] =
    "usage: loftwork                          open the editor on the surface named in "
    "defaultFile.config\n"
    "       loftwork info FILE                counts, degrees and knot vectors of a surface "
    "file\n"
    "       loftwork eval FILE u v [u v ...]  surface points at parameters (u, v), one "
    "\"x y z\" line each\n"
    "       loftwork curvature FILE u v [u v ...]\n"
    "                                         Gaussian and mean curvature at (u, v), one \"K H\" "
    "line each\n"
    "       loftwork skin IN OUT              skin IN through its sections and save the result "
    "as OUT\n"
    "            [--params chord|centripetal|uniform]  section parameters (default chord)\n"
    "            [--closed]                            close the loft back into the first "
    "section\n"
    "            [--rational homogeneous|compatible]   sections whose weights differ: lofted as "
    "they are\n"
    "                                                  (default) or given common weights first\n"
    "            [--align]                             align the sections' starts and "
    "directions first\n"
    "            [--start|--end free|point[:x,y,z]|tangent[:x,y,z]]\n"
    "                                                  how the loft ends at its first / last "
    "section\n"
    "            [--start-bulge|--end-bulge B]         scale of the derivative an end leaves "
    "with\n"
    "            [--start-length|--end-length L]       how far out a default pole lies\n"
    "       loftwork revolve ...              surface of revolution (run it alone for its "
    "usage)\n"
    "       loftwork export ...               a surface file as STEP, IGES, STL or OBJ (run it "
    "alone for its usage)\n"
    "       loftwork hydrostatics ...         volume, centres, stability and form of a hull "
    "(run it alone for its usage)\n"
    "       loftwork import ...               one face of a STEP or IGES file as a surface file "
    "(run it alone for its usage)\n"
    "       loftwork lines ...                a lines plan (DXF, SVG, PDF) or station templates "
    "(run it alone for its usage)\n"
    "       loftwork offsets ...              the offset table of a surface as CSV (run it alone "
    "for its usage)\n"
    "       loftwork from-offsets ...         a surface skinned through an offset table (run it "
    "alone for its usage)\n"
    "       loftwork rebuild ...              a surface refitted to fewer points or within a "
    "tolerance (run it alone for its usage)\n"
    "       loftwork --screenshot FILE        open the editor and save the main window as FILE\n"
    "       loftwork --help                   this text\n";

int usageError(const std::string& problem) {
    printMessage("loftwork: " + problem);
    fputs(kUsage, stderr);
    return 2;
}

void printKnots(const char* name, const std::vector<float>& knots) {
    printf("knots %s (%zu):", name, knots.size());
    for (float knot : knots) printf(" %.9g", static_cast<double>(knot));
    printf("\n");
}

int infoCommand(int argc, char** argv) {
    CommandArguments arguments("loftwork", kUsage);
    const int status = arguments.parse(argc, argv);
    if (status >= 0) return status;
    if (arguments.files().size() != 1) return usageError("info takes one surface file");
    const char* path = arguments.files()[0].c_str();
    SurfaceModel s;
    if (!loadForCommand(path, s)) return 1;
    printf("file: %s\n", printableText(path).c_str());
    printf("points U x V: %d x %d\n", s.countU, s.countV);
    printf("degrees U V: %d %d\n", s.orderU - 1, s.orderV - 1);
    printf("orders U V: %d %d\n", s.orderU, s.orderV);
    printKnots("U", s.knotsU);
    printKnots("V", s.knotsV);
    return 0;
}

// A whole argument as a finite float.
bool argumentToFloat(const char* text, float& value) {
    char* stop = nullptr;
    const float parsed = strtof(text, &stop);
    if (stop == text || *stop != '\0' || !std::isfinite(parsed)) return false;
    value = parsed;
    return true;
}

// The words of eval and curvature: the file, then u v pairs, which may be negative. Returns -1
// with the file and the parameters in order, or the exit status (0 after --help, 2 for a usage
// error).
int readParameterPairs(int argc, char** argv, const char* problem, std::string& path,
                       std::vector<float>& parameters) {
    CommandArguments arguments("loftwork", kUsage);
    arguments.everyWordIsAFile();
    const int status = arguments.parse(argc, argv);
    if (status >= 0) return status;
    const std::vector<std::string>& words = arguments.files();
    if (words.size() < 3 || (words.size() - 1) % 2 != 0) return usageError(problem);
    path = words[0];
    parameters.assign(words.size() - 1, 0.0f);
    for (size_t i = 1; i < words.size(); ++i) {
        if (!argumentToFloat(words[i].c_str(), parameters[i - 1])) {
            return usageError("not a parameter value: \"" + words[i] + "\"");
        }
    }
    return -1;
}

// Parameters are printed with all the digits a float has, so that a pair just past the range
// does not print as its end.
int noPointAt(const char* path, float u, float v) {
    char line[80];
    snprintf(line, sizeof line, " has no surface point at (%.9g, %.9g)", static_cast<double>(u),
             static_cast<double>(v));
    printMessage(std::string("loftwork: ") + path + line);
    return 1;
}

// The surface's parameters run over [U[p], U[n + 1]] in each direction; past them the spans'
// polynomials would be extrapolated into points that are not on the surface. False, with the
// message and exit status 1 left to the caller, for a pair outside.
bool insideKnotRange(const char* path, const SurfaceModel& s, float u, float v) {
    if (surfaceArraysMatch(s) && !surfaceIsUsable(s)) {
        printMessage(std::string("loftwork: ") + path + ": " + degreePastPoints(s));
        return false;
    }
    const float u0 = s.knotsU[static_cast<size_t>(s.orderU - 1)];
    const float u1 = s.knotsU[static_cast<size_t>(s.countU)];
    const float v0 = s.knotsV[static_cast<size_t>(s.orderV - 1)];
    const float v1 = s.knotsV[static_cast<size_t>(s.countV)];
    if (u >= u0 && u <= u1 && v >= v0 && v <= v1) return true;
    char line[200];
    snprintf(line, sizeof line,
             ": (%.9g, %.9g) is outside the knot range [%.9g, %.9g] x [%.9g, %.9g]",
             static_cast<double>(u), static_cast<double>(v), static_cast<double>(u0),
             static_cast<double>(u1), static_cast<double>(v0), static_cast<double>(v1));
    printMessage(std::string("loftwork: ") + path + line);
    return false;
}

int evalCommand(int argc, char** argv) {
    std::string file;
    std::vector<float> parameters;
    const int status = readParameterPairs(
        argc, argv, "eval takes a surface file and one or more pairs u v", file, parameters);
    if (status >= 0) return status;
    const char* path = file.c_str();
    SurfaceModel surface;
    if (!loadForCommand(path, surface)) return 1;
    for (size_t i = 0; i < parameters.size(); i += 2) {
        if (!insideKnotRange(path, surface, parameters[i], parameters[i + 1])) return 1;
        float x, y, z;
        if (!evaluateSurfacePoint(surface, x, y, z, parameters[i], parameters[i + 1])) {
            return noPointAt(path, parameters[i], parameters[i + 1]);
        }
        printf("%.9g %.9g %.9g\n", static_cast<double>(x), static_cast<double>(y),
               static_cast<double>(z));
    }
    return 0;
}

// "K H" per pair; a pair where the surface has a point but no tangent plane (a pole, a
// degenerate patch) gets a line saying so, and the pairs after it are still printed.
int curvatureCommand(int argc, char** argv) {
    std::string file;
    std::vector<float> parameters;
    const int status = readParameterPairs(
        argc, argv, "curvature takes a surface file and one or more pairs u v", file, parameters);
    if (status >= 0) return status;
    const char* path = file.c_str();
    SurfaceModel surface;
    if (!loadForCommand(path, surface)) return 1;
    for (size_t i = 0; i < parameters.size(); i += 2) {
        const float u = parameters[i], v = parameters[i + 1];
        if (!insideKnotRange(path, surface, u, v)) return 1;
        SurfaceCurvature c;
        switch (evaluateSurfaceCurvature(surface, u, v, c)) {
            case CurvatureStatus::Defined:
                // + 0.0 prints a zero curvature as 0, not -0.
                printf("%.9g %.9g\n", static_cast<double>(c.gaussian) + 0.0,
                       static_cast<double>(c.mean) + 0.0);
                break;
            case CurvatureStatus::Undefined:
                printf("undefined: no normal at (%.9g, %.9g)\n", static_cast<double>(u),
                       static_cast<double>(v));
                break;
            case CurvatureStatus::NoPoint:
                return noPointAt(path, u, v);
        }
    }
    return 0;
}

// What --start-bulge, --end-bulge, --start-length and --end-length need.
std::string endNumberNeeds(const char* name) {
    return std::string(name) + (strstr(name, "bulge") != nullptr ? " needs a number above 0"
                                                                 : " needs a number of at least 0");
}

int skinCommand(int argc, char** argv) {
    using Repeat = CommandArguments::Repeat;
    const char* const kEnds[] = {"--start", "--end"};
    const char* const kEndNumbers[] = {"--start-bulge", "--end-bulge", "--start-length",
                                       "--end-length"};
    CommandArguments arguments("loftwork", kUsage);
    arguments.callUnknownOptions("unknown skin option");
    arguments.option("--params", "--params needs chord, centripetal or uniform", Repeat::many);
    arguments.flag("--closed");
    arguments.option("--rational", "--rational needs homogeneous or compatible", Repeat::many);
    for (const char* name : kEnds) {
        arguments.option(name, std::string(name) + " needs free, point or tangent", Repeat::many);
    }
    for (const char* name : kEndNumbers) arguments.option(name, endNumberNeeds(name), Repeat::many);
    arguments.flag("--align");
    const int status = arguments.parse(argc, argv);
    if (status >= 0) return status;

    // Every value is checked; where an option is given again, the last one counts.
    LoftOptions options;
    for (const std::string& value : arguments.values("--params")) {
        if (!parseLoftParameters(value.c_str(), options.parameters)) {
            return usageError("unknown section parameters \"" + value +
                              "\" (chord, centripetal or uniform)");
        }
    }
    options.closed = arguments.given("--closed");
    for (const std::string& value : arguments.values("--rational")) {
        if (!parseLoftRational(value.c_str(), options.rational)) {
            return usageError("--rational needs homogeneous or compatible");
        }
    }
    for (const char* name : kEnds) {
        LoftEnd& end = name[2] == 's' ? options.start : options.end;
        for (const std::string& value : arguments.values(name)) {
            std::string problem = std::string(name) + " needs free, point or tangent";
            if (!parseLoftEnd(value.c_str(), end, problem)) return usageError(problem);
        }
    }
    for (const char* name : kEndNumbers) {
        LoftEnd& end = name[2] == 's' ? options.start : options.end;
        const bool bulge = strstr(name, "bulge") != nullptr;
        for (const std::string& value : arguments.values(name)) {
            float number;
            if (!argumentToFloat(value.c_str(), number) ||
                (bulge ? !(number > 0.0f) : !(number >= 0.0f))) {
                return usageError(endNumberNeeds(name));
            }
            (bulge ? end.bulge : end.length) = number;
        }
    }
    const bool align = arguments.given("--align");
    if (arguments.files().size() != 2) {
        return usageError("skin takes an input and an output surface file");
    }
    const char* paths[2] = {arguments.files()[0].c_str(), arguments.files()[1].c_str()};
    SurfaceModel surface;
    if (!loadForCommand(paths[0], surface)) return 1;
    if (align) {
        AlignmentReport report;
        std::string error;
        if (!alignSections(surface, report, error)) {
            printMessage(std::string("loftwork: ") + paths[0] + ": cannot align: " + error);
            return 1;
        }
        printf("align all: %d sections rearranged, total distance %.9g -> %.9g\n",
               report.changedSections, static_cast<double>(report.totalBefore),
               static_cast<double>(report.totalAfter));
    }
    DerivedNets derived;
    std::string refusal;
    if (!skinSurface(surface, options, derived, refusal) ||
        !skinnedNetUsable(surface, true, derived)) {
        printMessage("Skinning refused: " + refusal);
        printMessage(std::string("loftwork: ") + paths[0] +
                     ": the sections admit no skinned surface");
        return 1;
    }
    if (options.rational == LoftRational::compatible) {
        const int cols = surface.countU;
        int bad = -1;
        const int reference =
            commonWeightSection(surface.controlNet.data(), cols, surface.countV, bad);
        std::vector<PointH> common;
        const int changed = bringToCommonWeights(surface.controlNet.data(), cols, surface.countV,
                                                 reference, common);
        printf("rational sections compatible: %d of %d sections took the weights of section %d\n",
               changed, surface.countV, reference);
    }
    SurfaceModel skinned;
    return saveForCommand(paths[1], surfaceToSave(surface, true, derived, skinned)) ? 0 : 1;
}

struct Subcommand {
    const char* name;
    int (*run)(int argc, char** argv);  // argv[0] is the subcommand's name
};

const Subcommand kSubcommands[] = {
    {"info", infoCommand}, {"eval", evalCommand},       {"curvature", curvatureCommand},
    {"skin", skinCommand}, {"revolve", revolveCommand}, {"export", exportCommand},
    {"hydrostatics", hydrostaticsCommand},
    {"import", importCommand},
    {"lines", linesCommand},
    {"offsets", offsetsCommand},
    {"from-offsets", fromOffsetsCommand},
    {"rebuild", rebuildCommand},
};

bool isHelp(const char* argument) {
    return strcmp(argument, "--help") == 0 || strcmp(argument, "-h") == 0;
}

const Subcommand* findSubcommand(const char* name) {
    for (const Subcommand& command : kSubcommands) {
        if (strcmp(command.name, name) == 0) return &command;
    }
    return nullptr;
}

// Options glutInit takes from the command line, with whether each is followed by a value.
struct WindowOption {
    const char* name;
    bool takesValue;
};
const WindowOption kWindowOptions[] = {
    {"-display", true}, {"-geometry", true}, {"-direct", false}, {"-indirect", false},
    {"-iconic", false}, {"-gldebug", false}, {"-sync", false},
};

// What the editor accepts: "--screenshot FILE" first, GLUT's window options, and words that
// look like file names (the editor has always started with such a word ignored). Any other
// word is a mistyped subcommand, and any other option an unknown one. Returns the index of the
// first argument the editor does not take, or 0 when it takes them all.
int firstArgumentRefused(int argc, char** argv) {
    int i = 1;
    if (i < argc && strcmp(argv[i], "--screenshot") == 0) {
        if (i + 1 >= argc) return i;
        i += 2;
    }
    for (; i < argc; ++i) {
        const char* word = argv[i];
        if (word[0] == '-') {
            const WindowOption* found = nullptr;
            for (const WindowOption& option : kWindowOptions) {
                if (strcmp(option.name, word) == 0) found = &option;
            }
            if (found == nullptr || (found->takesValue && i + 1 >= argc)) return i;
            if (found->takesValue) ++i;
        } else if (strchr(word, '/') == nullptr && strchr(word, '.') == nullptr) {
            return i;
        }
    }
    return 0;
}

// A signal that ends a subcommand first removes the hidden temporary file of a write in
// progress, then ends the process as the signal would have, so whoever sent it sees it did.
void endOnSignal(int number) {
    removeTemporaryFiles();
    signal(number, SIG_DFL);
    raise(number);
}

void prepareSignals() {
    // Past the file-size limit a write fails with EFBIG, which is reported like any other
    // failed write, instead of ending the process.
    signal(SIGXFSZ, SIG_IGN);
    struct sigaction action = {};
    action.sa_handler = endOnSignal;
    sigemptyset(&action.sa_mask);
    for (const int number : {SIGTERM, SIGINT, SIGHUP}) sigaction(number, &action, nullptr);
}

// Runs the subcommand; a failure nobody below caught (memory running out, above all) ends it
// with a message and status 1. Files are only ever replaced whole, so none is left half written.
int runCaught(const Subcommand& command, int argc, char** argv) {
    prepareSignals();
    try {
        return command.run(argc, argv);
    } catch (const std::bad_alloc&) {
        printMessage(std::string("loftwork: ") + command.name +
                     ": there is not enough memory; no file was changed");
    } catch (const std::exception& failure) {
        printMessage(std::string("loftwork: ") + command.name + ": " + failure.what() +
                     "; no file was changed");
    }
    return 1;
}

}  // namespace

bool isCommandLineInvocation(int argc, char** argv) {
    if (argc < 2 || argv[1] == nullptr) return false;
    return isHelp(argv[1]) || findSubcommand(argv[1]) != nullptr ||
           firstArgumentRefused(argc, argv) != 0;
}

int runCommandLine(int argc, char** argv) {
    if (argc < 2 || argv[1] == nullptr) return usageError("no subcommand given");
    if (isHelp(argv[1])) {
        fputs(kUsage, stdout);
        return 0;
    }
    const Subcommand* command = findSubcommand(argv[1]);
    if (command == nullptr) {
        const int refused = std::max(firstArgumentRefused(argc, argv), 1);
        const char* word = argv[refused];
        const bool option = word[0] == '-';
        std::string problem =
            std::string("unknown ") + (option ? "option" : "subcommand") + " \"" + word + "\"";
        if (option && refused + 1 >= argc && strcmp(word, "--screenshot") == 0) {
            problem = "--screenshot needs a file name";
        } else if (option && refused + 1 >= argc &&
                   (strcmp(word, "-display") == 0 || strcmp(word, "-geometry") == 0)) {
            problem = std::string(word) + " needs a value";
        }
        return usageError(problem);
    }
    return runCaught(*command, argc - 1, argv + 1);
}
