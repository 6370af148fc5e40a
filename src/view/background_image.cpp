// The background image of the section window: read through FreeImage, uploaded as a texture
// in the section window's GL context.
#include "view/background_image.h"

#include <FreeImage.h>
#include <GL/freeglut.h>

#include <string>

#include "io/calibration_file.h"
#include "io/regular_file.h"
#include "model/editor_state.h"
#include "view/image_decode.h"
#include "view/redraw.h"

FIBITMAP* loadImage32(const char* path, int mostSide, std::string& error) {
    if (path == nullptr || path[0] == '\0') {
        error = "no file name given";
        return nullptr;
    }
    std::string bytes;
    if (!readRegularFile(path, kMostImageFileBytes, bytes, error)) return nullptr;
    return decodeImage(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), mostSide,
                       error);
}

// Uploads the 32-bit bitmap as a new texture of the current context, straight from FreeImage's
// rows (bottom row first, in its byte order). Returns the texture name, or 0 (with nothing left
// behind) when GL refuses the image.
static GLuint uploadTexture(FIBITMAP* bitmap, int width, int height) {
    while (glGetError() != GL_NO_ERROR) {
    }
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(FreeImage_GetPitch(bitmap) / 4));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    // At its own size: not rescaled to powers of two, no mipmaps.
    const GLenum order = FI_RGBA_RED == 2 ? GL_BGRA : GL_RGBA;
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, order, GL_UNSIGNED_BYTE,
                 FreeImage_GetBits(bitmap));
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    const bool accepted = glGetError() == GL_NO_ERROR;
    glBindTexture(GL_TEXTURE_2D, 0);
    if (!accepted) {
        glDeleteTextures(1, &texture);
        return 0;
    }
    return texture;
}

// The image's placement from the calibration file beside it, or the uncalibrated one when there
// is none or it is refused; the status line says which.
static void placeBackground(const char* imagePath, ViewState& view) {
    view.calibration = CalibrationGesture();
    view.backgroundPlacement = uncalibratedPlacement(view.backgroundWidth, view.backgroundHeight);
    std::string error;
    const std::string file = calibrationPathFor(imagePath);
    switch (readCalibrationFile(imagePath, view.backgroundWidth, view.backgroundHeight,
                                view.backgroundPlacement, error)) {
        case CalibrationRead::applied:
            setStatusLinef(editor.panel, "background \"%s\": calibrated by %s, %g units per pixel",
                           imagePath, file.c_str(),
                           static_cast<double>(view.backgroundPlacement.scale));
            break;
        case CalibrationRead::missing:
            setStatusLinef(
                editor.panel,
                "background \"%s\": no %s, shown 1 unit wide at the origin (\"calibrate\" "
                "scales it)",
                imagePath, file.c_str());
            break;
        case CalibrationRead::refused:
            setStatusLinef(editor.panel,
                           "background \"%s\": %s refused (%s), shown 1 unit wide at the origin",
                           imagePath, file.c_str(), error.c_str());
            break;
    }
}

// Empties the "background" box, as every failed load does, and says why.
static void rejectBackground(PanelVariables& panel, const std::string& why) {
    setStatusLinef(editor.panel, "background \"%s\": %s", panel.backgroundFileName, why.c_str());
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

    GLint mostSide = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &mostSide);
    std::string error;
    FIBITMAP* bitmap = loadImage32(s.panel.backgroundFileName, mostSide, error);
    if (bitmap == nullptr) {
        rejectBackground(s.panel, error);
    } else {
        const int width = static_cast<int>(FreeImage_GetWidth(bitmap));
        const int height = static_cast<int>(FreeImage_GetHeight(bitmap));
        const GLuint texture = uploadTexture(bitmap, width, height);
        FreeImage_Unload(bitmap);
        if (texture == 0) {
            rejectBackground(s.panel, "the GL refused it as a texture");
        } else {
            // The image it replaces is no longer shown anywhere.
            if (s.view.backgroundTexture != 0) {
                const GLuint old = s.view.backgroundTexture;
                glDeleteTextures(1, &old);
            }
            s.view.backgroundTexture = texture;
            s.view.backgroundWidth = width;
            s.view.backgroundHeight = height;
            placeBackground(s.panel.backgroundFileName, s.view);
            requestSectionRedraw();
        }
    }
    if (previous != 0) glutSetWindow(previous);
}
