// A half-model's mesh joined with its mirror image across the mirror plane into one mesh.
#pragma once

#include "exchange/surface_mesh.h"
#include "model/mirror_plane.h"

// Appends to mesh its reflection across plane. Vertices within weld of the plane are shared by
// both halves (left where they are, their normals made parallel to the plane), so the two halves
// join along it without a seam; the reflected triangles turn the other way round so that both
// halves face the same side. A triangle with every corner on the plane is not doubled. A joined
// mesh that closes is turned to face outwards.
void appendMirrorImage(SurfaceMesh& mesh, const MirrorPlane& plane, double weld);
