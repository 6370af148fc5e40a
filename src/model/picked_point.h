// The control point picked in the main window for weight editing, kept on the same point when
// the net changes under it, or dropped when that point is gone.
#pragma once

#include "model/editor_parts.h"
#include "model/surface_model.h"

// No point is picked, and "weight" shows -1 as at start-up.
void clearPick(Selection& selection);

// A point was inserted at index `index` of every section of a net of oldCountU points per
// section: the picked point stays picked at its new offset.
void carryPickOverInsert(Selection& selection, int oldCountU, int index);

// Point `index` was removed from every section of a net of oldCountU points per section: the
// picked point follows to its new offset, and the pick is dropped if it was that point.
void carryPickOverRemoval(Selection& selection, int oldCountU, int index);

// "weight" shows the picked point's weight; a pick outside the net is dropped.
void showPickedWeight(const SurfaceModel& surface, Selection& selection);
