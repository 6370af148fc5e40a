// Keyboard and mouse of the main window: camera keys, click point, control-point pick, and the
// camera under the middle button and the wheel.
#pragma once

void mainKeyboard(unsigned char key, int x, int y);
void mainSpecial(int key, int x, int y);
void mainMouse(int button, int state, int x, int y);
// mainMouse with the modifier keys (GLUT_ACTIVE_*) held at the event given.
void mainMouseWithModifiers(int button, int state, int x, int y, int modifiers);
void mainMotion(int x, int y);
