// The file keys, shared by the three windows: ctrl+s saves the surface to the file the "file"
// box names, ctrl+o takes the keyboard to that box.
#pragma once

// Returns true when key (as GLUT reports it: the letter's control code) was one of them.
bool handleFileKey(unsigned char key);
