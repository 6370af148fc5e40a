// Placeholder until the background image lands.
#include "view/background_image.h"

FIBITMAP* loadImage32(const char*) { return nullptr; }
void backgroundCallback(int) {}
