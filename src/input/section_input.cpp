// Placeholder until section editing lands: "q" ends the program.
#include "input/section_input.h"

#include <cstdlib>

void sectionMouse(int, int, int, int) {}
void sectionMotion(int, int) {}
void sectionPassiveMotion(int, int) {}
void sectionKeyboard(unsigned char key, int, int) {
    if (key == 'q' || key == 'Q') exit(0);
}
void sectionSpecial(int, int, int) {}
void addSectionPoint() {}
void deleteSectionPoint() {}
