// Lists and counts of stations, waterlines and buttocks.
#include "model/lines_choice.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "model/plane_cuts.h"

bool parseLinesChoice(const char* text, LinesChoice& choice, std::string& error) {
    LinesChoice parsed;
    if (text == nullptr || text[0] == '\0') {
        error = "an empty list";
        return false;
    }
    // A whole number without a sign, decimal point or comma is a count.
    if (strspn(text, "0123456789") == strlen(text)) {
        errno = 0;
        const long count = strtol(text, nullptr, 10);
        if (count < 1 || count > 1000 || errno == ERANGE) {
            error = std::string("a count from 1 to 1000, not \"") + text + "\"";
            return false;
        }
        parsed.count = static_cast<int>(count);
        choice = parsed;
        return true;
    }
    const char* at = text;
    while (true) {
        char* stop = nullptr;
        const double value = strtod(at, &stop);
        if (stop == at || !std::isfinite(value) || (*stop != ',' && *stop != '\0')) {
            error = std::string("not a list of numbers \"v1,v2,...\" or a count: \"") + text + "\"";
            return false;
        }
        parsed.values.push_back(value);
        if (parsed.values.size() > 1000) {
            error = "more than 1000 values";
            return false;
        }
        if (*stop == '\0') break;
        at = stop + 1;
    }
    choice = parsed;
    return true;
}

std::vector<double> evenlySpaced(int axis, int count, double low, double high) {
    std::vector<double> values;
    if (axis == 0) {
        if (count == 1) return {0.5 * (low + high)};
        for (int k = 0; k < count; ++k) values.push_back(low + (high - low) * k / (count - 1));
    } else {
        for (int k = 1; k <= count; ++k) values.push_back(low + (high - low) * k / (count + 1));
    }
    return values;
}

std::vector<double> choiceValues(const LinesChoice& choice, int axis, const double box[6],
                                 const std::optional<MirrorPlane>& mirror) {
    if (!choice.values.empty() || choice.count == 0) return choice.values;
    double low = box[axis], high = box[axis + 3];
    if (axis == 2 && mirror && mirror->axis == 2) {
        const double centre = mirror->offset;
        if (high > centre) {
            low = std::max(low, centre);
        } else if (low < centre) {
            high = std::min(high, centre);
        }
    }
    return evenlySpaced(axis, choice.count, low, high);
}


namespace {

bool choiceOfBox(const char* name, const char* text, LinesChoice& choice, std::string& error) {
    choice = LinesChoice();
    if (text[0] == '\0') return true;
    if (parseLinesChoice(text, choice, error)) return true;
    error = std::string(name) + ": " + error;
    return false;
}

}  // namespace

bool linesValuesOfPanel(const SurfaceModel& shown, const PanelVariables& panel, LinesValues& values,
                        std::string& error) {
    LinesChoice stations, waterlines, buttocks;
    if (!choiceOfBox("stations", panel.linesStations, stations, error) ||
        !choiceOfBox("waterlines", panel.linesWaterlines, waterlines, error) ||
        !choiceOfBox("buttocks", panel.linesButtocks, buttocks, error)) {
        return false;
    }
    double box[6];
    if (!surfaceBox(shown, box, error)) return false;
    LinesValues made;
    if (panel.mirrorEnabled != 0 && mirrorPlaneIsSound(panel.mirrorPlane)) {
        made.mirror = panel.mirrorPlane;
    }
    made.stations = choiceValues(stations, 0, box, made.mirror);
    made.waterlines = choiceValues(waterlines, 1, box, made.mirror);
    made.buttocks = choiceValues(buttocks, 2, box, made.mirror);
    values = std::move(made);
    return true;
}
