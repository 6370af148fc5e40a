// The panel's "lines" buttons: the lines plan and the offset table of the editor's surface.
#pragma once

#include "model/editor_state.h"

// "write lines plan": the lines plan of the state's surface as shown to the file in the "lines
// plan" box, as DXF, SVG or PDF by its extension (PDF at the largest standard scale that fits
// A4, one model unit a metre). The state's status line says what was written or why not.
void writeEditorLinesPlan(EditorState& state);

// "write offsets": the offset table of the boxes' stations and waterlines to the
// file in the "offsets" box (centre plane z = C of "mirror" when it mirrors across z, else 0).
void writeEditorOffsetTable(EditorState& state);
