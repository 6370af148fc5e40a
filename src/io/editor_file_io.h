// Loading a surface file into the editor state and saving the editor's surface to a file, and the
// writer they share with the command line and the recovery file. Only the two editor routines
// read the editor itself.
#pragma once

#include <functional>
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

// Reads the file at path into out, or says why not in error; note, when not empty, is the
// message a successful read gives instead of the size alone.
using SurfaceReader = std::function<bool(const std::string& path, SurfaceModel& out,
                                         std::string& error, std::string& note)>;

// Reads and checks the whole file at path, then replaces the editor's surface with it: sizes,
// knots (clamped uniform ones for a direction the file gives none), control net; multiplicity
// becomes 1, the expanded net is released and the derived nets and selection follow the new
// sizes; the knot controls are rebuilt and the panel refreshed. A reader other than the surface
// file's (an import of another program's file) may be given. On failure returns false and
// leaves the editor state exactly as it was. message says what happened either way.
bool loadEditorSurface(const char* path, std::string& message, const SurfaceReader& reader = {});

// Writes the editor's surface to path: the control net with knotsV, or, while skinning is on
// and the skinned net is up to date, the skinned net with its own V knots (skinnedKnotsV), so
// that the file describes the surface shown. The previous file survives any failure. message
// says what happened either way.
bool saveEditorSurface(const char* path, std::string& message);
