// The controls that follow the model's sizes (the knot spinners, the section buttons,
// "multipl.", "dest. plane") and the callbacks that change those sizes: "degree S", "degree T"
// and "create new surf".
#pragma once

// Rebuilds the controls whose number follows the model: one spinner per knot, one radio button
// per section, the "multipl." spinner. Their values already follow the new sizes (the model's
// followSurfaceShape): the knot rollouts close and the panel is drawn again.
void rebuildKnotControls();

// Callbacks of "degree S", "degree T" and "create new surf"; the id is ignored.
void degreeSCallback(int id);
void degreeTCallback(int id);
void createSurfaceCallback(int id);
