// Writes that fail with EFBIG at the file-size limit instead of ending the process.
#pragma once

#include <pthread.h>
#include <signal.h>
#include <time.h>

// A write past the file-size limit (RLIMIT_FSIZE) raises SIGXFSZ, whose default action ends the
// process and leaves the temporary file behind. While held here the signal stays pending, so the
// write fails with EFBIG instead; a pending one is taken back before the mask is restored.
class FileSizeSignalHeld {
public:
    FileSizeSignalHeld() {
        sigemptyset(&signal_);
        sigaddset(&signal_, SIGXFSZ);
        pthread_sigmask(SIG_BLOCK, &signal_, &previous_);
    }
    ~FileSizeSignalHeld() {
        const timespec now = {0, 0};
        while (sigtimedwait(&signal_, nullptr, &now) == SIGXFSZ) {
        }
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    FileSizeSignalHeld(const FileSizeSignalHeld&) = delete;
    FileSizeSignalHeld& operator=(const FileSizeSignalHeld&) = delete;

private:
    sigset_t signal_;
    sigset_t previous_;
};
