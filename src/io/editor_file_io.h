// Loading a surface file into the editor state and saving the editor's surface to a file.
#pragma once

#include <string>

// Reads and checks the whole file at path, then replaces the editor's surface with it: sizes,
// knots (clamped uniform ones for a direction the file gives none), control net; multiplicity
// becomes 1, the expanded net is released and the derived nets and selection follow the new
// sizes; the knot controls are rebuilt and the panel refreshed. On failure returns false and
// leaves the editor state exactly as it was. message says what happened either way.
bool loadEditorSurface(const char* path, std::string& message);

// Writes the editor's surface to path: the control net with knotsV, or, while skinning is on
// and the skinned net is up to date, the skinned net with its own V knots (skinnedKnotsV), so
// that the file describes the surface shown. The previous file survives any failure. message
// says what happened either way.
bool saveEditorSurface(const char* path, std::string& message);
