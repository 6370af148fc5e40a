// The surface text file on its own: parsing it, formatting it, and writing a file so that a
// failed write never damages the one already there. Nothing here touches the editor state.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "model/surface_model.h"

// Parses the text of a surface file (text[size] need not be a terminator) into a surface: counts,
// orders (degree + 1), knots (clamped uniform ones for a direction the file lists none for) and
// the net as written. Counts and degrees are checked against each other and against the size of
// the text before anything is allocated. Returns false with a one-line reason in error when the
// text is not a complete, consistent surface; out is then unspecified.
bool parseSurfaceText(const char* text, size_t size, SurfaceModel& out, std::string& error);

// Reads the whole file at path and parses it; error names what went wrong.
bool readSurfaceFile(const char* path, SurfaceModel& out, std::string& error);

// Appends the file text of a surface to out: the FILENAME line, header, points (three blank lines
// after each section), then the U and V knot lists. White space in the file name is written as
// '_' so the FILENAME item stays one token. The surface's arrays must match its counts.
void formatSurfaceText(const SurfaceModel& surface, const char* fileName, std::string& out);

// Appends value as printf's "%f" writes it (six decimals, rounded to nearest, ties to even).
void appendFixed6(std::string& out, float value);

// What a write does with a path that is a symbolic link: replace the file it points to (a
// surface saved through a link the user made), or replace the link itself with a new file,
// leaving what it points to alone (files the editor names itself, beside others).
enum class LinkHandling { followLink, replaceLink };

// Writes data to path. A regular file is replaced only once the new contents are completely
// written and flushed to a temporary file beside it, so on any failure the previous file stays
// as it was. Returns false with a reason in error.
bool writeFileReplacing(const char* path, const std::string& data, std::string& error,
                        LinkHandling links = LinkHandling::followLink);

// Creates the file path with data, complete and flushed before it appears under that name, and
// only where nothing of that name exists (a symbolic link, even a dangling one, counts): taken
// when something does, failed with a reason in error when it cannot be written.
enum class NewFile { written, taken, failed };
NewFile writeNewFile(const char* path, const std::string& data, std::string& error);
