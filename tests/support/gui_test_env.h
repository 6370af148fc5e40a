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

// RGB of the pixel at GL window coordinates (x, y up) of the given window's front buffer,
// after drawing a frame with its display handler.
struct Rgb {
    int r, g, b;
};
Rgb readPixel(int window, int x, int y);

// Every pixel of a window as RGB bytes, bottom row first.
std::vector<unsigned char> readWindowPixels(int window, int* width, int* height);

}  // namespace testsupport
