// The whole surface's panel callbacks, on the editor's record.
#include "app/surface_callbacks.h"

#include "model/editor_state.h"
#include "model/section_correspondence.h"
#include "model/skinning.h"
#include "model/surface_commands.h"
#include "model/surface_edit.h"

void skinningCallback(int /*id*/) {
    skinningSwitched(editor);
}

void loftOptionsCallback(int /*id*/) {
    loftOptionsChanged(editor);
}

// "multipl.": the expanded net is built again for the new multiplicity.
void multiplicityCallback(int /*id*/) {
    surfaceEdited(editor, EditEffect::multiplicity);
}

void fillSurfaceCallback(int /*id*/) {
    fillSurfaceChanged(editor);
}

void undoCallback(int /*id*/) {
    undoEdit(editor);
}

void redoCallback(int /*id*/) {
    redoEdit(editor);
}
