// Hidden temporary files written beside a file before they replace it, kept where a signal
// handler can find them: a process ended by a signal removes them instead of leaving them behind.
#pragma once

#include <string>

// One temporary file, made from a pattern that ends in XXXXXX. Its name is kept in a fixed slot
// that removeTemporaryFiles reads, from before the file exists until the object is gone, so that
// there is no moment at which a signal could leave the file behind. The destructor removes the
// file unless release() said it was renamed into place.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& pattern);
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Creates the file (mkstemp); its descriptor, or -1 with errno set.
    int create();
    const char* path() const { return path_; }
    // The file was renamed over its destination: nothing of it is left to remove.
    void release() { created_ = false; }

private:
    int slot_ = -1;  // index of the slot holding the name, -1 when all were taken
    char* path_;     // the slot's buffer, or fallback_'s
    std::string fallback_;
    bool created_ = false;
};

// Removes every temporary file that exists now. Only calls unlink, so a signal handler may call
// it.
void removeTemporaryFiles();
