// The panel's "load points" button, which takes STEP and IGES files besides surface files.
#pragma once

#include <string>

// Loads the file at path into the editor as "load points" does: a STEP or IGES name (.step,
// .stp, .igs, .iges) imports the file's largest face, any other name is read as a surface file.
// Either way the surface is replaced in one undoable step, or, on a refusal, the editor is left
// exactly as it was. message says what happened.
bool loadOrImportEditorSurface(const char* path, std::string& message);

// Callback of "load points": the file named in the "file" box, with the outcome on the status
// line. The id is ignored.
void loadOrImportCallback(int id);
