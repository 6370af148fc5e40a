// What the window benchmarks share: the whole editor started in a scratch directory, the
// sample surfaces loaded through the editor's own loader, and a synthetic lofted hull of any size.
#pragma once

#include <string>

namespace benchsupport {

// Starts the editor (three windows, panel, lighting) in a scratch directory whose configuration
// names no surface, and lets the first events through. Returns false when that fails.
bool startEditor(int* argc, char** argv);

// Removes the scratch directory again.
void stopEditor();

// The whole main of a window benchmark program: the benchmark library's arguments, the editor
// started, every registered benchmark run, the editor stopped. Returns the exit status.
int runWithEditor(int argc, char** argv);

// One frame of the main view as the display handler draws it (without the section view that
// follows it there), finished and swapped before the clock stops.
void drawMainFrame();

// Loads examples/<name> of the source tree with the editor's loader; true when it took.
bool loadSample(const char* name);

// count sections of count points, cubic both ways: section s is an arc of a slightly wavy radius
// in the plane x = s / count, as a lofted hull would be. The middle point of the middle section is
// selected; skinning is switched as asked.
void setHullSurface(int count, bool skinning);

}  // namespace benchsupport
