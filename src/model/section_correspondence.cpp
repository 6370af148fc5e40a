// Section correspondence: flip, start shift and alignment of sections, and their callbacks.
#include "model/section_correspondence.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "model/editor_state.h"
#include "model/loft_options.h"
#include "model/surface_edit.h"

namespace {

bool samePoint(const PointH& a, const PointH& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w;
}

float cartesianDistance(const PointH& a, const PointH& b) {
    const float dx = a.x / a.w - b.x / b.w;
    const float dy = a.y / a.w - b.y / b.w;
    const float dz = a.z / a.w - b.z / b.w;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

std::string missingSection(int section) {
    return "no section " + std::to_string(section);
}

// The points of a section rearranged: reversed or not, then started `shift` distinct points
// on (shift only for a closed section, whose last point repeats the first).
void arrange(const PointH* from, int n, bool closed, bool reversed, int shift, PointH* to) {
    std::vector<PointH> ordered(from, from + n);
    if (reversed) std::reverse(ordered.begin(), ordered.end());
    if (!closed || shift == 0) {
        std::copy(ordered.begin(), ordered.end(), to);
        return;
    }
    const int m = n - 1;  // distinct points
    for (int i = 0; i < m; ++i) to[i] = ordered[static_cast<size_t>((i + shift) % m)];
    to[m] = to[0];
}

float distanceTo(const PointH* previous, const PointH* points, int n) {
    float sum = 0.0f;
    for (int i = 0; i < n; ++i) sum += cartesianDistance(previous[i], points[i]);
    return sum;
}

}  // namespace

bool sectionIsClosed(const SurfaceModel& surface, int section) {
    if (!hasSection(surface, section) || surface.countU < 2) return false;
    const PointH* points = sectionPoints(surface, section);
    return samePoint(points[0], points[surface.countU - 1]);
}

bool flipSection(SurfaceModel& surface, int section, std::string& error) {
    if (!hasSection(surface, section)) {
        error = missingSection(section);
        return false;
    }
    PointH* points = sectionPoints(surface, section);
    std::reverse(points, points + surface.countU);
    return true;
}

bool shiftSectionStart(SurfaceModel& surface, int section, int step, std::string& error) {
    if (!hasSection(surface, section)) {
        error = missingSection(section);
        return false;
    }
    if (surface.countU < 3 || !sectionIsClosed(surface, section)) {
        error = "section " + std::to_string(section) +
                " is not closed (its first and last points differ): its start cannot move";
        return false;
    }
    const int m = surface.countU - 1;
    const int shift = ((step % m) + m) % m;
    PointH* points = sectionPoints(surface, section);
    std::vector<PointH> before(points, points + surface.countU);
    arrange(before.data(), surface.countU, true, false, shift, points);
    return true;
}

float sectionDistance(const SurfaceModel& surface, int a, int b) {
    if (!hasSection(surface, a) || !hasSection(surface, b)) return 0.0f;
    return distanceTo(sectionPoints(surface, a), sectionPoints(surface, b), surface.countU);
}

bool alignSections(SurfaceModel& surface, AlignmentReport& report, std::string& error) {
    if (!surfaceIsUsable(surface)) {
        error = "no surface to align";
        return false;
    }
    const int n = surface.countU;
    report = AlignmentReport();
    for (int k = 1; k < surface.countV; ++k)
        report.totalBefore += sectionDistance(surface, k - 1, k);
    std::vector<PointH> candidate(static_cast<size_t>(n));
    std::vector<PointH> best(static_cast<size_t>(n));
    for (int k = 1; k < surface.countV; ++k) {
        const PointH* previous = sectionPoints(surface, k - 1);
        PointH* points = sectionPoints(surface, k);
        const bool closed = n >= 3 && sectionIsClosed(surface, k);
        const int shifts = closed ? n - 1 : 1;
        float bestDistance = distanceTo(previous, points, n);
        bool changed = false;
        for (int reversed = 0; reversed < 2; ++reversed) {
            for (int shift = 0; shift < shifts; ++shift) {
                if (reversed == 0 && shift == 0) continue;  // the arrangement it has
                arrange(points, n, closed, reversed != 0, shift, candidate.data());
                const float d = distanceTo(previous, candidate.data(), n);
                if (d < bestDistance) {
                    bestDistance = d;
                    best = candidate;
                    changed = true;
                }
            }
        }
        if (changed) {
            std::copy(best.begin(), best.end(), points);
            ++report.changedSections;
        }
    }
    for (int k = 1; k < surface.countV; ++k)
        report.totalAfter += sectionDistance(surface, k - 1, k);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Callbacks.

namespace {

// One undoable step on the current section: change returns false with the reason when it
// cannot be applied, and then nothing is recorded.
template <typename Change>
void editCurrentSection(const std::string& name, Change change) {
    EditorState& s = editor;
    const int section = s.selection.currentSection;
    runEdit(s, name + " section " + std::to_string(section), [&] {
        std::string error;
        if (!change(s.surface, section, error)) {
            setStatus("%s: %s", name.c_str(), error.c_str());
            return;
        }
        setStatus("%s: section %d done", name.c_str(), section);
        surfaceEdited(s, EditEffect::movedPoints, Redraw::later);
    });
}

}  // namespace

void flipSectionCallback(int /*id*/) {
    editCurrentSection("flip", [](SurfaceModel& surface, int section, std::string& error) {
        return flipSection(surface, section, error);
    });
}

void startBackCallback(int /*id*/) {
    editCurrentSection("start -1", [](SurfaceModel& surface, int section, std::string& error) {
        return shiftSectionStart(surface, section, -1, error);
    });
}

void startForwardCallback(int /*id*/) {
    editCurrentSection("start +1", [](SurfaceModel& surface, int section, std::string& error) {
        return shiftSectionStart(surface, section, 1, error);
    });
}

void alignSectionsCallback(int /*id*/) {
    EditorState& s = editor;
    runEdit(s, "align all", [&] {
        AlignmentReport report;
        std::string error;
        if (!alignSections(s.surface, report, error)) {
            setStatus("align all: %s", error.c_str());
            return;
        }
        setStatus("align all: %d sections rearranged, total distance %g -> %g",
                  report.changedSections, static_cast<double>(report.totalBefore),
                  static_cast<double>(report.totalAfter));
        // A skinning refusal, if any, replaces the message above.
        if (report.changedSections > 0) surfaceEdited(s, EditEffect::movedPoints, Redraw::later);
    });
}

void loftOptionsCallback(int /*id*/) {
    EditorState& s = editor;
    const LoftOptions options = loftOptionsOf(s.panel);
    setStatus("loft: %s parameters, %s%s", loftParametersName(options.parameters),
              options.closed ? "closed" : "open",
              s.panel.skinningEnabled != 0 ? "" : " (used once skinning is on)");
    if (s.panel.skinningEnabled != 0) surfaceEdited(s, EditEffect::movedPoints, Redraw::later);
}
