// Loading a surface file into an editor state and saving its surface to a file.
#pragma once

#include <functional>
#include <string>

#include "io/surface_writer.h"
#include "model/editor_parts.h"
#include "model/editor_state.h"

// Reads the file at path into out, or says why not in error; note, when not empty, is the
// message a successful read gives instead of the size alone.
using SurfaceReader = std::function<bool(const std::string& path, SurfaceModel& out,
                                         std::string& error, std::string& note)>;

// Reads and checks the whole file at path, then replaces the state's surface with it: sizes,
// knots (clamped uniform ones for a direction the file gives none), control net; multiplicity
// becomes 1, the expanded net is released and the derived nets and selection follow the new
// sizes; the knot controls are rebuilt and the panel refreshed. A reader other than the surface
// file's (an import of another program's file) may be given. On failure returns false and
// leaves the state exactly as it was. The surface takes path as its file name, and the
// "file" box shows it. Unsaved changes of the surface it replaces are first written to that
// surface's recovery file; when they cannot be, nothing is loaded. message says what happened
// either way, and names recovery files of path kept from before.
bool loadEditorSurface(EditorState& state, const char* path, std::string& message,
                       const SurfaceReader& reader = {});

// Writes the state's surface to path: the control net with knotsV, or, while skinning is on
// and the skinned net is up to date, the skinned net with its own V knots (skinnedKnotsV), so
// that the file describes the surface shown. The previous file survives any failure. A file that
// changed on disk since the editor last loaded or saved it is not replaced unless the same save
// is asked again within a few seconds. After a save the surface takes path as its file name.
// message says what happened either way.
bool saveEditorSurface(EditorState& state, const char* path, std::string& message);

// ctrl+s: saveEditorSurface to the surface's own file, or to the "file" box's name when the
// surface has none yet.
bool saveEditorDocument(EditorState& state, std::string& message);
