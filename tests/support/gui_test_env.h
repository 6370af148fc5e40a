// Shared start of the GUI test programs: the whole editor is started once per process in a
// scratch working directory, and tests drive its handlers and read its pixels back.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

// Scratch working directory of this test process (holds defaultFile.config).
const std::string& scratchDirectory();

// Path of a file in examples/ of the source tree.
std::string examplePath(const char* name);

// Lets freeglut deliver pending window events and redraws, `rounds` times.
void pumpEvents(int rounds = 5);

// Loads the surface file at path through the editor's own loader; true when it took.
bool loadSurface(const std::string& path);

struct Rgb {
    int r, g, b;
};

// Makes the window current, draws a frame with draw() (which must not swap), reads the back
// buffer as RGB bytes, bottom row first, then swaps. The back buffer is read because Mesa's
// software renderer under Xvfb gives no contents for the front buffer.
std::vector<unsigned char> drawAndReadBack(int window, void (*draw)(), int* width, int* height);

// What the X server shows of the window, as drawAndReadBack lays it out (RGB bytes, bottom row
// first), read with XGetImage once the frames already swapped have reached the server. A part
// covered by another window reads as whatever the server has there: keep the window uncovered.
std::vector<unsigned char> shownOnScreen(int window, int* width, int* height);

}  // namespace testsupport
