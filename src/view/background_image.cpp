// The background image of the section window: read through FreeImage, uploaded as a texture
// in the section window's GL context.
#include "view/background_image.h"

#include <FreeImage.h>
#include <GL/freeglut.h>

#include <cstddef>
#include <vector>

#include "model/editor_state.h"

// Larger images are refused before their pixels are read: a tracing background gains nothing
// from more, and a corrupt header must not make us allocate gigabytes.
constexpr unsigned kMaxImageSide = 16384;

// The shared library registers its plugins when it is loaded; a static build does not.
static void ensureFreeImageReady() {
    if (FreeImage_GetFIFCount() == 0) FreeImage_Initialise(FALSE);
}

// True when the image's header gives a size we accept. Formats that cannot read only the
// header are checked after the full load instead.
static bool headerSizeAcceptable(FREE_IMAGE_FORMAT format, const char* path) {
    if (!FreeImage_FIFSupportsNoPixels(format)) return true;
    FIBITMAP* header = FreeImage_Load(format, path, FIF_LOAD_NOPIXELS);
    if (header == nullptr) return false;
    const unsigned width = FreeImage_GetWidth(header);
    const unsigned height = FreeImage_GetHeight(header);
    FreeImage_Unload(header);
    return width >= 1 && height >= 1 && width <= kMaxImageSide && height <= kMaxImageSide;
}

FIBITMAP* loadImage32(const char* path) {
    if (path == nullptr || path[0] == '\0') return nullptr;
    ensureFreeImageReady();
    FREE_IMAGE_FORMAT format = FreeImage_GetFileType(path, 0);  // by content
    if (format == FIF_UNKNOWN) {
        format = FreeImage_GetFIFFromFilename(path);  // by extension
        if (format == FIF_UNKNOWN) return nullptr;
    }
    if (!FreeImage_FIFSupportsReading(format)) return nullptr;
    if (!headerSizeAcceptable(format, path)) return nullptr;
    FIBITMAP* loaded = FreeImage_Load(format, path, 0);
    if (loaded == nullptr) return nullptr;
    FIBITMAP* result = FreeImage_ConvertTo32Bits(loaded);
    FreeImage_Unload(loaded);
    if (result == nullptr) return nullptr;
    const unsigned width = FreeImage_GetWidth(result);
    const unsigned height = FreeImage_GetHeight(result);
    if (width < 1 || height < 1 || width > kMaxImageSide || height > kMaxImageSide) {
        FreeImage_Unload(result);
        return nullptr;
    }
    return result;
}

// The bitmap's pixels as RGBA bytes, first (bottom) row first. FreeImage keeps 32-bit pixels
// in its own byte order (blue, green, red, alpha on little-endian machines); GL wants red first.
static std::vector<unsigned char> rgbaPixels(FIBITMAP* bitmap, int width, int height) {
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    unsigned char* out = pixels.data();
    for (int row = 0; row < height; ++row) {
        const BYTE* in = FreeImage_GetScanLine(bitmap, row);
        for (int column = 0; column < width; ++column, in += 4, out += 4) {
            out[0] = in[FI_RGBA_RED];
            out[1] = in[FI_RGBA_GREEN];
            out[2] = in[FI_RGBA_BLUE];
            out[3] = in[FI_RGBA_ALPHA];
        }
    }
    return pixels;
}

// Uploads the bitmap as a new texture of the current context. Returns the texture name, or 0
// (with nothing left behind) when GL refuses the image.
static GLuint uploadTexture(FIBITMAP* bitmap, int width, int height) {
    GLint maxSide = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
    if (width > maxSide || height > maxSide) return 0;
    const std::vector<unsigned char> pixels = rgbaPixels(bitmap, width, height);

    while (glGetError() != GL_NO_ERROR) {
    }
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 2);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    // At its own size: not rescaled to powers of two, no mipmaps.
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 pixels.data());
    const bool accepted = glGetError() == GL_NO_ERROR;
    glBindTexture(GL_TEXTURE_2D, 0);
    if (!accepted) {
        glDeleteTextures(1, &texture);
        return 0;
    }
    return texture;
}

// Empties the "background" box, as every failed load does, and says why.
static void rejectBackground(PanelVariables& panel, const char* why) {
    setStatus("background: %s \"%s\"", why, panel.backgroundFileName);
    panel.backgroundFileName[0] = '\0';
}

void backgroundCallback(int /*id*/) {
    EditorState& s = editor;
    s.panel.backgroundFileName[sizeof s.panel.backgroundFileName - 1] = '\0';
    if (s.handles.sectionWindow == 0) {
        rejectBackground(s.panel, "no section window to show");
        return;
    }
    // The texture belongs to the section window's context, whichever window is current now.
    const int previous = glutGetWindow();
    glutSetWindow(s.handles.sectionWindow);

    FIBITMAP* bitmap = loadImage32(s.panel.backgroundFileName);
    if (bitmap == nullptr) {
        rejectBackground(s.panel, "cannot read image");
    } else {
        const int width = static_cast<int>(FreeImage_GetWidth(bitmap));
        const int height = static_cast<int>(FreeImage_GetHeight(bitmap));
        const GLuint texture = uploadTexture(bitmap, width, height);
        FreeImage_Unload(bitmap);
        if (texture == 0) {
            rejectBackground(s.panel, "image too large for a texture");
        } else {
            // The image it replaces is no longer shown anywhere.
            if (s.view.backgroundTexture != 0) {
                const GLuint old = s.view.backgroundTexture;
                glDeleteTextures(1, &old);
            }
            s.view.backgroundTexture = texture;
            s.view.backgroundWidth = width;
            s.view.backgroundHeight = height;
            glutPostRedisplay();
        }
    }
    if (previous != 0) glutSetWindow(previous);
}
