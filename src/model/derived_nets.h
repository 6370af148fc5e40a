// Keeps everything computed from the surface (skinned net, expanded net) and the selection
// indices consistent with the surface's current sizes.
#pragma once

#include <string>

#include "model/editor_state.h"
#include "model/loft_options.h"

// Call after any operation that changes countU, countV, orderU, orderV or replaces a net or a
// knot vector. Brings the selection back into range, drops the expanded net (the main view
// rebuilds it on its next frame) and, while skinning is on, skins again; a skinned net that
// cannot be rebuilt is dropped so that it is never drawn or saved with the wrong size. Returns
// false with the reason in refusal when skinning is on and refused.
bool syncDerivedNets(const SurfaceModel& surface, bool skinning, DerivedNets& derived,
                     Selection& selection, std::string& refusal,
                     const LoftOptions& options = LoftOptions());

// The same for the editor, reporting a skinning refusal on the status line.
void syncDerivedNets();

// Brings the selection indices back into the ranges the surface's counts allow.
void clampSelection(const SurfaceModel& surface, Selection& selection);

// Rows of control points in the skinned net (countV for an open loft, countV + orderV - 1 for a
// closed one), taken from the size of its knot vector; 0 when there is none.
int skinnedCountV(const SurfaceModel& surface, const DerivedNets& derived);

// True while skinning is on and skinnedNet / skinnedKnotsV match the surface's counts, as an
// open or a closed loft.
bool skinnedNetUsable(const SurfaceModel& surface, bool skinning, const DerivedNets& derived);
bool skinnedNetUsable();

// Releases expandedNet and expandedKnotsV.
void releaseExpandedNet(DerivedNets& derived);

// Builds expandedNet and expandedKnotsV from controlNet: every section repeated
// derived.multiplicity times, with a clamped uniform V knot vector. Without a usable surface, or
// with a multiplicity below 1, both stay empty. A net of more than kMostNetPoints points is
// refused: false, both empty, the reason in refusal.
bool buildExpandedNet(const SurfaceModel& surface, DerivedNets& derived, std::string& refusal);

// buildExpandedNet, with a refused multiplicity lowered to the largest that fits: false, with
// what happened in message, when it had to be lowered.
bool fitExpandedNet(const SurfaceModel& surface, DerivedNets& derived, std::string& message);

// Callback of "multipl.": fitExpandedNet on the editor, a lowered multiplicity reported on the
// status line. The id is ignored.
void rebuildExpandedNet(int id = -1);
