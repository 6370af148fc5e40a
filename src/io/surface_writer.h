// The surface file writer the editor, the command line and the recovery file share.
#pragma once

#include <string>

#include "model/editor_parts.h"

// The surface a save writes: the surface itself, or, while skinning is on and the skinned net
// matches the surface's counts, a copy (in skinned) with the skinned net and its own V knots, so
// that the file describes the surface shown.
const SurfaceModel& surfaceToSave(const SurfaceModel& surface, bool skinning,
                                  const DerivedNets& derived, SurfaceModel& skinned);

// Formats the surface and writes it to path, the FILENAME line naming path. Refuses a surface
// whose arrays do not match its counts, that holds a value that is not finite, or one the file's
// six decimals would not hold (a weight, or a coordinate or knot against the net's or knots'
// size, moved by more than 1 %), naming the first such value. The previous file survives any
// failure. A name ending in .step, .stp, .igs or .iges is refused: the file would be taken for
// one of those formats. False with the reason in error.
bool writeSurfaceFile(const char* path, const SurfaceModel& surface, std::string& error);

// Empty when the file's six decimals keep every control point within 1e-4 of the surface's size
// (the diagonal of the box around its Cartesian control points); otherwise a one-line warning
// naming the point they move most (its index in its section, the section) and by how much. Saves
// go ahead either way.
std::string sixDecimalsWarning(const SurfaceModel& surface);

// The text writeSurfaceFile writes (FILENAME naming path), after the same checks.
bool surfaceFileText(const char* path, const SurfaceModel& surface, std::string& text,
                     std::string& error);
