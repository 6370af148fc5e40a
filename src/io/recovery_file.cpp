// Writing unsaved changes beside the surface file.
#include "io/recovery_file.h"

#include "io/editor_file_io.h"

std::string recoveryPath(const char* surfaceFileName) {
    const std::string name = surfaceFileName != nullptr ? surfaceFileName : "";
    if (name.empty()) return "recovered.surf";
    const size_t slash = name.find_last_of('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    if (nameStart == name.size()) return name + "recovered.surf";  // a folder
    const size_t dot = name.find_last_of('.');
    // A leading dot is part of the name ("~/.hull"), not an extension.
    const bool hasExtension = dot != std::string::npos && dot > nameStart;
    return (hasExtension ? name.substr(0, dot) : name) + ".recovered.surf";
}

bool writeRecoveryFile(const SurfaceModel& surface, const char* surfaceFileName, std::string& path,
                       std::string& error) {
    path = recoveryPath(surfaceFileName);
    if (writeSurfaceFile(path.c_str(), surface, error)) return true;
    // Beside the surface file cannot be written (its folder is gone or read-only): the working
    // folder, which the editor started in, rather than nowhere.
    const std::string fallback = recoveryPath(nullptr);
    if (path == fallback) {
        error = path + ": " + error;
        return false;
    }
    std::string fallbackError;
    if (!writeSurfaceFile(fallback.c_str(), surface, fallbackError)) {
        error = path + ": " + error + "; " + fallback + ": " + fallbackError;
        return false;
    }
    error = "cannot write " + path + ": " + error;
    path = fallback;
    return true;
}
