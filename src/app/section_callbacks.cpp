// The current section's panel callbacks, on the editor's record.
#include "app/section_callbacks.h"

#include "model/derived_nets.h"
#include "model/editor_state.h"
#include "model/section_correspondence.h"
#include "model/surface_commands.h"
#include "model/transforms.h"

void currentSectionCallback(int /*id*/) {
    refreshShownValues(editor);
}

void scaleUpCallback(int /*id*/) {
    scaleCurrentSection(editor, kScaleUpFactor);
}

void scaleDownCallback(int /*id*/) {
    scaleCurrentSection(editor, kScaleDownFactor);
}

void translateXCallback(int /*id*/) {
    translateByControl(editor, TranslateControl::x);
}

void translateYCallback(int /*id*/) {
    translateByControl(editor, TranslateControl::y);
}

void translateZCallback(int /*id*/) {
    translateByControl(editor, TranslateControl::z);
}

void translateZYCallback(int /*id*/) {
    translateByControl(editor, TranslateControl::zy);
}

void rotationCallback(int /*id*/) {
    rotateCurrentSection(editor);
}

void zRotCallback(int /*id*/) {
    rotateCurrentSectionAboutZ(editor);
}

void weightCallback(int /*id*/) {
    reweightPickedPoint(editor);
}

void copySectionCallback(int /*id*/) {
    copyCurrentSection(editor);
}

void flipSectionCallback(int /*id*/) {
    flipCurrentSection(editor);
}

void startBackCallback(int /*id*/) {
    turnCurrentSectionStart(editor, -1);
}

void startForwardCallback(int /*id*/) {
    turnCurrentSectionStart(editor, 1);
}

void alignSectionsCallback(int /*id*/) {
    alignAllSections(editor);
}
