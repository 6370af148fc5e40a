// What the input handlers ask of the application around them: to end the editor, to take the
// keyboard from the panel, to open the file chooser. The application sets the functions at
// start-up, so the handlers need not know the panel or the windows' wiring.
#pragma once

#include <string>

struct AppRequests {
    // "q" in a window: end the editor (unsaved changes go to the recovery file first).
    void (*quit)() = nullptr;
    // A key came to a view: the panel lets go of the keyboard and shows no caret.
    void (*releasePanelKeyboard)() = nullptr;
    // ctrl+o: open the chooser for a surface file, which loads the file chosen; false, with
    // the reason in error, when no chooser can be started.
    bool (*chooseSurfaceToLoad)(std::string& error) = nullptr;
};

// Called once by the application before any window takes input.
void setAppRequests(const AppRequests& requests);

// The requests. Before the application set them, each does nothing (the chooser refuses).
void requestQuit();
void requestPanelKeyboardRelease();
bool requestSurfaceChooser(std::string& error);
