// Placeholder until the control panel lands: loads the configured surface.
#include "app/control_panel.h"

#include "io/serializator.h"
#include "model/editor_state.h"

void buildControlPanel() { DefaultSerializator::getInstance()->load(-1); }
void rebuildKnotControls() {
    editor.degreeS = editor.orderU - 1;
    editor.degreeT = editor.orderV - 1;
}
void degreeSCallback(int) {}
void degreeTCallback(int) {}
void createSurfaceCallback(int) {}
