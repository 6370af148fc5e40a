// The background image of the section window, read through FreeImage.
#pragma once

#include <string>

struct FIBITMAP;

// A 32-bit bitmap of the image in the regular file at path, no side longer than mostSide (see
// decodeImage), or null with the reason in error.
FIBITMAP* loadImage32(const char* path, int mostSide, std::string& error);

// Callback of the "background" button: loads backgroundFileName into backgroundTexture.
void backgroundCallback(int id);
