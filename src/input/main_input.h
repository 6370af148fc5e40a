// Keyboard and mouse of the main window: camera keys, click point, control-point pick.
#pragma once

void mainKeyboard(unsigned char key, int x, int y);
void mainSpecial(int key, int x, int y);
void mainMouse(int button, int state, int x, int y);
void mainMotion(int x, int y);
