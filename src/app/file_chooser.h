// The "browse..." file chooser: zenity (or the program LOFTWORK_FILE_CHOOSER names) runs in a
// process of its own, waited for on a thread, so the editor keeps drawing while it is open; its
// answer is taken up on the GUI thread. Typing a path into the box works with or without it.
#pragma once

#include <string>
#include <vector>

// Opens the chooser for the text field `field` (kTextFieldSize bytes), starting at the path the
// field holds; `save` asks for a file to write. `filters` are zenity's "NAME | PATTERN ..." file
// filters, the first shown first; `loadChosen` (ctrl+o) loads the surface chosen. False, with
// the reason in error, when no chooser can be started (none installed, or one is open already).
bool startFileChooser(char* field, const char* title, bool save, std::string& error,
                      const std::vector<std::string>& filters = {}, bool loadChosen = false);

// On the GUI thread: once the chooser has answered, puts the chosen path into its field (a path
// that does not fit is refused), says what happened in message and returns true; *loadChosen
// (when given) says whether a path was chosen by a chooser that is to load it.
bool takeChosenFile(std::string& message, bool* loadChosen = nullptr);

// The filters of a chooser for a surface to load: surface files, STEP and IGES first.
extern const std::vector<std::string> kSurfaceFileFilters;

// takeChosenFile with its message on the status line, then the load a ctrl+o chooser asked for.
bool takeChooserAnswer();

// Ends a chooser still open, so none is left on the screen after the editor quits.
void closeFileChooser();
