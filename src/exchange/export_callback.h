// The panel's "export" button.
#pragma once

#include "model/editor_state.h"

// "export": writes the state's surface a save would write (the skinned one while skinning is
// on) to the file named in the "export" box, in the format of its extension, meshes within
// 1/1000 of the surface's size. The state's status line says what was written or why not.
void exportEditorSurface(EditorState& state);
