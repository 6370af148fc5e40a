// The panel's typed coordinates: x, y, z and weight of the selected section point and of the
// point picked in the main view, each typed value one undoable step.
#pragma once

#include "model/editor_state.h"
#include "model/typed_point.h"

// Index in controlNet of the selected point of the current section, or -1 when there is none.
long selectedSectionPointIndex(const SurfaceModel& surface, const Selection& selection);

// Index in controlNet of the point picked in the main view, or -1 when none is picked.
long pickedPointIndex(const SurfaceModel& surface, const Selection& selection);

// Gives the selected section point (or the picked point) the typed value as one step; a value
// that is not finite, or a weight of 0 or below, is refused with a status message.
void typeSectionPointValue(PointField field, double value);
void typePickedPointValue(PointField field, double value);

// "mirror", the mirror plane's axis and its offset: a plane that is not sound goes back to
// z = 0 with a status message.
void mirrorCallback(int id);
