// Any bytes handed to the surface loader or to the configuration reader, and the checks of what
// they made of them: shared by the fuzz targets and by the test that replays their findings.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "io/config_file.h"
#include "io/editor_file_io.h"
#include "io/surface_file.h"
#include "model/derived_nets.h"
#include "model/editor_state.h"
#include "model/surface_edit.h"
#include "support/state_invariants.h"
#include "support/state_text.h"
#include "support/test_surface.h"

namespace testsupport {

// A file in memory, reachable by path like any file on disk, rewritten for each input.
class ByteFile {
public:
    ByteFile() : fd_(memfd_create("loftwork-input", 0)) {
        snprintf(path_, sizeof path_, "/proc/self/fd/%d", fd_);
    }
    ~ByteFile() {
        if (fd_ >= 0) close(fd_);
    }
    ByteFile(const ByteFile&) = delete;
    ByteFile& operator=(const ByteFile&) = delete;

    bool write(const uint8_t* data, size_t size) {
        if (fd_ < 0 || ftruncate(fd_, 0) != 0) return false;
        size_t done = 0;
        while (done < size) {
            const ssize_t n = pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
            if (n <= 0) return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }
    const char* path() const { return path_; }

private:
    int fd_;
    char path_[48];
};

// The state every checked load starts from: a 5 x 3 surface with a selection and a picked
// point, skinned when asked, so that a refused file has something to leave untouched.
inline const EditorState& loaderBaseline(bool skinning) {
    static std::unique_ptr<EditorState> states[2];
    std::unique_ptr<EditorState>& state = states[skinning ? 1 : 0];
    if (!state) {
        const EditorState kept = editor;
        setBulgedSurface();
        editor.panel.skinningEnabled = skinning ? 1 : 0;
        editor.selection.currentSection = 2;
        editor.selection.destPlane = 1;
        editor.selection.selectedPoint = 4;
        editor.selection.pickedPointOffset = 4 * 13;
        syncDerivedNets(editor);
        // As if just loaded from its file: a load over unsaved changes writes and syncs a
        // recovery file, and a disk busy with other writes can hold that up for seconds, which
        // the fuzzer then reports as a slow input.
        markSurfaceSaved(editor);
        state.reset(new EditorState(editor));
        editor = kept;
    }
    return *state;
}

// Loads the bytes through the editor's loader, from the baseline state. Returns what went wrong
// (empty when nothing did): a refused file must leave the state exactly as it was; an accepted
// one must keep every invariant and save to a text that loads again with the same sizes.
inline std::string checkSurfaceBytes(ByteFile& file, const uint8_t* data, size_t size,
                                     bool skinning) {
    if (!file.write(data, size)) return "cannot write the input to memory";
    editor = loaderBaseline(skinning);
    const std::string before = stateText(editor);
    std::string message;
    const bool loaded = loadEditorSurface(editor, file.path(), message);
    if (message.empty()) return "the loader said nothing";
    if (!loaded) {
        return stateText(editor) == before ? "" : "a refused file changed the state: " + message;
    }
    const std::string broken = stateInvariantViolations(editor);
    if (!broken.empty()) return "after \"" + message + "\": " + broken;

    const SurfaceModel& s = editor.surface;
    std::string text;
    formatSurfaceText(s, "check", text);
    SurfaceModel again;
    std::string error;
    if (!parseSurfaceText(text.data(), text.size(), again, error)) {
        return "the loaded surface saves to a file that does not load: " + error;
    }
    if (again.countU != s.countU || again.countV != s.countV || again.orderU != s.orderU ||
        again.orderV != s.orderV || again.knotsU.size() != s.knotsU.size() ||
        again.knotsV.size() != s.knotsV.size()) {
        return "the loaded surface saves to a file of other sizes";
    }
    // Every value reads back as its six decimals give it: within half a millionth, plus the
    // float's own rounding of the decimal text.
    auto sameValues = [](const float* a, const float* b, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            if (!(std::fabs(a[i] - b[i]) <= 5e-7 + std::fabs(a[i]) * 1.2e-7)) return false;
        }
        return true;
    };
    if (again.controlNet.size() != s.controlNet.size() ||
        !sameValues(&again.controlNet[0].x, &s.controlNet[0].x, 4 * s.controlNet.size()) ||
        !sameValues(again.knotsU.data(), s.knotsU.data(), s.knotsU.size()) ||
        !sameValues(again.knotsV.data(), s.knotsV.data(), s.knotsV.size())) {
        return "the loaded surface saves to a file of other values";
    }
    return "";
}

// Reads the bytes as the configuration file into a buffer of exactly outSize bytes. Returns
// what went wrong: the path taken must be the first white-space-delimited token, whole and
// terminated; a refusal leaves the buffer empty.
inline std::string checkConfigBytes(ByteFile& file, const uint8_t* data, size_t size,
                                    size_t outSize) {
    if (!file.write(data, size)) return "cannot write the input to memory";
    auto blank = [](uint8_t c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    size_t begin = 0;
    while (begin < size && blank(data[begin])) ++begin;
    size_t end = begin;
    while (end < size && !blank(data[end])) ++end;
    const size_t length = end - begin;
    const bool expected = length > 0 && length < outSize;

    std::unique_ptr<char[]> out(new char[outSize > 0 ? outSize : 1]);
    memset(out.get(), 'x', outSize > 0 ? outSize : 1);
    std::string error;
    const bool read = readConfiguredSurfacePath(file.path(), out.get(), outSize, error);
    if (read != expected) {
        return std::string(read ? "accepted" : "refused") + " a token of " +
               std::to_string(length) + " bytes for " + std::to_string(outSize) + ": " + error;
    }
    if (read) {
        if (out[length] != '\0' || memcmp(out.get(), data + begin, length) != 0) {
            return "the path read is not the first token";
        }
    } else if (outSize > 0 && out[0] != '\0') {
        return "a refusal left text in the buffer";
    } else if (error.empty()) {
        return "a refusal gave no reason";
    }
    return "";
}

}  // namespace testsupport
