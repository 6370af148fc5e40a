// Which point of one section joins which point of the next: reversing a section, moving the
// start of a closed section along it, and aligning every section to the one before it, so the
// loft through them does not twist.
#pragma once

#include <string>

#include "model/editor_state.h"
#include "model/surface_model.h"

// A section is closed when its first and last points are the same four floats.
bool sectionIsClosed(const SurfaceModel& surface, int section);

// Reverses the order of the section's points. False, with the reason, and nothing changed, when
// there is no such section.
bool flipSection(SurfaceModel& surface, int section, std::string& error);

// Moves the start of a closed section by step points along it (negative: backwards): the
// distinct points P[0 .. n-2] turn round by step and the last point again repeats the new
// first, so the closed control polygon keeps its shape (its curve, clamped at its ends, does
// not: "start -1" and "start +1" use turnSectionStart, which keeps the curve). False, with the
// reason, and nothing changed, for a missing or open section or one of fewer than three points.
bool shiftSectionStart(SurfaceModel& surface, int section, int step, std::string& error);

// The sum over corresponding points of the distances between the Cartesian points of sections
// a and b (summed in double precision).
float sectionDistance(const SurfaceModel& surface, int a, int b);

struct AlignmentReport {
    float totalBefore = 0.0f;  // sum of sectionDistance over consecutive sections, before
    float totalAfter = 0.0f;   // and after
    int changedSections = 0;   // sections whose order of points changed
};

// For every section after the first, in order, chooses the direction and (closed sections only)
// the start that give the least sum of distances to the section before it, already aligned,
// compared in double precision. The current arrangement is kept unless another one is strictly
// closer; of equally close ones the first in the order direction, then start, wins. Sections of
// more than 128 distinct points try the starts where an FFT of the squared distances has its least
// minima, and their neighbourhoods, so the work grows as n log n rather than n squared. False, with
// the reason, and nothing changed, without a usable surface.
bool alignSections(SurfaceModel& surface, AlignmentReport& report, std::string& error);

// What the panel's "flip", "start -1" / "start +1" (step -1 or 1) and "align all" buttons do:
// each one undoable step on the state's current section (every section for "align all"), with
// the outcome on its status line. The start buttons move the start along the curve
// (turnSectionStart).
void flipCurrentSection(EditorState& state);
void turnCurrentSectionStart(EditorState& state, int step);
void alignAllSections(EditorState& state);

// What a change of the "loft parameters" and "closed loft" controls does: one undoable step that
// takes the controls' options for the loft and, while skinning is on, skins again with them.
void loftOptionsChanged(EditorState& state);
