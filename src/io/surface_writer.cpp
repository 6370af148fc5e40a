// The surface file writer the editor, the command line and the recovery file share: the checks
// a file must pass before it is written, and the warning when six decimals move a point.
#include "io/surface_writer.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <new>

#include "io/surface_file.h"
#include "model/derived_nets.h"
#include "model/surface_limits.h"

namespace {

// The value as the file's six decimals give it back.
double writtenValue(float value) {
    return std::nearbyint(static_cast<double>(value) * 1e6) / 1e6;
}

// Six decimals keep any coordinate of a net of ordinary size, but turn a surface a few
// millionths across into points at the origin, and a weight of 4e-8 into 0. A coordinate may
// move by at most kMostLoss of the net's largest coordinate, a weight by kMostLoss of itself, a
// knot by kMostLoss of the largest knot of its list. Returns false naming the first value that
// would not.
constexpr double kMostLoss = 0.01;

// A saved point that moves by more than this share of the surface's size is worth a warning.
constexpr double kMostMove = 1e-4;

bool sixDecimalsHold(const SurfaceModel& s, std::string& error) {
    double extent = 0.0;
    for (const PointH& p : s.controlNet) {
        extent = std::max(
            {extent, std::fabs(double{p.x}), std::fabs(double{p.y}), std::fabs(double{p.z})});
    }
    auto lost = [](float value, double scale) {
        return std::fabs(writtenValue(value) - value) > kMostLoss * scale;
    };
    char line[256];
    for (size_t i = 0; i < s.controlNet.size(); ++i) {
        const PointH& p = s.controlNet[i];
        const bool weight = lost(p.w, std::fabs(double{p.w}));
        if (weight || lost(p.x, extent) || lost(p.y, extent) || lost(p.z, extent)) {
            snprintf(line, sizeof line,
                     "point %zu of section %zu (%g %g %g, weight %g) would be written as "
                     "(%.6f %.6f %.6f, weight %.6f): six decimals cannot hold %s",
                     i % static_cast<size_t>(s.countU), i / static_cast<size_t>(s.countU),
                     double{p.x}, double{p.y}, double{p.z}, double{p.w}, writtenValue(p.x),
                     writtenValue(p.y), writtenValue(p.z), writtenValue(p.w),
                     weight ? "its weight" : "a surface this small");
            error = line;
            return false;
        }
    }
    const std::vector<float>* lists[2] = {&s.knotsU, &s.knotsV};
    for (int list = 0; list < 2; ++list) {
        double knotExtent = 0.0;
        for (float k : *lists[list]) knotExtent = std::max(knotExtent, std::fabs(double{k}));
        for (size_t i = 0; i < lists[list]->size(); ++i) {
            const float k = (*lists[list])[i];
            if (!lost(k, knotExtent)) continue;
            snprintf(line, sizeof line,
                     "knot %zu of %s (%g) would be written as %.6f: six decimals cannot hold "
                     "knots this close",
                     i, list == 0 ? "KNOTS_U" : "KNOTS_V", double{k}, writtenValue(k));
            error = line;
            return false;
        }
    }
    return true;
}

// True for a name ending in .step, .stp, .igs or .iges in any letter case.
bool namesStepOrIges(const char* path) {
    const std::string name = path;
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || name.find('/', dot) != std::string::npos) return false;
    std::string extension = name.substr(dot + 1);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == "step" || extension == "stp" || extension == "igs" || extension == "iges";
}

}  // namespace

bool surfaceFileText(const char* path, const SurfaceModel& surface, std::string& text,
                     std::string& error) {
    if (!surfaceArraysMatch(surface)) {
        error = "no complete surface is loaded";
        return false;
    }
    if (!surfaceIsFinite(surface)) {
        error = "the surface holds a value that is not a finite number";
        return false;
    }
    if (!sixDecimalsHold(surface, error)) return false;
    try {
        text.clear();
        formatSurfaceText(surface, path, text);
        return true;
    } catch (const std::bad_alloc&) {
        error = "not enough memory to format the file";
        return false;
    }
}

std::string sixDecimalsWarning(const SurfaceModel& s) {
    if (!surfaceArraysMatch(s) || !surfaceIsFinite(s) || s.countU < 1) return "";
    const double size = controlBoxDiagonal(s);
    if (!(size > 0.0) || !std::isfinite(size)) return "";
    // The point as a reader of the file gets it back: each stored value rounded to six decimals,
    // then to float, the weight divided out.
    auto read = [](float value) { return double{static_cast<float>(writtenValue(value))}; };
    double worst = 0.0;
    size_t at = 0;
    for (size_t i = 0; i < s.controlNet.size(); ++i) {
        const PointH& p = s.controlNet[i];
        const double w = read(p.w);
        if (!(w > 0.0) || !(p.w > 0.0f)) continue;  // a weight six decimals lose is refused
        const double move =
            std::hypot(read(p.x) / w - double{p.x} / p.w, read(p.y) / w - double{p.y} / p.w,
                       read(p.z) / w - double{p.z} / p.w);
        if (move > worst) {
            worst = move;
            at = i;
        }
    }
    if (!(worst > kMostMove * size)) return "";
    char line[256];
    snprintf(line, sizeof line,
             "warning: six decimals move point %zu of section %zu by %.3g, %.3g of the surface's "
             "size %.3g (scale the surface up, or give its small weights more room)",
             at % static_cast<size_t>(s.countU), at / static_cast<size_t>(s.countU), worst,
             worst / size, size);
    return line;
}

const SurfaceModel& surfaceToSave(const SurfaceModel& surface, bool skinning,
                                  const DerivedNets& derived, SurfaceModel& skinned) {
    if (!skinnedNetUsable(surface, skinning, derived)) return surface;
    skinned.countU = surface.countU;
    skinned.countV = skinnedCountV(surface, derived);  // more rows when the loft is closed
    skinned.orderU = surface.orderU;
    skinned.orderV = surface.orderV;
    skinned.knotCountU = surface.knotCountU;
    skinned.knotCountV = static_cast<int32_t>(derived.skinnedKnotsV.size());
    skinned.knotsU = surface.knotsU;
    skinned.knotsV = derived.skinnedKnotsV;
    skinned.controlNet = derived.skinnedNet;
    return skinned;
}

bool writeSurfaceFile(const char* path, const SurfaceModel& surface, std::string& error) {
    if (!surfaceArraysMatch(surface)) {
        error = "no complete surface is loaded";
        return false;
    }
    // Surface text under such a name would be taken for STEP or IGES, and after an import it
    // would replace the file the surface came from.
    if (namesStepOrIges(path)) {
        error =
            "a surface file is not STEP or IGES: save it under a .surf name (\"export\" "
            "writes STEP and IGES)";
        return false;
    }
    std::string text;
    return surfaceFileText(path, surface, text, error) && writeFileReplacing(path, text, error);
}
