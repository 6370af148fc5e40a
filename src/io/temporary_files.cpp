// Temporary files beside the files being written, and their removal from a signal handler.
#include "io/temporary_files.h"

#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

// A handler may run between any two instructions of the code that fills a slot, so a slot is
// marked in use only after its name is complete, and the name stays until the mark is cleared.
// Lock-free atomics are safe to read in a signal handler.
struct Slot {
    std::atomic<bool> taken{false};
    std::atomic<bool> live{false};
    char path[PATH_MAX];
};

constexpr int kSlots = 8;
Slot gSlots[kSlots];

}  // namespace

TemporaryFile::TemporaryFile(const std::string& pattern) : path_(nullptr), fallback_(pattern) {
    path_ = &fallback_[0];
    if (pattern.size() >= PATH_MAX) return;  // mkstemp fails on it anyway
    for (int k = 0; k < kSlots; ++k) {
        bool expected = false;
        if (!gSlots[k].taken.compare_exchange_strong(expected, true)) continue;
        memcpy(gSlots[k].path, pattern.c_str(), pattern.size() + 1);
        // The pattern itself names no file; unlinking it from a handler does no harm.
        gSlots[k].live.store(true);
        slot_ = k;
        path_ = gSlots[k].path;
        return;
    }
}

TemporaryFile::~TemporaryFile() {
    if (created_) unlink(path_);
    if (slot_ >= 0) {
        gSlots[slot_].live.store(false);
        gSlots[slot_].taken.store(false);
    }
}

int TemporaryFile::create() {
    const int fd = mkstemp(path_);
    created_ = fd >= 0;
    return fd;
}

void removeTemporaryFiles() {
    for (Slot& slot : gSlots) {
        if (slot.live.load()) unlink(slot.path);
    }
}
