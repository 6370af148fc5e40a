// Which point of one section joins which point of the next: reversing a section, moving the
// start of a closed section along it, and aligning every section to the one before it, so the
// loft through them does not twist.
#pragma once

#include <string>

#include "model/surface_model.h"

// A section is closed when its first and last points are the same four floats.
bool sectionIsClosed(const SurfaceModel& surface, int section);

// Reverses the order of the section's points. False, with the reason, and nothing changed, when
// there is no such section.
bool flipSection(SurfaceModel& surface, int section, std::string& error);

// Moves the start of a closed section by step points along it (negative: backwards): the
// distinct points P[0 .. n-2] turn round by step and the last point again repeats the new
// first, so the closed polygon keeps its shape. False, with the reason, and nothing changed,
// for a missing or open section or one of fewer than three points.
bool shiftSectionStart(SurfaceModel& surface, int section, int step, std::string& error);

// The sum over corresponding points of the distances between the Cartesian points of sections
// a and b.
float sectionDistance(const SurfaceModel& surface, int a, int b);

struct AlignmentReport {
    float totalBefore = 0.0f;  // sum of sectionDistance over consecutive sections, before
    float totalAfter = 0.0f;   // and after
    int changedSections = 0;   // sections whose order of points changed
};

// For every section after the first, in order, chooses the direction and (closed sections only)
// the start that give the least sectionDistance to the section before it, already aligned. The
// current arrangement is kept unless another one is strictly closer. False, with the reason,
// and nothing changed, without a usable surface.
bool alignSections(SurfaceModel& surface, AlignmentReport& report, std::string& error);

// Callbacks of the panel's "flip", "start -1", "start +1" and "align all" buttons: each one
// undoable step on the current section (every section for "align all"), with the outcome on the
// status line. The id is ignored.
void flipSectionCallback(int id);
void startBackCallback(int id);
void startForwardCallback(int id);
void alignSectionsCallback(int id);

// Callback of the "loft parameters" and "closed loft" controls: while skinning is on, skins
// again with the new options. Not an edit of the surface. The id is ignored.
void loftOptionsCallback(int id);
