// The main view's scene kept off screen: a framebuffer object with a colour and a depth
// renderbuffer, filled from the window's back buffer and copied back with glBlitFramebuffer,
// which copies depth only between buffers of the same depth format, so the depth renderbuffer
// takes the window's depth bits.
#define GL_GLEXT_PROTOTYPES
#include "view/scene_buffer.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glx.h>

#include <cstring>
#include <vector>

namespace {

struct SceneBufferData {
    GLuint framebuffer = 0;
    GLuint colour = 0;
    GLuint depth = 0;
    int width = 0, height = 0;  // of the renderbuffers
    bool kept = false;          // the framebuffer holds a scene
    bool unavailable = false;   // the GL cannot keep one: every frame is drawn whole
    std::vector<float> depthValues;  // the kept scene's depth, bottom row first
    int depthWidth = 0, depthHeight = 0;
};

SceneBufferData data;

void clearErrors() {
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

// The depth renderbuffer's format: the window's, so that depth can be blitted both ways.
GLenum windowDepthFormat() {
    GLint depthBits = 0, stencilBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    glGetIntegerv(GL_STENCIL_BITS, &stencilBits);
    if (depthBits == 24 && stencilBits == 8) return GL_DEPTH24_STENCIL8;
    if (depthBits == 16) return GL_DEPTH_COMPONENT16;
    if (depthBits == 24) return GL_DEPTH_COMPONENT24;
    if (depthBits == 32) return GL_DEPTH_COMPONENT32;
    return 0;
}

void deleteFramebuffer() {
    if (data.framebuffer != 0) glDeleteFramebuffers(1, &data.framebuffer);
    if (data.colour != 0) glDeleteRenderbuffers(1, &data.colour);
    if (data.depth != 0) glDeleteRenderbuffers(1, &data.depth);
    data.framebuffer = data.colour = data.depth = 0;
    data.width = data.height = 0;
    data.kept = false;
}

// A framebuffer of width x height pixels, made when missing or of another size; false when the
// GL has none that fits.
bool framebufferOfSize(int width, int height) {
    if (data.framebuffer != 0 && data.width == width && data.height == height) return true;
    deleteFramebuffer();
    const GLenum depthFormat = windowDepthFormat();
    if (depthFormat == 0) return false;
    const GLenum depthAttachment =
        depthFormat == GL_DEPTH24_STENCIL8 ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT;
    glGenFramebuffers(1, &data.framebuffer);
    glGenRenderbuffers(1, &data.colour);
    glGenRenderbuffers(1, &data.depth);
    glBindRenderbuffer(GL_RENDERBUFFER, data.colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, data.depth);
    glRenderbufferStorage(GL_RENDERBUFFER, depthFormat, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, data.framebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, data.colour);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, depthAttachment, GL_RENDERBUFFER, data.depth);
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    if (!complete || glGetError() != GL_NO_ERROR) {
        deleteFramebuffer();
        return false;
    }
    data.width = width;
    data.height = height;
    return true;
}

// Copies colour and depth of the region between the window's back buffer and the framebuffer.
bool blit(bool intoFramebuffer, PixelRegion r) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, intoFramebuffer ? 0 : data.framebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, intoFramebuffer ? data.framebuffer : 0);
    const int x1 = r.x + r.width, y1 = r.y + r.height;
    glBlitFramebuffer(r.x, r.y, x1, y1, r.x, r.y, x1, y1,
                      GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT, GL_NEAREST);
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

void readDepth(int width, int height) {
    data.depthValues.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_DEPTH_COMPONENT, GL_FLOAT, data.depthValues.data());
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
    if (width < 1 || height < 1) return false;
    clearErrors();
    readDepth(width, height);
    if (data.unavailable) return false;
    if (!glCanKeep() || !framebufferOfSize(width, height) || !blit(true, wholeScene())) {
        deleteFramebuffer();
        data.unavailable = true;
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
    if (blit(false, region != nullptr ? *region : wholeScene())) return true;
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

float keptSceneDepth(int x, int y) {
    if (x < 0 || y < 0 || x >= data.depthWidth || y >= data.depthHeight) return 1.0f;
    return data.depthValues[static_cast<size_t>(y) * static_cast<size_t>(data.depthWidth) +
                            static_cast<size_t>(x)];
}

void releaseSceneBuffer() {
    data = SceneBufferData();
}
