// Mouse, keyboard and popup-menu actions of the section window: select and drag points, add
// and delete points in every section, zoom, step and pan.
#pragma once

void sectionMouse(int button, int state, int x, int y);
void sectionMotion(int x, int y);
void sectionPassiveMotion(int x, int y);
void sectionKeyboard(unsigned char key, int x, int y);
void sectionSpecial(int key, int x, int y);
void addSectionPoint();
void deleteSectionPoint();
