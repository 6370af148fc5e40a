// Start-up and window wiring: the two GLUT windows, their callbacks, the popup menus, the idle
// animation and the clean-up at exit.
#pragma once

// Popup menu entry ids of the section window.
constexpr int kMenuAdd = 1;
constexpr int kMenuDelete = 2;
constexpr int kMenuQuit = 113;

// Opens the windows, registers every callback, sets up the scene and builds the control panel
// (which loads the configured surface). argc and argv go to glutInit.
void initApplication(int* argc, char** argv);

// Main window reshape: viewport and 45-degree perspective projection. A height of 0 counts as 1.
void mainReshape(int width, int height);

// Idle handler: about 60 times a second, moves the probe point one step over the parameter
// square; asks for a frame of each window whose picture that step or any other change made out
// of date.
void probeIdle();

struct EditorState;
// One step of the probe's raster (the state part of probeIdle).
void advanceProbe(EditorState& state);

// Handler of both popup menus.
void sectionMenuCallback(int id);

// "q" in either window and "Quit" in the menus: unsaved changes of the surface are first
// written to a recovery file beside it (and standard error says where), then the program
// ends with status 0.
[[noreturn]] void quitEditor();

// Writes unsaved changes of the surface to the recovery file beside it, saying so on standard
// error; nothing when there are none.
void saveUnsavedChanges();

// A window closed from the window manager ends the editor as "q" does; nothing once the editor
// is ending (freeglut destroys the windows at exit).
void windowClosed();

// Releases the renderers, the background texture and every array, once. Safe after the GL
// contexts are gone.
void exitCleanup();
