#define GL_GLEXT_PROTOTYPES 1
#include "Platform/GraphicsGL/VideoFrameGL.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>
#include <cstring>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

#include "Base/Log.h"
#include "Platform/GraphicsGL/GC.h"
#include "Platform/GraphicsGL/GCGL.h"

namespace GL {

int VideoMeshRows(float w, float h) {
    if (!(w > 0.0f) || !(h > 0.0f) || !std::isfinite(w) || !std::isfinite(h)) return 0;
    const double rows = double(h) / (double(w) * 0.25);
    if (rows >= double(kVideoMeshMaxRows)) return kVideoMeshMaxRows;
    return rows < 1.0 ? 1 : int(rows);
}

int BuildVideoMesh(float x, float y, float w, float h, float umax, float vmax, VideoVertex* vertices,
                   uint32_t* indices, int* vertexCount) {
    *vertexCount = 0;
    const int rows = VideoMeshRows(w, h);
    if (rows <= 0) return 0;
    int n = 0;
    for (int i = 0; i <= rows; ++i) {
        const float t = float(i) / float(rows);
        for (int j = 0; j < 5; ++j) {
            const float s = float(j) * 0.25f;
            vertices[n++] = VideoVertex{x + s * w, y + t * h, s * umax, t * vmax};
        }
    }
    int k = 0;
    for (int row = 0; row < rows; ++row) {
        const uint32_t m = uint32_t(5 * row + 7);
        const uint32_t cells[24] = {m - 7, m - 6, m - 2, m - 6, m - 1, m - 2, m - 6, m - 5, m - 1, m - 5, m, m - 1,
                                    m - 5, m - 4, m,     m - 4, m + 1, m,     m - 4, m - 3, m + 1, m - 3, m + 2, m + 1};
        std::memcpy(indices + k, cells, sizeof(cells));
        k += 24;
    }
    *vertexCount = n;
    return k;
}

VideoFrameGL::VideoFrameGL()
    : vertices_(new VideoVertex[kVideoMeshVertices]), indices_(new uint32_t[kVideoMeshIndices]) {}

VideoFrameGL::~VideoFrameGL() {
    // Pool records are destroyed by GCGL with the context current.
    ReleaseTextures();
    if (sampler_) glDeleteSamplers(1, &sampler_);
    if (vertexBuffer_) glDeleteBuffers(1, &vertexBuffer_);
    if (indexBuffer_) glDeleteBuffers(1, &indexBuffer_);
    if (vao_) glDeleteVertexArrays(1, &vao_);
}

void VideoFrameGL::ReleaseTextures() {
    for (unsigned& t : textures_) {
        if (t) glDeleteTextures(1, &t);
        t = 0;
    }
    planes_ = VideoPlanes::None;
    textureWidth_ = textureHeight_ = 0;
}

bool VideoFrameGL::MakeTextures(VideoPlanes planes, int width, int height) {
    ReleaseTextures();
    const int cw = (width + 1) / 2, ch = (height + 1) / 2;
    const int count = planes == VideoPlanes::NV12 ? 2 : 3;
    GLint previousTexture = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previousTexture);
    glGenTextures(count, textures_);
    for (int i = 0; i < count; ++i) {
        if (textures_[i] == 0) {
            LOGF(LOG_ERROR, LOG_SRC_GRAPHICS, "VideoFrameGL::Initialize : could not create plane texture %d", i);
            glBindTexture(GL_TEXTURE_2D, GLuint(previousTexture));
            ReleaseTextures();
            return false;
        }
        glBindTexture(GL_TEXTURE_2D, textures_[i]);
        const bool chroma = i > 0;
        const bool rg = planes == VideoPlanes::NV12 && chroma;
        glTexImage2D(GL_TEXTURE_2D, 0, rg ? GL_RG8 : GL_R8, chroma ? cw : width, chroma ? ch : height, 0,
                     rg ? GL_RG : GL_RED, GL_UNSIGNED_BYTE, nullptr);
    }
    glBindTexture(GL_TEXTURE_2D, GLuint(previousTexture));
    planes_ = planes;
    textureWidth_ = width;
    textureHeight_ = height;
    return true;
}

bool VideoFrameGL::Initialize(const AVFrame* frame) {
    if (frame == nullptr) return false;
    VideoPlanes planes = VideoPlanes::None;
    switch (frame->format) {
        case AV_PIX_FMT_NV12: planes = VideoPlanes::NV12; break;
        case AV_PIX_FMT_YUV420P:
        case AV_PIX_FMT_YUVJ420P: planes = VideoPlanes::YUV420P; break;
        default: return false;
    }
    const int width = frame->width, height = frame->height;
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return false;
    const int planeCount = planes == VideoPlanes::NV12 ? 2 : 3;
    for (int i = 0; i < planeCount; ++i) {
        if (frame->data[i] == nullptr || frame->linesize[i] <= 0) return false;
    }
    const int cw = (width + 1) / 2, ch = (height + 1) / 2;
    // Rows must hold what the texture reads.
    if (frame->linesize[0] < width) return false;
    if (planes == VideoPlanes::NV12 ? frame->linesize[1] < cw * 2
                                    : (frame->linesize[1] < cw || frame->linesize[2] < cw)) {
        return false;
    }

    if (sampler_ == 0) sampler_ = CreateLinearClampSampler();
    if (vao_ == 0) {
        glGenVertexArrays(1, &vao_);
        glGenBuffers(1, &vertexBuffer_);
        glGenBuffers(1, &indexBuffer_);
        glBindVertexArray(vao_);
        glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_);
        glBufferData(GL_ARRAY_BUFFER, kVideoMeshVertices * sizeof(VideoVertex), nullptr, GL_DYNAMIC_DRAW);
        glEnableVertexAttribArray(0);
        glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, sizeof(VideoVertex), reinterpret_cast<void*>(0));
        glEnableVertexAttribArray(1);
        glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, sizeof(VideoVertex), reinterpret_cast<void*>(8));
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer_);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, kVideoMeshIndices * sizeof(uint32_t), nullptr, GL_DYNAMIC_DRAW);
        glBindVertexArray(0);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
    }
    if (planes_ != planes || textureWidth_ != width || textureHeight_ != height || textures_[0] == 0) {
        if (!MakeTextures(planes, width, height)) return false;
    }

    GLint previousTexture = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previousTexture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (int i = 0; i < planeCount; ++i) {
        const bool chroma = i > 0;
        const bool rg = planes == VideoPlanes::NV12 && chroma;
        glPixelStorei(GL_UNPACK_ROW_LENGTH, rg ? frame->linesize[i] / 2 : frame->linesize[i]);
        glBindTexture(GL_TEXTURE_2D, textures_[i]);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, chroma ? cw : width, chroma ? ch : height, rg ? GL_RG : GL_RED,
                        GL_UNSIGNED_BYTE, frame->data[i]);
    }
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glBindTexture(GL_TEXTURE_2D, GLuint(previousTexture));
    width_ = width;
    height_ = height;
    return true;
}

void VideoFrameGL::Draw(float x, float y, float w, float h) {
    if (textures_[0] == 0 || vao_ == 0) return;
    const float umax = float(width_) / float(textureWidth_);
    const float vmax = float(height_) / float(textureHeight_);
    int vertexCount = 0;
    const int indexCount = BuildVideoMesh(x, y, w, h, umax, vmax, vertices_.get(), indices_.get(), &vertexCount);
    if (indexCount <= 0) return;
    glBindVertexArray(vao_);
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_);
    // Orphaning keeps an earlier draw of this frame intact.
    glBufferData(GL_ARRAY_BUFFER, kVideoMeshVertices * sizeof(VideoVertex), nullptr, GL_DYNAMIC_DRAW);
    glBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(vertexCount * sizeof(VideoVertex)), vertices_.get());
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, kVideoMeshIndices * sizeof(uint32_t), nullptr, GL_DYNAMIC_DRAW);
    glBufferSubData(GL_ELEMENT_ARRAY_BUFFER, 0, GLsizeiptr(indexCount * sizeof(uint32_t)), indices_.get());
    const int count = planes_ == VideoPlanes::NV12 ? 2 : 3;
    for (int i = 0; i < count; ++i) {
        glActiveTexture(GL_TEXTURE0 + i);
        glBindTexture(GL_TEXTURE_2D, textures_[i]);
        glBindSampler(GLuint(i), sampler_);
    }
    glDrawElements(GL_TRIANGLES, indexCount, GL_UNSIGNED_INT, nullptr);
    glActiveTexture(GL_TEXTURE0);
}

bool VideoFrameGL::ReadNV12(uint8_t* out, size_t outBytes) const {
    if (textures_[0] == 0 || width_ <= 0 || height_ <= 0) return false;
    const size_t w = size_t(width_), h = size_t(height_);
    if (outBytes < w * h * 2) return false;
    const size_t cw = (w + 1) / 2, ch = (h + 1) / 2;
    GLint previousTexture = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previousTexture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glBindTexture(GL_TEXTURE_2D, textures_[0]);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RED, GL_UNSIGNED_BYTE, out);
    std::vector<uint8_t> uv(cw * ch * 2);
    if (planes_ == VideoPlanes::NV12) {
        glBindTexture(GL_TEXTURE_2D, textures_[1]);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RG, GL_UNSIGNED_BYTE, uv.data());
    } else {
        std::vector<uint8_t> u(cw * ch), v(cw * ch);
        glBindTexture(GL_TEXTURE_2D, textures_[1]);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RED, GL_UNSIGNED_BYTE, u.data());
        glBindTexture(GL_TEXTURE_2D, textures_[2]);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RED, GL_UNSIGNED_BYTE, v.data());
        for (size_t i = 0; i < cw * ch; ++i) {
            uv[2 * i] = u[i];
            uv[2 * i + 1] = v[i];
        }
    }
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glBindTexture(GL_TEXTURE_2D, GLuint(previousTexture));
    // The chroma plane: h / 2 rows of w bytes (one U,V pair per 2x2 block).
    uint8_t* dst = out + w * h;
    for (size_t row = 0; row < h / 2; ++row) std::memcpy(dst + row * w, uv.data() + row * cw * 2, w);
    return glGetError() == GL_NO_ERROR;
}

namespace {
GC* g_videoDrawContext = nullptr;  // UI thread only
}

void SetVideoDrawContext(GC* gc) { g_videoDrawContext = gc; }
GC* VideoDrawContext() { return g_videoDrawContext; }

}  // namespace GL
