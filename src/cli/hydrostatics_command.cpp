// The "hydrostatics" subcommand: the figures of a hull surface at one draft or a table of
// drafts, as a readable table on standard output and optionally as CSV files.
#include "cli/hydrostatics_command.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_arguments.h"
#include "cli/command_support.h"
#include "hull/hydrostatics.h"
#include "io/surface_file.h"

namespace {

const char kHydrostaticsUsage[] =
    "usage: loftwork hydrostatics FILE (--draft T | --drafts T1:T2:N) [--mirror z=C]\n"
    "                             [--density RHO] [--stations N] [--csv OUT.csv] [--sac OUT.csv]\n"
    "  Figures of the hull FILE floating at draft T above its lowest point (x along the length,\n"
    "  y up, z across), integrated on the exact surface. --drafts gives N evenly spaced drafts\n"
    "  from T1 to T2. A half model (an edge on the mirror plane, z = 0 unless --mirror says\n"
    "  otherwise) is counted with its mirror image. --density is the water's, default 1.025\n"
    "  (t/m^3). --csv writes one row per draft; --sac writes the sectional area curve at one\n"
    "  draft at N stations along the waterline (default 21).\n";

bool wholeDouble(const char* text, double& value) {
    char* stop = nullptr;
    const double parsed = strtod(text, &stop);
    if (stop == text || *stop != '\0' || !std::isfinite(parsed)) return false;
    value = parsed;
    return true;
}

bool wholeCount(const char* text, int lowest, int highest, int& value) {
    char* stop = nullptr;
    const long parsed = strtol(text, &stop, 10);
    if (stop == text || *stop != '\0' || parsed < lowest || parsed > highest) return false;
    value = static_cast<int>(parsed);
    return true;
}

// "T1:T2:N": N drafts from T1 to T2.
bool parseDrafts(const char* text, std::vector<double>& drafts) {
    const std::string s = text;
    const size_t a = s.find(':'), b = s.find(':', a == std::string::npos ? a : a + 1);
    if (a == std::string::npos || b == std::string::npos) return false;
    double t1, t2;
    int n;
    if (!wholeDouble(s.substr(0, a).c_str(), t1) ||
        !wholeDouble(s.substr(a + 1, b - a - 1).c_str(), t2) ||
        !wholeCount(s.substr(b + 1).c_str(), 1, 10000, n)) {
        return false;
    }
    drafts.clear();
    for (int i = 0; i < n; ++i) drafts.push_back(n == 1 ? t1 : t1 + (t2 - t1) * i / (n - 1));
    return true;
}

struct Column {
    const char* name;
    const HullFigure Hydrostatics::*figure;
    const char* unit;
};

const Column kColumns[] = {
    {"volume", &Hydrostatics::volume, "units^3"},
    {"displacement", &Hydrostatics::displacement, "t"},
    {"lcb", &Hydrostatics::lcb, "x"},
    {"vcb", &Hydrostatics::vcb, "y"},
    {"tcb", &Hydrostatics::tcb, "z"},
    {"waterplane_area", &Hydrostatics::waterplaneArea, "units^2"},
    {"lcf", &Hydrostatics::lcf, "x"},
    {"bmt", &Hydrostatics::bmt, "units"},
    {"bml", &Hydrostatics::bml, "units"},
    {"kmt", &Hydrostatics::kmt, "above lowest"},
    {"wetted_area", &Hydrostatics::wettedArea, "units^2"},
    {"lwl", &Hydrostatics::lwl, "units"},
    {"bwl", &Hydrostatics::bwl, "units"},
    {"cb", &Hydrostatics::cb, ""},
    {"cp", &Hydrostatics::cp, ""},
    {"cm", &Hydrostatics::cm, ""},
    {"cwp", &Hydrostatics::cwp, ""},
};

void printOne(const Hydrostatics& h, const HullModel& model) {
    printf("%-16s %.10g (waterplane y = %.10g)\n", "draft", h.draft, h.waterplaneY);
    if (h.halfModel) {
        printf("%-16s half model, counted with its mirror image across z = %.9g\n", "hull",
               model.mirrorZ);
    }
    for (const Column& c : kColumns) {
        const HullFigure& f = h.*c.figure;
        printf("%-16s %17.10g  +- %.2g %s\n", c.name, f.value, f.error, c.unit);
    }
}

void printTable(const std::vector<Hydrostatics>& rows) {
    printf("%10s", "draft");
    for (const Column& c : kColumns) printf(" %12.12s", c.name);
    printf("\n");
    for (const Hydrostatics& h : rows) {
        printf("%10.6g", h.draft);
        for (const Column& c : kColumns) printf(" %12.7g", (h.*c.figure).value);
        printf("\n");
    }
}

std::string tableCsv(const std::vector<Hydrostatics>& rows) {
    std::string out = "draft";
    for (const Column& c : kColumns) out += std::string(",") + c.name;
    out += "\n";
    char number[40];
    for (const Hydrostatics& h : rows) {
        snprintf(number, sizeof number, "%.17g", h.draft);
        out += number;
        for (const Column& c : kColumns) {
            snprintf(number, sizeof number, ",%.17g", (h.*c.figure).value);
            out += number;
        }
        out += "\n";
    }
    return out;
}

std::string sacCsv(const Hydrostatics& h) {
    std::string out = "x,area\n";
    char line[80];
    for (size_t i = 0; i < h.stationX.size(); ++i) {
        snprintf(line, sizeof line, "%.17g,%.17g\n", h.stationX[i], h.sectionArea[i].value);
        out += line;
    }
    return out;
}

bool writeCsv(const char* path, const std::string& text) {
    std::string error;
    if (writeFileReplacing(path, text, error)) return true;
    printMessage(std::string("loftwork: cannot save ") + path + ": " + error);
    return false;
}

}  // namespace

int hydrostaticsCommand(int argc, char** argv) {
    CommandArguments arguments("loftwork hydrostatics", kHydrostaticsUsage);
    for (const char* name : {"--draft", "--drafts"}) {
        arguments.option(name, std::string(name) + " needs a value",
                         CommandArguments::Repeat::many);
    }
    for (const char* name : {"--mirror", "--density", "--stations", "--csv", "--sac"}) {
        arguments.option(name, std::string(name) + " needs a value");
    }
    const int status = arguments.parse(argc, argv);
    if (status >= 0) return status;
    if (arguments.values("--draft").size() + arguments.values("--drafts").size() > 1) {
        return arguments.usageError("give one draft or drafts");
    }
    const auto quoted = [](const char* value) { return "\"" + std::string(value) + "\""; };
    std::optional<double> draft, mirror, density;
    std::optional<int> stations;
    std::vector<double> drafts;
    if (const char* value = arguments.value("--draft")) {
        double t;
        if (!wholeDouble(value, t)) return arguments.usageError("not a draft: " + quoted(value));
        draft = t;
    }
    if (const char* value = arguments.value("--drafts")) {
        if (!parseDrafts(value, drafts)) {
            return arguments.usageError("not a range of drafts T1:T2:N: " + quoted(value));
        }
    }
    if (const char* value = arguments.value("--mirror")) {
        double c;
        if (strncmp(value, "z=", 2) != 0 || !wholeDouble(value + 2, c)) {
            return arguments.usageError("not a mirror plane: " + quoted(value) +
                                          " (a hull mirrors across z=C, C finite)");
        }
        mirror = c;
    }
    if (const char* value = arguments.value("--density")) {
        double rho;
        if (!wholeDouble(value, rho) || !(rho > 0.0)) {
            return arguments.usageError("not a density above 0: " + quoted(value));
        }
        density = rho;
    }
    if (const char* value = arguments.value("--stations")) {
        int n;
        if (!wholeCount(value, 2, 10000, n)) {
            return arguments.usageError("not a number of stations from 2 to 10000: " +
                                          quoted(value));
        }
        stations = n;
    }
    const char* csv = arguments.value("--csv");
    const char* sac = arguments.value("--sac");
    if (arguments.files().size() > 1) {
        return arguments.usageError("hydrostatics takes one surface file");
    }
    const char* input = arguments.files().empty() ? nullptr : arguments.files()[0].c_str();
    if (input == nullptr) return arguments.usageError("hydrostatics takes a surface file");
    if (!draft && drafts.empty()) return arguments.usageError("give --draft T or --drafts");
    if (sac != nullptr && !draft) return arguments.usageError("--sac needs one --draft");
    if (stations && sac == nullptr) return arguments.usageError("--stations goes with --sac");

    SurfaceModel surface;
    if (!loadForCommand(input, surface)) return 1;
    HullModel model;
    std::string error;
    if (!prepareHull(surface, mirror.value_or(0.0), model, error)) {
        printMessage(std::string("loftwork: ") + input + ": " + error);
        return 1;
    }
    HydrostaticsOptions options;
    options.density = density.value_or(options.density);
    if (draft) {
        drafts.assign(1, *draft);
        if (sac != nullptr) options.stations = stations.value_or(21);
    }
    std::vector<Hydrostatics> rows;
    for (double t : drafts) {
        Hydrostatics h;
        if (!computeHydrostatics(model, t, options, h, error)) {
            char at[48];
            snprintf(at, sizeof at, ": at draft %.9g: ", t);
            printMessage(std::string("loftwork: ") + input + at + error);
            return 1;
        }
        rows.push_back(std::move(h));
    }
    if (draft) {
        printOne(rows[0], model);
    } else {
        printTable(rows);
    }
    if (csv != nullptr && !writeCsv(csv, tableCsv(rows))) return 1;
    if (sac != nullptr && !writeCsv(sac, sacCsv(rows[0]))) return 1;
    return 0;
}
