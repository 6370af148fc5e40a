// The controls that follow the model's sizes (the knot spinners, the section buttons,
// "multipl.", "dest. plane") and the callbacks that change those sizes: "degree S", "degree T"
// and "create new surf".
#pragma once

// Rebuilds the controls whose number follows the model: one spinner per knot, one radio button
// per section, the "multipl." spinner; sets degreeS and degreeT back from the orders.
void rebuildKnotControls();

// Callbacks of "degree S", "degree T" and "create new surf"; the id is ignored.
void degreeSCallback(int id);
void degreeTCallback(int id);
void createSurfaceCallback(int id);
