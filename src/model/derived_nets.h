// Keeps everything computed from the surface (skinned net, expanded net) and the selection
// indices consistent with the surface's current sizes.
#pragma once

#include <string>

#include "model/editor_state.h"
#include "model/loft_options.h"

// Call after any operation that changes countU, countV, orderU, orderV or replaces a net or a
// knot vector. Brings the selection back into range, drops the expanded net (refreshShownValues
// builds it again) and, while skinning is on, skins again; a skinned net that
// cannot be rebuilt is dropped so that it is never drawn or saved with the wrong size. Returns
// false with the reason in refusal when skinning is on and refused.
bool syncDerivedNets(const SurfaceModel& surface, bool skinning, DerivedNets& derived,
                     Selection& selection, std::string& refusal,
                     const LoftOptions& options = LoftOptions());

// The same for a state, with its panel's skinning switch and loft options: a refusal goes to
// its status line, a success clears one shown there.
void syncDerivedNets(EditorState& state);

// Brings the selection indices back into the ranges the surface's counts allow.
void clampSelection(const SurfaceModel& surface, Selection& selection);

// Rows of control points in the skinned net (countV for an open loft, countV + orderV - 1 for a
// closed one), taken from the size of its knot vector; 0 when there is none.
int skinnedCountV(const SurfaceModel& surface, const DerivedNets& derived);

// True while skinning is on and skinnedNet / skinnedKnotsV match the surface's counts, as an
// open or a closed loft.
bool skinnedNetUsable(const SurfaceModel& surface, bool skinning, const DerivedNets& derived);

// True when the expanded net was built for the surface's counts, order and the multiplicity.
bool expandedNetMatchesCounts(const SurfaceModel& surface, const DerivedNets& derived);

// Releases expandedNet and expandedKnotsV.
void releaseExpandedNet(DerivedNets& derived);

// Empties expandedNet and expandedKnotsV for a rebuild, keeping their storage.
void markExpandedNetStale(DerivedNets& derived);

// Builds expandedNet and expandedKnotsV from controlNet: every section repeated
// derived.multiplicity times, with a clamped uniform V knot vector. Without a usable surface, or
// with a multiplicity below 1, both stay empty. A net of more than kMostNetPoints points is
// refused: false, both empty, the reason in refusal.
bool buildExpandedNet(const SurfaceModel& surface, DerivedNets& derived, std::string& refusal);

// buildExpandedNet, with a refused multiplicity lowered to the largest that fits: false, with
// what happened in message, when it had to be lowered.
bool fitExpandedNet(const SurfaceModel& surface, DerivedNets& derived, std::string& message);

// After the counts or orders changed: the values the panel shows and limits follow the new
// sizes. The degrees become the orders' (panel.degreeS, panel.degreeT), the multiplicity is
// brought into 1 .. orderV - 1 (the expanded net, built for the old one, is released) and the
// destination plane into the sections.
void followSurfaceShape(EditorState& state);

// Brings the values the views read into step with the surface and the current section: the
// section's centroid, and the expanded net when it is missing or of another shape (a
// multiplicity too large for it is lowered, with the message on the state's status line). The
// expanded net is a copy of controlNet taken when built: points moved in place leave it as it
// is.
void refreshShownValues(EditorState& state);
