// Keeps everything computed from the surface (skinned net, expanded net) and the selection
// indices consistent with the surface's current sizes.
#pragma once

// Call after any operation that changes countU, countV, orderU, orderV or replaces a net or a
// knot vector. Brings currentSection, destPlane, selectedPoint and pickedPointOffset back into
// range, drops the expanded net (the main view rebuilds it on its next frame) and, while
// skinning is on, skins again; a skinned net that cannot be rebuilt is dropped so that it is
// never drawn or saved with the wrong size.
void syncDerivedNets();

// Brings the selection indices back into the ranges the current counts allow.
void clampSelection();

// True while skinning is on and skinnedNet / skinnedKnotsV match the current counts.
bool skinnedNetUsable();

// Releases expandedNet and expandedKnotsV.
void releaseExpandedNet();

// Builds expandedNet and expandedKnotsV from controlNet: every section repeated
// `multiplicity` times, with a clamped uniform V knot vector. The id is the calling control's
// and is ignored. Without a usable surface, or with a multiplicity below 1, both stay empty.
void rebuildExpandedNet(int id = -1);
