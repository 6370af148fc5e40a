// The surface text file on its own: parsing it, formatting it, and writing a file so that a
// failed write never damages the one already there. Nothing here touches the editor state.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "model/editor_state.h"

// The contents of a surface file as read. Counts and degrees are checked against each other and
// against the size of the file before anything is allocated.
struct SurfaceFile {
    int degreeU = 0;
    int degreeV = 0;
    int countU = 0;  // points per section
    int countV = 0;  // sections
    int knotCountU = 0;
    int knotCountV = 0;
    bool hasKnotsU = false;  // false: the file has no KNOTS_U list (clamped uniform knots apply)
    bool hasKnotsV = false;
    std::vector<float> knotsU;
    std::vector<float> knotsV;
    std::vector<PointH> points;  // countU * countV, section-major, weighted values as written
};

// What the writer needs of a surface; the arrays are read, never copied.
struct SurfaceFileView {
    const char* fileName = "";  // written on the FILENAME line
    int degreeU = 0;
    int degreeV = 0;
    int countU = 0;
    int countV = 0;
    int knotCountU = 0;
    int knotCountV = 0;
    const PointH* points = nullptr;
    const float* knotsU = nullptr;
    const float* knotsV = nullptr;
};

// Parses the text of a surface file (text[size] need not be a terminator). Returns false with
// a one-line reason in error when the text is not a complete, consistent surface; out is then
// unspecified.
bool parseSurfaceText(const char* text, size_t size, SurfaceFile& out, std::string& error);

// Reads the whole file at path and parses it; error names what went wrong.
bool readSurfaceFile(const char* path, SurfaceFile& out, std::string& error);

// Appends the file text of a surface to out: header, points (three blank lines after each
// section), then the U and V knot lists. White space in the file name is written as '_' so the
// FILENAME item stays one token.
void formatSurfaceText(const SurfaceFileView& surface, std::string& out);

// Appends value as printf's "%f" writes it (six decimals, rounded to nearest, ties to even).
void appendFixed6(std::string& out, float value);

// Writes data to path. A regular file is replaced only once the new contents are completely
// written and flushed to a temporary file beside it, so on any failure the previous file stays
// as it was. Returns false with a reason in error.
bool writeFileReplacing(const char* path, const std::string& data, std::string& error);
