// Placeholder until main-window input lands: "q" ends the program.
#include "input/main_input.h"

#include <cstdlib>

void mainKeyboard(unsigned char key, int, int) {
    if (key == 'q' || key == 'Q') exit(0);
}
void mainSpecial(int, int, int) {}
void mainMouse(int, int, int, int) {}
void mainMotion(int, int) {}
