// The mesh file formats, formatted into memory so that the file is replaced in one step: binary
// STL and Wavefront OBJ.
#pragma once

#include <string>

#include "exchange/surface_mesh.h"

// Binary STL: an 80-byte header, the triangle count and, per triangle, its unit normal, its three
// corners and a zero attribute word, all little-endian.
void formatStl(const SurfaceMesh& mesh, std::string& out);

// OBJ: one "v" and one "vn" line per vertex and one "f v//vn v//vn v//vn" line per triangle,
// numbers written shortest-exact so that they read back as the same floats.
void formatObj(const SurfaceMesh& mesh, std::string& out);
