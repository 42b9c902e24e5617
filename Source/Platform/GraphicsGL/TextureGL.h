// GL::TextureGL: one RGBA texture made by the graphics context.
//
// A texture may be made on a worker thread (the media player's image loader
// asks for one); then its pixels wait in memory and are uploaded on the UI
// thread by the first Id() call. Deleting the GL object is likewise queued
// and done by the UI thread (GLDeleteQueue), because the GL context is
// current only there.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace GL {

class TextureGL {
public:
    // Keeps a copy of the RGBA pixels until the first upload.
    TextureGL(const void* rgbaPixels, int width, int height, int format);
    ~TextureGL();
    TextureGL(const TextureGL&) = delete;
    TextureGL& operator=(const TextureGL&) = delete;

    // UI thread, GL context current: the GL name, uploading first if needed.
    // 0 when the upload failed.
    unsigned Id();
    // The identifier handed to Dear ImGui (the GL name as a pointer value).
    void* UiTextureId() { return reinterpret_cast<void*>(uintptr_t(Id())); }

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Format() const { return format_; }

private:
    std::mutex lock_;                // guards id_ and pending_ (made on one thread, used on another)
    unsigned id_ = 0;
    std::vector<uint8_t> pending_;   // pixels waiting for the upload
    int width_ = 0;
    int height_ = 0;
    int format_ = 0;
};

// GL objects whose owners were dropped; the UI thread deletes them once per
// frame (GCGL::Present) with the context current.
void GLQueueTextureDelete(unsigned id);
void GLDeleteQueuedObjects();
// The context is gone: forget queued names without touching GL.
void GLForgetQueuedObjects();

}  // namespace GL
