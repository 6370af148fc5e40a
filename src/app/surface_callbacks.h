// Callbacks of the panel's controls over the whole surface: skinning and the loft options,
// "multipl.", "fill surf", undo and redo. Each runs the model's operation on the editor's record;
// the id is ignored.
#pragma once

void skinningCallback(int id);
void loftOptionsCallback(int id);
void multiplicityCallback(int id);
void fillSurfaceCallback(int id);
void undoCallback(int id);
void redoCallback(int id);
