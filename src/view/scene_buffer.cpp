// The main view's scene kept for the frames in which only the probe moves: its colour and depth
// read into memory when it is drawn (GL's plain reads, a fraction of a copy on the GPU side), and
// taken up into the textures of a framebuffer object only when a frame first copies it back, with
// glBlitFramebuffer, which copies depth only between buffers of the same depth format, so the
// depth texture takes the window's depth bits. A drag draws the scene on every step and rarely
// copies it back in between, so most kept scenes are never taken up.
#define GL_GLEXT_PROTOTYPES
#include "view/scene_buffer.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glx.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// How the window's depth buffer is read and taken up again, bit for bit: depth and stencil
// together where the window has both, else depth as unsigned integers.
struct DepthFormat {
    GLenum internal = 0;  // 0: no framebuffer texture matches the window's depth
    GLenum format = GL_DEPTH_COMPONENT;
    GLenum type = GL_UNSIGNED_INT;
};

struct SceneBufferData {
    GLuint framebuffer = 0;
    GLuint colour = 0;
    GLuint depth = 0;
    int width = 0, height = 0;  // of the textures
    DepthFormat depthFormat;
    bool kept = false;                 // the memory holds a scene
    bool takenUp = false;              // the framebuffer's textures hold the kept scene
    bool unavailable = false;          // the GL cannot keep one: every frame is drawn whole
    std::vector<uint32_t> keptColour;  // the kept scene as RGBA bytes, bottom row first
    std::vector<uint32_t> keptDepth;   // and its depth bits as the window holds them
    std::vector<float> depthValues;    // the kept scene's depth, bottom row first
    int depthWidth = 0, depthHeight = 0;
};

SceneBufferData data;

void clearErrors() {
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

// The depth texture's format: the window's, so that depth can be blitted both ways.
DepthFormat windowDepthFormat() {
    GLint depthBits = 0, stencilBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    glGetIntegerv(GL_STENCIL_BITS, &stencilBits);
    DepthFormat f;
    if (depthBits == 24 && stencilBits == 8) {
        f.internal = GL_DEPTH24_STENCIL8;
        f.format = GL_DEPTH_STENCIL;
        f.type = GL_UNSIGNED_INT_24_8;
    } else if (depthBits == 16) {
        f.internal = GL_DEPTH_COMPONENT16;
    } else if (depthBits == 24) {
        f.internal = GL_DEPTH_COMPONENT24;
    } else if (depthBits == 32) {
        f.internal = GL_DEPTH_COMPONENT32;
    }
    return f;
}

void deleteFramebuffer() {
    if (data.framebuffer != 0) glDeleteFramebuffers(1, &data.framebuffer);
    if (data.colour != 0) glDeleteTextures(1, &data.colour);
    if (data.depth != 0) glDeleteTextures(1, &data.depth);
    data.framebuffer = data.colour = data.depth = 0;
    data.width = data.height = 0;
    data.kept = false;
    data.takenUp = false;
}

// A texture of width x height texels of the internal format, left bound to GL_TEXTURE_2D.
GLuint newTexture(GLenum internal, GLenum format, GLenum type, int width, int height) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(internal), width, height, 0, format, type,
                 nullptr);
    return texture;
}

// A framebuffer of width x height pixels, made when missing or of another size; false when the
// GL has none that fits.
bool framebufferOfSize(int width, int height) {
    if (data.framebuffer != 0 && data.width == width && data.height == height) return true;
    deleteFramebuffer();
    const DepthFormat depth = windowDepthFormat();
    if (depth.internal == 0) return false;
    const GLenum depthAttachment =
        depth.internal == GL_DEPTH24_STENCIL8 ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT;
    GLint boundTexture = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &boundTexture);
    data.colour = newTexture(GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, width, height);
    data.depth = newTexture(depth.internal, depth.format, depth.type, width, height);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(boundTexture));
    glGenFramebuffers(1, &data.framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, data.framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, data.colour, 0);
    glFramebufferTexture2D(GL_FRAMEBUFFER, depthAttachment, GL_TEXTURE_2D, data.depth, 0);
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    if (!complete || glGetError() != GL_NO_ERROR) {
        deleteFramebuffer();
        return false;
    }
    data.width = width;
    data.height = height;
    data.depthFormat = depth;
    return true;
}

// Takes the kept scene up into the framebuffer's textures, once per kept scene.
bool takeUpKeptScene() {
    if (data.takenUp) return true;
    GLint boundTexture = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &boundTexture);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_SWAP_BYTES, GL_FALSE);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    glBindTexture(GL_TEXTURE_2D, data.colour);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, data.width, data.height, GL_RGBA, GL_UNSIGNED_BYTE,
                    data.keptColour.data());
    glBindTexture(GL_TEXTURE_2D, data.depth);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, data.width, data.height, data.depthFormat.format,
                    data.depthFormat.type, data.keptDepth.data());
    glPopClientAttrib();
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(boundTexture));
    data.takenUp = glGetError() == GL_NO_ERROR;
    return data.takenUp;
}

// Copies colour and depth of the region from the framebuffer into the window's back buffer.
bool blitBack(PixelRegion r) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, data.framebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    const int x1 = r.x + r.width, y1 = r.y + r.height;
    glBlitFramebuffer(r.x, r.y, x1, y1, r.x, r.y, x1, y1, GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT,
                      GL_NEAREST);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return glGetError() == GL_NO_ERROR;
}

PixelRegion wholeScene() {
    PixelRegion r;
    r.width = data.width;
    r.height = data.height;
    return r;
}

using CopySubBuffer = void (*)(Display*, GLXDrawable, int, int, int, int);

CopySubBuffer copySubBuffer() {
    static const CopySubBuffer copy = [] {
        Display* display = glXGetCurrentDisplay();
        if (display == nullptr) return CopySubBuffer(nullptr);
        const char* extensions = glXQueryExtensionsString(display, DefaultScreen(display));
        if (extensions == nullptr || std::strstr(extensions, "GLX_MESA_copy_sub_buffer") == nullptr)
            return CopySubBuffer(nullptr);
        return reinterpret_cast<CopySubBuffer>(
            glXGetProcAddress(reinterpret_cast<const GLubyte*>("glXCopySubBufferMESA")));
    }();
    return copy;
}

// Reads the back buffer's colour and depth bits into memory, and its depth as GL gives it in
// floats for keptSceneDepth; colour and depth bits only while the scene can be kept.
void readScene(int width, int height, bool whole) {
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    data.depthValues.resize(pixels);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_PACK_SWAP_BYTES, GL_FALSE);
    glPixelStorei(GL_PACK_LSB_FIRST, GL_FALSE);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_DEPTH_COMPONENT, GL_FLOAT, data.depthValues.data());
    if (whole) {
        data.keptColour.resize(pixels);
        data.keptDepth.resize(pixels);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, data.keptColour.data());
        glReadPixels(0, 0, width, height, data.depthFormat.format, data.depthFormat.type,
                     data.keptDepth.data());
    }
    glPopClientAttrib();
    data.depthWidth = width;
    data.depthHeight = height;
}

// Whether the GL has what keeping a scene takes (framebuffer objects are core from GL 3.0).
bool glCanKeep() {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (version != nullptr && version[0] >= '3' && version[0] <= '9') return true;
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    return extensions != nullptr && std::strstr(extensions, "GL_ARB_framebuffer_object") != nullptr;
}

}  // namespace

bool keepSceneBuffer(int width, int height) {
    data.kept = false;
    data.takenUp = false;
    if (width < 1 || height < 1) return false;
    clearErrors();
    const bool keepable = !data.unavailable && glCanKeep() && framebufferOfSize(width, height);
    readScene(width, height, keepable);
    if (data.unavailable) return false;
    if (!keepable || glGetError() != GL_NO_ERROR) {
        deleteFramebuffer();
        data.unavailable = true;
        std::vector<uint32_t>().swap(data.keptColour);
        std::vector<uint32_t>().swap(data.keptDepth);
        clearErrors();
        return false;
    }
    data.kept = true;
    return true;
}

bool restoreSceneBuffer(const PixelRegion* region) {
    if (!data.kept) return false;
    if (region != nullptr && (region->width <= 0 || region->height <= 0)) return true;
    clearErrors();
    if (takeUpKeptScene() && blitBack(region != nullptr ? *region : wholeScene())) return true;
    data.kept = false;
    return false;
}

bool showBackBufferRegion(PixelRegion region) {
    if (glXGetCurrentContext() == nullptr || copySubBuffer() == nullptr) return false;
    glFlush();
    copySubBuffer()(glXGetCurrentDisplay(), glXGetCurrentDrawable(), region.x, region.y,
                    region.width, region.height);
    return true;
}

void forgetKeptScene() {
    data.kept = false;
    data.takenUp = false;
    data.depthWidth = data.depthHeight = 0;
}

float keptSceneDepth(int x, int y) {
    if (x < 0 || y < 0 || x >= data.depthWidth || y >= data.depthHeight) return 1.0f;
    return data.depthValues[static_cast<size_t>(y) * static_cast<size_t>(data.depthWidth) +
                            static_cast<size_t>(x)];
}

void releaseSceneBuffer() {
    data = SceneBufferData();
}
