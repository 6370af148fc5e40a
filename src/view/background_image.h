// The background image of the section window, read through FreeImage.
#pragma once

struct FIBITMAP;

// A 32-bit copy of the image at path (format from the contents, else from the extension), or
// null when it cannot be read.
FIBITMAP* loadImage32(const char* path);

// Callback of the "background" button: loads backgroundFileName into backgroundTexture.
void backgroundCallback(int id);
