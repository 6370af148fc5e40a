// The start-up configuration file, which names the surface file to open.
#pragma once

#include <cstddef>
#include <string>

// Name of the configuration file, looked up in the working directory.
constexpr const char* kConfigFileName = "defaultFile.config";

// Reads the first white-space-delimited token of the file at configPath into out (outSize
// bytes, terminator included); anything after it is ignored. Returns false, with out empty and
// a one-line reason in error, when the file cannot be read, holds no token, or the token does
// not fit in out.
bool readConfiguredSurfacePath(const char* configPath, char* out, size_t outSize,
                               std::string& error);
