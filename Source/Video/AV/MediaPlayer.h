// MediaPlayer — the one player of recorded media: a video thread that plays a
// file with its own AV::Stream (playback clock, pause, seek requests), or a
// one-shot image loader that decodes a picture file into RGBA for the UI to
// turn into a texture.
//
// Threads: the UI thread loads items, stops the player, sets `paused` and
// `seekRequest` (plain atomic writes read once per round), pops pictures and
// reads the stream's accessors. The player thread runs the playback loop or
// the image loader. `lock` guards status, path and the decoded image.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Base/ThreadSafety.h"
#include "Video/AV/Stream.h"

namespace GL {
class VideoFrameGL;
class TextureGL;
}  // namespace GL

namespace AV {

// Kind of a media item as the player sees it.
enum class MediaKind { Video = 1, Image = 2, Other = 3 };

// An image decoded by the loader, waiting to become a texture (UI thread).
struct DecodedImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;  // width * height * 4 bytes
};

struct MediaPlayer {
    std::thread thread;  // UI thread only
    std::mutex lock;     // the player lock

    // Guarded by the player lock.
    std::string filePath GUARDED_BY(lock);
    std::string status GUARDED_BY(lock);  // shown over the view; empty when all is well
    std::shared_ptr<DecodedImage> image GUARDED_BY(lock);  // handed to the UI; it resets it once uploaded
    uint64_t imageGeneration GUARDED_BY(lock) = 0;         // bumped for every loaded image

    std::atomic<uint8_t> running{0};
    std::atomic<uint8_t> paused{0};
    std::atomic<float> playTime{0};      // seconds
    std::atomic<int32_t> seekRequest{-1};  // -1 none, else thousandths of the duration
    std::atomic<int> mediaType{0};        // 1 video, 2 image, 0 nothing loaded

    Stream stream;
    Stream::Options streamOptions = Stream::Options::MediaFile();

    // UI thread.
    std::shared_ptr<GL::VideoFrameGL> currentPicture;
    std::shared_ptr<GL::TextureGL> imageTexture;
    float panU = 0.5f, panV = 0.5f;
    float zoom = 0;  // 0: fit to the view

    std::string Status() EXCLUDES(lock);  // copy under the player lock
};

// Stops the player thread, then starts the video thread or the image loader
// for `path`. A video still being recorded is not opened ("Recording...").
void LoadMedia(MediaPlayer* player, const std::string& path, MediaKind kind, bool play, bool stillRecording);

// Clears running and joins the thread (never call it from the player thread).
void StopPlayer(MediaPlayer* player);

// Stops the player and forgets the loaded item: nothing is loaded afterwards
// (type 0, no status, no pictures), so the viewer loads the selection anew.
// UI thread.
void UnloadMedia(MediaPlayer* player);

// One round of the playback loop (exposed for tests): seek requests, the
// clock, pausing, decoding when the clock reaches the newest picture.
// `lastSeek` is the thread's last handled seek request; `lastTick` its clock.
void PlaybackRound(MediaPlayer* player, int32_t* lastSeek, std::chrono::steady_clock::time_point* lastTick);

}  // namespace AV
