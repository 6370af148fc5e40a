// The "operations" control panel: a third GLUT window drawn with Dear ImGui every frame.
#pragma once

// Creates the "operations" window and its controls, loading the configured surface on the way.
void buildControlPanel();

// Rebuilds the controls whose number follows the model: one spinner per knot, one radio button
// per section, the "multipl." spinner; sets degreeS and degreeT back from the orders.
void rebuildKnotControls();

// Callbacks of "degree S", "degree T" and "create new surf"; the id is ignored.
void degreeSCallback(int id);
void degreeTCallback(int id);
void createSurfaceCallback(int id);
