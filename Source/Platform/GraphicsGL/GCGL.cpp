// Sections: version and projection helpers; life cycle (Initialize, release);
// shader sets; render target, clear, present; textures; video frames;
// decal draws; model draws.
#define GL_GLEXT_PROTOTYPES 1
#include "Platform/GraphicsGL/GCGL.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <SDL.h>
#include <stb_image.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "Base/Log.h"
#include "Platform/GraphicsGL/ModelPart.h"
#include "Platform/GraphicsGL/TextureGL.h"
#include "Platform/GraphicsGL/VideoFrameGL.h"
#include "Base/FileServices.h"
#include "Platform/Platform_Linux/Gui/ResourceFolder.h"
#include "Video/AV/Frame.h"

namespace GL {

namespace {
constexpr size_t kDecalBufferBytes = 2097152;  // 2 MiB, 32-byte vertices
constexpr size_t kDecalIndexCount = kDecalBufferBytes / sizeof(DecalVertex) * 3;
constexpr size_t kModelVertices = 65536;
constexpr size_t kModelIndices = 262144;

void SetupAttributes(const std::vector<VertexAttribute>& layout, size_t stride) {
    for (size_t i = 0; i < layout.size(); ++i) {
        glEnableVertexAttribArray(GLuint(i));
        glVertexAttribPointer(GLuint(i), layout[i].components, GL_FLOAT, GL_FALSE, GLsizei(stride),
                              reinterpret_cast<void*>(layout[i].offset));
    }
}
}  // namespace

// ---- version and projection --------------------------------------------------

int CurrentGLVersion() {
    GLint major = 0, minor = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    if (glGetError() != GL_NO_ERROR) return 0;  // before 3.0 these queries do not exist
    return major * 10 + minor;
}

unsigned CreateLinearClampSampler() {
    GLuint sampler = 0;
    glGenSamplers(1, &sampler);
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glSamplerParameterf(sampler, GL_TEXTURE_MIN_LOD, 0.0f);
    glSamplerParameterf(sampler, GL_TEXTURE_MAX_LOD, 0.0f);
    return sampler;
}

void ProjectionMatrix(int width, int height, float out[16]) {
    std::memset(out, 0, 16 * sizeof(float));
    const float w = width > 0 ? float(width) : 1.0f, h = height > 0 ? float(height) : 1.0f;
    out[0] = 2.0f / w;
    out[5] = -2.0f / h;
    out[10] = 0.5f;
    out[12] = -1.0f;
    out[13] = 1.0f;
    out[14] = 0.5f;
    out[15] = 1.0f;
}

// ---- life cycle -------------------------------------------------------------

GCGL::GCGL(SDL_Window* window) : window_(window) {}

GCGL::~GCGL() {
    ReleaseAll();
    if (VideoDrawContext() == this) SetVideoDrawContext(nullptr);
}

void ShaderGL::Apply() const {
    glUseProgram(program);
    if (uniformBuffer) glBindBufferBase(GL_UNIFORM_BUFFER, 0, uniformBuffer);
    if (blend.enabled) {
        glEnable(GL_BLEND);
        glBlendEquation(GL_FUNC_ADD);
        glBlendFuncSeparate(blend.srcColor, blend.dstColor, blend.srcAlpha, blend.dstAlpha);
    } else {
        glDisable(GL_BLEND);
    }
    if (depthTest) {
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LESS);
        glDepthMask(GL_TRUE);
    } else {
        glDisable(GL_DEPTH_TEST);
    }
    glDisable(GL_CULL_FACE);
}

ShaderGL::~ShaderGL() {
    if (uniformBuffer) glDeleteBuffers(1, &uniformBuffer);
    if (program) glDeleteProgram(program);
    if (vertexShader) glDeleteShader(vertexShader);
    if (fragmentShader) glDeleteShader(fragmentShader);
}

void GCGL::ReleaseAll() {
    videoPool_.clear();
    textures_.clear();
    videoShader_.reset();
    planarVideoShader_.reset();
    decalShader_.reset();
    modelShader_.reset();
    shaders_.clear();
    if (sampler_) glDeleteSamplers(1, &sampler_);
    sampler_ = 0;
    const GLuint buffers[4] = {decalVertexBuffer_, decalIndexBuffer_, modelVertexBuffer_, modelIndexBuffer_};
    for (GLuint b : buffers) {
        if (b) glDeleteBuffers(1, &b);
    }
    decalVertexBuffer_ = decalIndexBuffer_ = modelVertexBuffer_ = modelIndexBuffer_ = 0;
    if (decalVao_) glDeleteVertexArrays(1, &decalVao_);
    if (modelVao_) glDeleteVertexArrays(1, &modelVao_);
    decalVao_ = modelVao_ = 0;
    GLDeleteQueuedObjects();
}

bool GCGL::Initialize() {
    ReleaseAll();
    const int version = CurrentGLVersion();
    if (version < 33) {
        LOGF(LOG_ERROR, LOG_SRC_GRAPHICS, "GCGL::Initialize : could not create device (OpenGL %d.%d, 3.3 needed)",
             version / 10, version % 10);
        return false;
    }
    sampler_ = CreateLinearClampSampler();

    const BlendDesc opaque{true, GL_ONE, GL_ZERO, GL_ONE, GL_ZERO};
    const BlendDesc alpha{true, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ZERO};
    videoShader_ = CreateShader("video.vert", "video.frag", 64, opaque);
    if (!videoShader_) return false;
    planarVideoShader_ = CreateShader("video.vert", "video.frag", 64, opaque, "#define THREE_PLANES 1\n");
    if (!planarVideoShader_) return false;
    decalShader_ = CreateShader("decal.vert", "decal.frag", 64, alpha);
    if (!decalShader_) return false;
    modelShader_ = CreateShader("model.vert", "model.frag", 160, alpha);
    if (!modelShader_) return false;
    modelShader_->depthTest = true;

    for (const ShaderGL* video : {videoShader_.get(), planarVideoShader_.get()}) {
        glUseProgram(video->program);
        glUniform1i(glGetUniformLocation(video->program, "lumaTexture"), 0);
        glUniform1i(glGetUniformLocation(video->program, "chromaTexture"), 1);
        const GLint chromaV = glGetUniformLocation(video->program, "chromaVTexture");
        if (chromaV >= 0) glUniform1i(chromaV, 2);
    }
    glUseProgram(decalShader_->program);
    glUniform1i(glGetUniformLocation(decalShader_->program, "decalTexture"), 0);
    glUseProgram(modelShader_->program);
    for (int i = 0; i < 4; ++i) {
        char name[32];
        std::snprintf(name, sizeof(name), "partTexture%d", i);
        const GLint location = glGetUniformLocation(modelShader_->program, name);
        if (location >= 0) glUniform1i(location, i);
    }
    glUseProgram(0);

    // Decal buffers: 32-byte vertices, position / texture / colour.
    glGenVertexArrays(1, &decalVao_);
    glGenBuffers(1, &decalVertexBuffer_);
    glGenBuffers(1, &decalIndexBuffer_);
    if (!decalVao_ || !decalVertexBuffer_ || !decalIndexBuffer_) {
        LOGF(LOG_ERROR, LOG_SRC_GRAPHICS, "Failed to create vertex buffer");
    } else {
        glBindVertexArray(decalVao_);
        glBindBuffer(GL_ARRAY_BUFFER, decalVertexBuffer_);
        glBufferData(GL_ARRAY_BUFFER, kDecalBufferBytes, nullptr, GL_DYNAMIC_DRAW);
        SetupAttributes({{2, 0}, {2, 8}, {4, 16}}, sizeof(DecalVertex));
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, decalIndexBuffer_);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, kDecalIndexCount * sizeof(uint32_t), nullptr, GL_DYNAMIC_DRAW);
    }
    // Model buffers: 48-byte vertices, position / normal / texture / colour.
    glGenVertexArrays(1, &modelVao_);
    glGenBuffers(1, &modelVertexBuffer_);
    glGenBuffers(1, &modelIndexBuffer_);
    if (!modelVao_ || !modelVertexBuffer_ || !modelIndexBuffer_) {
        LOGF(LOG_ERROR, LOG_SRC_GRAPHICS, "Failed to create vertex buffer");
    } else {
        glBindVertexArray(modelVao_);
        glBindBuffer(GL_ARRAY_BUFFER, modelVertexBuffer_);
        glBufferData(GL_ARRAY_BUFFER, kModelVertices * sizeof(ModelVertex), nullptr, GL_DYNAMIC_DRAW);
        SetupAttributes({{3, 0}, {3, 12}, {2, 24}, {4, 32}}, sizeof(ModelVertex));
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, modelIndexBuffer_);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, kModelIndices * sizeof(uint16_t), nullptr, GL_DYNAMIC_DRAW);
    }
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    if (window_ != nullptr && SDL_GL_SetSwapInterval(1) != 0) {
        LOGF(LOG_WARN, LOG_SRC_GRAPHICS, "GCGL::Initialize : vertical sync not available (%s)", SDL_GetError());
    }
    SetVideoDrawContext(this);
    return true;
}

// ---- shader sets ------------------------------------------------------------

namespace {

// Compiles one stage; 0 on failure with the compiler's log in `log`.
GLuint CompileStage(GLenum stage, const std::vector<uint8_t>& source, std::string* log) {
    GLuint shader = glCreateShader(stage);
    if (shader == 0) return 0;
    const GLchar* text = reinterpret_cast<const GLchar*>(source.data());
    const GLint length = GLint(source.size());
    glShaderSource(shader, 1, &text, &length);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok != GL_TRUE) {
        char buffer[1024] = {0};
        glGetShaderInfoLog(shader, sizeof(buffer) - 1, nullptr, buffer);
        log->assign(buffer);
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

// `defines` ("#define ...\n" lines) go right after the source's first line,
// which GLSL requires to be its #version; a #line directive keeps the
// compiler's line numbers those of the file.
void InsertDefines(std::vector<uint8_t>* source, const char* defines) {
    if (defines == nullptr || *defines == '\0') return;
    const std::string text = std::string(defines) + "#line 2\n";
    auto firstLineEnd = std::find(source->begin(), source->end(), uint8_t('\n'));
    if (firstLineEnd == source->end()) {
        source->push_back('\n');
        firstLineEnd = source->end() - 1;
    }
    source->insert(firstLineEnd + 1, text.begin(), text.end());
}

// Reads and compiles one stage from the resource folder; 0 after logging
// `openError` (file missing) or `compileError` (compiler's log).
GLuint LoadStage(GLenum stage, const char* file, const char* defines, const char* openError,
                 const char* compileError) {
    std::vector<uint8_t> source;
    std::string log;
    const Path path = ResourcePath(file);
    if (!platform::ReadWholeFile(path, &source) || source.empty()) {
        LOGF(LOG_ERROR, LOG_SRC_GRAPHICS, "GCGL::CreateShader : %s %s", openError, path.CStr());
        return 0;
    }
    InsertDefines(&source, defines);
    const GLuint shader = CompileStage(stage, source, &log);
    if (shader == 0) LOGF(LOG_ERROR, LOG_SRC_GRAPHICS, "GCGL::CreateShader : %s %s: %s", compileError, file, log.c_str());
    return shader;
}

}  // namespace

std::shared_ptr<ShaderGL> GCGL::CreateShader(const char* vertexFile, const char* fragmentFile, size_t uniformBytes,
                                             const BlendDesc& blend, const char* fragmentDefines) {
    auto set = std::make_shared<ShaderGL>();
    set->vertexShader = LoadStage(GL_VERTEX_SHADER, vertexFile, nullptr, "could not open compiled vertex shader file",
                                  "Failed to create vertex shader");
    if (set->vertexShader == 0) return nullptr;
    set->fragmentShader = LoadStage(GL_FRAGMENT_SHADER, fragmentFile, fragmentDefines,
                                    "could not open compiled pixel shader file", "could not create pixel shader");
    if (set->fragmentShader == 0) return nullptr;
    set->program = glCreateProgram();
    glAttachShader(set->program, set->vertexShader);
    glAttachShader(set->program, set->fragmentShader);
    glLinkProgram(set->program);
    GLint ok = GL_FALSE;
    glGetProgramiv(set->program, GL_LINK_STATUS, &ok);
    if (ok != GL_TRUE) {
        char buffer[1024] = {0};
        glGetProgramInfoLog(set->program, sizeof(buffer) - 1, nullptr, buffer);
        LOGF(LOG_ERROR, LOG_SRC_GRAPHICS, "GCGL::CreateShader : could not create input layout (%s + %s): %s",
             vertexFile, fragmentFile, buffer);
        return nullptr;
    }
    const GLuint block = glGetUniformBlockIndex(set->program, "Constants");
    if (block != GL_INVALID_INDEX) glUniformBlockBinding(set->program, block, 0);
    glGenBuffers(1, &set->uniformBuffer);
    glBindBuffer(GL_UNIFORM_BUFFER, set->uniformBuffer);
    glBufferData(GL_UNIFORM_BUFFER, GLsizeiptr(uniformBytes), nullptr, GL_DYNAMIC_DRAW);
    glBindBuffer(GL_UNIFORM_BUFFER, 0);
    set->uniformBytes = uniformBytes;
    set->blend = blend;
    shaders_.push_back(set);
    return set;
}

void GCGL::WriteProjection(const ShaderGL& shader) {
    float projection[16];
    ProjectionMatrix(targetWidth_, targetHeight_, projection);
    glBindBuffer(GL_UNIFORM_BUFFER, shader.uniformBuffer);
    glBufferSubData(GL_UNIFORM_BUFFER, 0, sizeof(projection), projection);
    glBindBuffer(GL_UNIFORM_BUFFER, 0);
}

// ---- render target, clear, present -------------------------------------------

void GCGL::CreateRenderTarget(int width, int height) {
    targetWidth_ = width;
    targetHeight_ = height;
    glViewport(0, 0, width, height);
    videoProjectionWritten_[0] = videoProjectionWritten_[1] = false;  // the projection follows the size
}

void GCGL::Clear(float r, float g, float b, float a) {
    glDisable(GL_SCISSOR_TEST);
    glDepthMask(GL_TRUE);
    glViewport(0, 0, targetWidth_, targetHeight_);
    glClearColor(r, g, b, a);
    glClearDepth(1.0);
    // The stencil is unused, but clearing it with the depth lets a combined
    // depth/stencil buffer be cleared whole instead of masked (about 2 ms a
    // frame at 1280x800 with the software rasteriser).
    glClearStencil(0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
}

void GCGL::Present() {
    if (window_ != nullptr) SDL_GL_SwapWindow(window_);
    decalDraws_ = 0;
    videoDraws_ = 0;
    videoProjectionWritten_[0] = videoProjectionWritten_[1] = false;
    GLDeleteQueuedObjects();
}

// ---- textures ---------------------------------------------------------------

std::shared_ptr<TextureGL> GCGL::CreateTexture(const void* pixels, int width, int height, int format) {
    if (pixels == nullptr || width <= 0 || height <= 0 || width > 16384 || height > 16384) return nullptr;
    if (format != PixelFormatRGBA && format != PixelFormatBGRA) return nullptr;  // NV12 is for video frames only
    auto texture = std::make_shared<TextureGL>(pixels, width, height, format);
    // The list only watches: forget the textures that have gone, or it
    // (and the control blocks it pins) grows with every texture ever made.
    std::erase_if(textures_, [](const std::weak_ptr<TextureGL>& t) { return t.expired(); });
    textures_.push_back(texture);
    return texture;
}

std::shared_ptr<TextureGL> GCGL::CreateTexture(const Image& image) {
    if (image.Empty()) return nullptr;
    return CreateTexture(image.pixels.get(), image.width, image.height, image.format);
}

std::shared_ptr<TextureGL> GCGL::LoadTexture(const char* path) {
    std::vector<uint8_t> bytes;
    if (path == nullptr || !platform::ReadWholeFile(Path(path), &bytes) || bytes.empty()) return nullptr;
    return LoadTextureFromMemory(bytes.data(), bytes.size());
}

std::shared_ptr<TextureGL> GCGL::LoadTextureFromMemory(const void* bytes, size_t length) {
    if (bytes == nullptr || length == 0 || length > size_t(INT32_MAX)) return nullptr;
    int width = 0, height = 0, channels = 0;
    stbi_uc* pixels = stbi_load_from_memory(static_cast<const stbi_uc*>(bytes), int(length), &width, &height,
                                            &channels, 4);
    if (pixels == nullptr) return nullptr;
    auto texture = CreateTexture(pixels, width, height, PixelFormatRGBA);
    stbi_image_free(pixels);
    return texture;
}

// ---- video frames -----------------------------------------------------------

std::shared_ptr<VideoFrameGL> GCGL::UpdateVideoFrame(const std::shared_ptr<AV::Frame>& frame) {
    if (!frame || frame->frame == nullptr) return nullptr;
    std::lock_guard<std::mutex> guard(frame->lock);
    return UpdateVideoFrameFrom(frame->frame);
}

std::shared_ptr<VideoFrameGL> GCGL::UpdateVideoFrameFrom(const AVFrame* frame) {
    for (auto& record : videoPool_) {
        if (record.use_count() == 1) {
            // Only the first free record is tried.
            if (!record->Initialize(frame)) return nullptr;
            return record;
        }
    }
    auto record = std::make_shared<VideoFrameGL>();
    if (!record->Initialize(frame)) return nullptr;
    videoPool_.push_back(record);
    return record;
}

bool GCGL::ReadVideoFrame(const std::shared_ptr<VideoFrameGL>& picture, Image* image) {
    if (!picture || image == nullptr || !picture->HasTexture()) return false;
    if (!image->Resize(picture->Width(), picture->Height(), PixelFormatNV12)) return false;
    return picture->ReadNV12(image->pixels.get(), image->capacity);
}

void GCGL::DrawVideoFrame(const std::shared_ptr<VideoFrameGL>& picture, float x, float y, float w, float h) {
    if (!picture || !videoShader_ || !planarVideoShader_ || !picture->HasTexture()) return;
    // Each program takes the projection once a frame, at its first draw:
    // rewriting a uniform buffer that an earlier draw of the frame still
    // reads can make a GPU driver wait or copy.
    const int program = picture->Planes() == VideoPlanes::NV12 ? 0 : 1;
    ShaderGL& shader = program == 0 ? *videoShader_ : *planarVideoShader_;
    if (!videoProjectionWritten_[program]) WriteProjection(shader);
    videoProjectionWritten_[program] = true;
    shader.Apply();
    // Scissor to the rectangle; GL counts rows from the bottom.
    glEnable(GL_SCISSOR_TEST);
    const int left = int(x), top = int(y), right = int(x + w), bottom = int(y + h);
    glScissor(left, targetHeight_ - bottom, right - left > 0 ? right - left : 0, bottom - top > 0 ? bottom - top : 0);
    glViewport(0, 0, targetWidth_, targetHeight_);
    picture->Draw(x, y, w, h);
    glBindVertexArray(0);
    ++videoDraws_;
}

// ---- decal draws ------------------------------------------------------------

void GCGL::ApplyDecalSet(unsigned textureId) {
    WriteProjection(*decalShader_);
    decalShader_->Apply();
    glDisable(GL_SCISSOR_TEST);
    glViewport(0, 0, targetWidth_, targetHeight_);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, textureId);
    glBindSampler(0, 0);  // the texture's own linear, clamped parameters
    glBindVertexArray(decalVao_);
    glBindBuffer(GL_ARRAY_BUFFER, decalVertexBuffer_);
}

void GCGL::DrawImage(const ImageQuad& quad, float x, float y) {
    if (!decalShader_ || !decalVao_ || !quad.texture) return;
    const unsigned id = quad.texture->Id();
    if (id == 0) return;
    ApplyDecalSet(id);
    const DecalVertex v[4] = {
        {x, y, quad.u0, quad.v0, quad.r, quad.g, quad.b, quad.a},
        {x + quad.width, y, quad.u1, quad.v0, quad.r, quad.g, quad.b, quad.a},
        {x, y + quad.height, quad.u0, quad.v1, quad.r, quad.g, quad.b, quad.a},
        {x + quad.width, y + quad.height, quad.u1, quad.v1, quad.r, quad.g, quad.b, quad.a},
    };
    glBufferData(GL_ARRAY_BUFFER, kDecalBufferBytes, nullptr, GL_DYNAMIC_DRAW);
    glBufferSubData(GL_ARRAY_BUFFER, 0, sizeof(v), v);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glBindVertexArray(0);
    ++decalDraws_;
}

void GCGL::DrawTriangles(const std::shared_ptr<TextureGL>& texture, const DecalVertex* vertices, int vertexCount,
                         const uint32_t* indices, int indexCount) {
    if (!decalShader_ || !decalVao_ || !texture || vertices == nullptr || indices == nullptr) return;
    if (vertexCount <= 0 || indexCount <= 0) return;
    // Never write past the buffers; indices must name vertices that were given.
    if (size_t(vertexCount) * sizeof(DecalVertex) > kDecalBufferBytes || size_t(indexCount) > kDecalIndexCount) {
        LOGF(LOG_ERROR, LOG_SRC_GRAPHICS, "GCGL::DrawTriangles : %d vertices / %d indices exceed the buffers",
             vertexCount, indexCount);
        return;
    }
    for (int i = 0; i < indexCount; ++i) {
        if (indices[i] >= uint32_t(vertexCount)) return;
    }
    const unsigned id = texture->Id();
    if (id == 0) return;
    ApplyDecalSet(id);
    glBufferData(GL_ARRAY_BUFFER, kDecalBufferBytes, nullptr, GL_DYNAMIC_DRAW);
    glBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(size_t(vertexCount) * sizeof(DecalVertex)), vertices);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, kDecalIndexCount * sizeof(uint32_t), nullptr, GL_DYNAMIC_DRAW);
    glBufferSubData(GL_ELEMENT_ARRAY_BUFFER, 0, GLsizeiptr(size_t(indexCount) * sizeof(uint32_t)), indices);
    glDrawElements(GL_TRIANGLES, indexCount, GL_UNSIGNED_INT, nullptr);
    glBindVertexArray(0);
    ++decalDraws_;
}

// ---- model draws ------------------------------------------------------------

void GCGL::DrawModel(const ModelPart& part) {
    if (!modelShader_ || !modelVao_ || part.vertices.empty() || part.indices.empty()) return;
    if (part.vertices.size() > kModelVertices || part.indices.size() > kModelIndices) return;
    // Uniform block: model x view, projection, material, light (x, y, z, 1).
    float constants[40];
    MultiplyMatrix4(part.model, part.view, constants);
    std::memcpy(constants + 16, part.projection, sizeof(part.projection));
    std::memcpy(constants + 32, part.material, sizeof(part.material));
    constants[36] = part.light[0];
    constants[37] = part.light[1];
    constants[38] = part.light[2];
    constants[39] = 1.0f;
    glBindBuffer(GL_UNIFORM_BUFFER, modelShader_->uniformBuffer);
    glBufferSubData(GL_UNIFORM_BUFFER, 0, sizeof(constants), constants);
    glBindBuffer(GL_UNIFORM_BUFFER, 0);
    modelShader_->Apply();
    glDisable(GL_SCISSOR_TEST);
    glViewport(0, 0, targetWidth_, targetHeight_);
    for (size_t i = 0; i < part.textures.size() && i < 4; ++i) {
        glActiveTexture(GLenum(GL_TEXTURE0 + i));
        glBindTexture(GL_TEXTURE_2D, part.textures[i] ? part.textures[i]->Id() : 0);
        glBindSampler(GLuint(i), 0);
    }
    glActiveTexture(GL_TEXTURE0);
    glBindVertexArray(modelVao_);
    glBindBuffer(GL_ARRAY_BUFFER, modelVertexBuffer_);
    glBufferData(GL_ARRAY_BUFFER, kModelVertices * sizeof(ModelVertex), nullptr, GL_DYNAMIC_DRAW);
    glBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(part.vertices.size() * sizeof(ModelVertex)), part.vertices.data());
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, kModelIndices * sizeof(uint16_t), nullptr, GL_DYNAMIC_DRAW);
    glBufferSubData(GL_ELEMENT_ARRAY_BUFFER, 0, GLsizeiptr(part.indices.size() * sizeof(uint16_t)),
                    part.indices.data());
    glDrawElements(GL_TRIANGLES, GLsizei(part.indices.size()), GL_UNSIGNED_SHORT, nullptr);
    glBindVertexArray(0);
    glDisable(GL_DEPTH_TEST);
}

}  // namespace GL
