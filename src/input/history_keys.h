// The undo and redo keys, shared by the three windows.
#pragma once

// Undo on ctrl+z, redo on ctrl+y and ctrl+shift+z, as GLUT reports them (the letter's control
// code, shift among the modifiers). Returns true when the key was one of them.
bool handleHistoryKey(unsigned char key, int modifiers);
