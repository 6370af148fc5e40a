// The "browse..." file chooser: zenity (or the program LOFTWORK_FILE_CHOOSER names) runs in a
// process of its own, waited for on a thread, so the editor keeps drawing while it is open; its
// answer is taken up on the GUI thread. Typing a path into the box works with or without it.
#pragma once

#include <string>
#include <vector>

// Opens the chooser for the text field `field` (kTextFieldSize bytes), starting at the path the
// field holds; `save` asks for a file to write. `filters` are zenity's "NAME | PATTERN ..." file
// filters, the first shown first. False, with the reason in error, when no chooser can be
// started (none installed, or one is open already).
bool startFileChooser(char* field, const char* title, bool save, std::string& error,
                      const std::vector<std::string>& filters = {});

// On the GUI thread: once the chooser has answered, puts the chosen path into its field (a path
// that does not fit is refused), says what happened in message and returns true.
bool takeChosenFile(std::string& message);

// Ends a chooser still open, so none is left on the screen after the editor quits.
void closeFileChooser();
