// The file keys, shared by the three windows: ctrl+s saves the surface to its own file (the
// "file" box's name while it has none), ctrl+o opens the file chooser and loads the file chosen.
#pragma once

// Returns true when key (as GLUT reports it: the letter's control code) was one of them.
bool handleFileKey(unsigned char key);
