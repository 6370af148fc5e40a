// Loading a surface file into the editor state and saving the editor's surface.
#include "io/editor_file_io.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <new>
#include <utility>
#include <vector>

#include "io/recovery_file.h"
#include "io/surface_file.h"
#include "model/derived_nets.h"
#include "model/editor_state.h"
#include "model/picked_point.h"
#include "model/surface_edit.h"
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

// Diagonal of the box around the Cartesian control points.
double cartesianBoxDiagonal(const SurfaceModel& s) {
    double low[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, high[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (const PointH& p : s.controlNet) {
        const double c[3] = {double{p.x} / p.w, double{p.y} / p.w, double{p.z} / p.w};
        for (int k = 0; k < 3; ++k) {
            low[k] = std::min(low[k], c[k]);
            high[k] = std::max(high[k], c[k]);
        }
    }
    return s.controlNet.empty() ? 0.0
                                : std::hypot(high[0] - low[0], high[1] - low[1], high[2] - low[2]);
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

std::string sizeText(int countU, int countV) {
    char text[64];
    snprintf(text, sizeof text, "%d x %d points", countU, countV);
    return text;
}

FileStamp fileStampOf(const std::string& path) {
    FileStamp stamp;
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return stamp;
    stamp.exists = true;
    stamp.device = static_cast<uint64_t>(info.st_dev);
    stamp.inode = static_cast<uint64_t>(info.st_ino);
    stamp.size = static_cast<int64_t>(info.st_size);
    stamp.modifiedNs =
        static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return stamp;
}

// A save over a file that changed on disk since the editor loaded or saved it waits for the
// same save asked again within kConfirmSeconds, with the file still as it was when first asked.
constexpr int kConfirmSeconds = 5;
struct PendingReplace {
    std::string path;
    FileStamp stamp;
    std::chrono::steady_clock::time_point asked;
};
PendingReplace gPendingReplace;

// True when path may be written now; otherwise false with why in message, and the next save
// of the same path within kConfirmSeconds goes ahead.
bool replaceConfirmed(const EditHistory& history, const std::string& path, std::string& message) {
    const SavedFile* known = savedFileNamed(history, path);
    if (known == nullptr || !known->stamp.exists) return true;
    const FileStamp now = fileStampOf(path);
    if (!now.exists || now == known->stamp) return true;
    const auto time = std::chrono::steady_clock::now();
    PendingReplace& pending = gPendingReplace;
    if (pending.path == path && pending.stamp == now &&
        time - pending.asked <= std::chrono::seconds(kConfirmSeconds)) {
        pending = PendingReplace();
        return true;
    }
    pending.path = path;
    pending.stamp = now;
    pending.asked = time;
    message = "not saved: " + path +
              " changed on disk since the editor last loaded or saved it (another program wrote "
              "it); save again within " +
              std::to_string(kConfirmSeconds) + " seconds to replace it";
    return false;
}

// Sets the "file" box to the document's file name.
void showFileName(PanelVariables& panel, const std::string& name) {
    snprintf(panel.surfaceFileName, sizeof panel.surfaceFileName, "%s", name.c_str());
}

// "; unsaved changes kept earlier are in NAME.recovered.surf (load one to see them)", naming the
// recovery files of path other than `except` (the one this load just wrote), or "" when there
// are none.
std::string recoveryNote(const std::string& path, const std::string& except) {
    std::vector<std::string> found = existingRecoveryFiles(path.c_str());
    found.erase(std::remove(found.begin(), found.end(), except), found.end());
    if (found.empty()) return "";
    std::string names;
    for (size_t i = 0; i < found.size() && i < 3; ++i) names += (i > 0 ? ", " : "") + found[i];
    if (found.size() > 3) names += " and " + std::to_string(found.size() - 3) + " more";
    return "; unsaved changes kept earlier are in " + names + " (load one to see them)";
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
    const double size = cartesianBoxDiagonal(s);
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

bool loadEditorSurface(const char* path, std::string& message, const SurfaceReader& reader) {
    const std::string name = path != nullptr ? path : "";
    if (name.empty()) {
        message = "no surface loaded: no file name given";
        return false;
    }
    SurfaceModel file;
    std::string error, note;
    // Stamped before reading: a write in between makes the next save ask, the safe side.
    const FileStamp stamp = fileStampOf(name);
    const bool read =
        reader ? reader(name, file, error, note) : readSurfaceFile(name.c_str(), file, error);
    if (!read || !editorCanTake(file, error)) {
        message = "cannot load " + name + ": " + error;
        return false;
    }
    file.fileName = name;

    // Unsaved changes of the surface shown are kept in its recovery file before it goes; when
    // they cannot be, it stays.
    EditorState& s = editor;
    std::string kept;
    std::string recovery;
    if (refreshUnsavedChanges(s) && surfaceArraysMatch(s.surface)) {
        if (!writeRecoveryFile(s.surface, s.surface.fileName.c_str(), recovery, error)) {
            message = "not loaded: the unsaved changes of the surface shown could not be kept (" +
                      error + "); save them first";
            return false;
        }
        kept = "unsaved changes of " +
               (s.surface.fileName.empty() ? std::string("the surface") : s.surface.fileName) +
               " kept in " + recovery + (error.empty() ? "" : " (" + error + ")") + "; ";
    }

    // Everything is checked; commit the new surface in one go, as one undoable step.
    runEdit(s, "load " + name, [&] {
        s.surface = std::move(file);
        s.panel.degreeS = s.surface.orderU - 1;
        s.panel.degreeT = s.surface.orderV - 1;
        s.derived.multiplicity = 1;
        clearPick(s.selection);
        surfaceEdited(s, EditEffect::reshaped, Redraw::later);
    });
    markSurfaceSaved(s, stamp);
    showFileName(s.panel, name);

    message = kept + (note.empty()
                          ? "loaded " + name + ": " + sizeText(s.surface.countU, s.surface.countV)
                          : note);
    if (s.surface.orderU > s.surface.countU || s.surface.orderV > s.surface.countV) {
        message +=
            " (too few points for its degrees: nothing to draw until \"degree S\" and "
            "\"degree T\" bring them into range)";
    }
    message += recoveryNote(name, recovery);
    return true;
}

bool saveEditorSurface(const char* path, std::string& message) {
    const std::string name = path != nullptr ? path : "";
    if (name.empty()) {
        message = "cannot save: no file name given";
        return false;
    }
    EditorState& s = editor;
    if (!replaceConfirmed(s.history, name, message)) return false;
    const bool skinning = s.panel.skinningEnabled != 0;
    SurfaceModel skinnedCopy;
    const SurfaceModel& saved = surfaceToSave(s.surface, skinning, s.derived, skinnedCopy);
    // Said before the file is written, and again with the outcome.
    const std::string warning = sixDecimalsWarning(saved);
    if (!warning.empty()) setStatusLine(s.panel, warning.c_str());
    std::string error;
    if (!writeSurfaceFile(name.c_str(), saved, error)) {
        message = "cannot save " + name + ": " + error;
        return false;
    }
    // The surface is now the file's: its name is the document's.
    s.surface.fileName = name;
    markSurfaceSaved(s, fileStampOf(name));
    showFileName(s.panel, name);
    message = "saved " + name + ": " + sizeText(s.surface.countU, s.surface.countV);
    if (&saved == &skinnedCopy) {
        message += " of the skinned surface";
    } else if (skinning) {
        message += " of the control net (the skinned surface is not available)";
    }
    if (!warning.empty()) message += "; " + warning;
    return true;
}

bool saveEditorDocument(std::string& message) {
    const std::string name =
        editor.surface.fileName.empty() ? editor.panel.surfaceFileName : editor.surface.fileName;
    return saveEditorSurface(name.c_str(), message);
}
