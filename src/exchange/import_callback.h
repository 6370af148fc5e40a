// What the panel's "load points" button loads: STEP and IGES files besides surface files.
#pragma once

#include <string>

#include "model/editor_state.h"

// Loads the file at path into the state as "load points" does: a STEP or IGES name (.step,
// .stp, .igs, .iges) imports the file's largest face, any other name is read as a surface file.
// Either way the surface is replaced in one undoable step, or, on a refusal, the editor is left
// exactly as it was. message says what happened.
bool loadOrImportEditorSurface(EditorState& state, const char* path, std::string& message);
