#define GL_GLEXT_PROTOTYPES 1
#include "Platform/GraphicsGL/TextureGL.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstring>

#include "Base/Log.h"
#include "Platform/GraphicsGL/Image.h"

namespace GL {

namespace {
std::mutex g_deleteLock;
std::vector<unsigned> g_deleteTextures;  // guarded by g_deleteLock
}  // namespace

void GLQueueTextureDelete(unsigned id) {
    if (id == 0) return;
    std::lock_guard<std::mutex> guard(g_deleteLock);
    g_deleteTextures.push_back(id);
}

void GLDeleteQueuedObjects() {
    std::vector<unsigned> ids;
    {
        std::lock_guard<std::mutex> guard(g_deleteLock);
        ids.swap(g_deleteTextures);
    }
    if (!ids.empty()) glDeleteTextures(GLsizei(ids.size()), ids.data());
}

void GLForgetQueuedObjects() {
    std::lock_guard<std::mutex> guard(g_deleteLock);
    g_deleteTextures.clear();
}

TextureGL::TextureGL(const void* pixels, int width, int height, int format)
    : width_(width), height_(height), format_(format) {
    const size_t bytes = size_t(width) * size_t(height) * 4;
    pending_.resize(bytes);
    if (pixels != nullptr && bytes > 0) std::memcpy(pending_.data(), pixels, bytes);
}

TextureGL::~TextureGL() { GLQueueTextureDelete(id_); }

unsigned TextureGL::Id() {
    std::lock_guard<std::mutex> guard(lock_);
    if (id_ != 0 || pending_.empty()) return id_;
    GLuint id = 0;
    glGenTextures(1, &id);
    if (id == 0) {
        LOGF(LOG_ERROR, LOG_SRC_GRAPHICS, "TextureGL::Id : glGenTextures failed");
        pending_.clear();
        return 0;
    }
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    glBindTexture(GL_TEXTURE_2D, id);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    const GLenum source = format_ == PixelFormatBGRA ? GL_BGRA : GL_RGBA;
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width_, height_, 0, source, GL_UNSIGNED_BYTE, pending_.data());
    glBindTexture(GL_TEXTURE_2D, GLuint(previous));
    pending_.clear();
    pending_.shrink_to_fit();
    id_ = id;
    return id_;
}

}  // namespace GL
