// The panel's "export" button.
#pragma once

// Callback of "export": writes the surface a save would write (the skinned one while skinning is
// on) to the file named in the "export" box, in the format of its extension, meshes within
// 1/1000 of the surface's size. The status line says what was written or why not. The id is
// ignored.
void exportCallback(int id);
