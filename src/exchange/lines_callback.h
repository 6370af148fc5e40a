// The panel's "lines" buttons: the lines plan and the offset table of the editor's surface.
#pragma once

// Callback of "write lines plan": the lines plan of the surface shown to the file in the "lines
// plan" box, as DXF, SVG or PDF by its extension (PDF at the largest standard scale that fits
// A4, one model unit a metre). The status line says what was written or why not. The id is
// ignored.
void linesPlanCallback(int id);

// Callback of "write offsets": the offset table of the boxes' stations and waterlines to the
// file in the "offsets" box (centre plane z = C of "mirror" when it mirrors across z, else 0).
void offsetTableCallback(int id);
