// Writing unsaved changes beside the surface file.
#include "io/recovery_file.h"

#include <sys/stat.h>

#include <set>

#include "io/surface_file.h"
#include "io/surface_writer.h"

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

std::string numberedRecoveryPath(const std::string& path, int number) {
    if (number <= 1) return path;
    const std::string ending = ".surf";
    const std::string stem = path.substr(0, path.size() - ending.size());
    return stem + "-" + std::to_string(number) + ending;
}

namespace {

// The recovery files this editor wrote: it replaces its own, never another's.
std::set<std::string>& ownRecoveryFiles() {
    static std::set<std::string> paths;
    return paths;
}

// Writes the surface to the first of path's numbered names that is free or this editor's own.
bool writeRecoveryAt(const SurfaceModel& surface, const std::string& base, std::string& path,
                     std::string& error) {
    std::string text;
    for (int number = 1; number <= kMostRecoveryFiles; ++number) {
        path = numberedRecoveryPath(base, number);
        if (!surfaceFileText(path.c_str(), surface, text, error)) return false;
        if (ownRecoveryFiles().count(path) != 0) {
            // Replaced by a rename over the name itself: a link put there is not followed.
            return writeFileReplacing(path.c_str(), text, error, LinkHandling::replaceLink);
        }
        switch (writeNewFile(path.c_str(), text, error)) {
            case NewFile::written:
                ownRecoveryFiles().insert(path);
                return true;
            case NewFile::failed:
                return false;
            case NewFile::taken:
                break;
        }
    }
    error = "every name from " + base + " to " + numberedRecoveryPath(base, kMostRecoveryFiles) +
            " is taken";
    return false;
}

}  // namespace

std::vector<std::string> existingRecoveryFiles(const char* surfaceFileName) {
    std::vector<std::string> found;
    const std::string base = recoveryPath(surfaceFileName);
    struct stat info;
    for (int number = 1; number <= kMostRecoveryFiles; ++number) {
        const std::string path = numberedRecoveryPath(base, number);
        if (lstat(path.c_str(), &info) == 0) found.push_back(path);
    }
    return found;
}

bool writeRecoveryFile(const SurfaceModel& surface, const char* surfaceFileName, std::string& path,
                       std::string& error) {
    const std::string base = recoveryPath(surfaceFileName);
    if (writeRecoveryAt(surface, base, path, error)) {
        error.clear();
        return true;
    }
    // Beside the surface file cannot be written (its folder is gone or read-only): the working
    // folder, which the editor started in, rather than nowhere.
    const std::string fallback = recoveryPath(nullptr);
    if (base == fallback) {
        error = path + ": " + error;
        return false;
    }
    const std::string firstPath = path;
    const std::string firstError = error;
    if (!writeRecoveryAt(surface, fallback, path, error)) {
        error = firstPath + ": " + firstError + "; " + path + ": " + error;
        return false;
    }
    error = "cannot write " + firstPath + ": " + firstError;
    return true;
}
