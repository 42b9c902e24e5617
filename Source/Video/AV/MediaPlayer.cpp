#include "Video/AV/MediaPlayer.h"

#include <stb_image.h>

#include <cstring>

#include "Base/Log.h"
#include "Base/Thread.h"

namespace AV {

namespace {

using Clock = std::chrono::steady_clock;

void VideoThread(MediaPlayer* player, std::string path) {
    bool opened = player->stream.Open(path, player->streamOptions);
    LOGF(opened ? LOG_DEBUG : LOG_ERROR, LOG_SRC_AV, opened ? "MediaPlayer | opened %s (%.3f s)" : "MediaPlayer | could not open %s",
             path.c_str(), static_cast<double>(player->stream.Duration()) / 1e6);
    {
        std::lock_guard<std::mutex> guard(player->lock);
        player->status = opened ? "" : "Could not open video";
    }
    // Running stays as LoadMedia set it unless the file did not open (a stop
    // request that came during the open has already cleared it).
    if (!opened) player->running = 0;
    int32_t lastSeek = -1;
    Clock::time_point lastTick = Clock::now();
    // What the log said last, so each change is written once.
    uint8_t wasPaused = player->paused.load();
    bool ended = false;
    while (player->running.load()) {
        PlaybackRound(player, &lastSeek, &lastTick);
        const uint8_t paused = player->paused.load();
        if (paused != wasPaused) {
            LOGF(LOG_DEBUG, LOG_SRC_AV, paused ? "MediaPlayer | paused at %.3f s" : "MediaPlayer | playing from %.3f s",
                     static_cast<double>(player->playTime.load()));
            wasPaused = paused;
        }
        const int64_t duration = player->stream.Duration();
        const bool atEnd = duration > 0 && player->stream.Position() >= duration;
        if (atEnd && !ended)
            LOGF(LOG_DEBUG, LOG_SRC_AV, "MediaPlayer | end of file at %.3f s", static_cast<double>(duration) / 1e6);
        ended = atEnd;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    player->stream.Close();
}

void ImageLoader(MediaPlayer* player, std::string path) {
    int width = 0, height = 0, channels = 0;
    stbi_uc* pixels = stbi_load(path.c_str(), &width, &height, &channels, 4);
    std::shared_ptr<DecodedImage> image;
    if (pixels && width > 0 && height > 0) {
        image = std::make_shared<DecodedImage>();
        image->width = width;
        image->height = height;
        image->rgba.assign(pixels, pixels + static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    }
    if (pixels) stbi_image_free(pixels);
    std::lock_guard<std::mutex> guard(player->lock);
    if (image) {
        player->image = std::move(image);
        ++player->imageGeneration;
        player->status.clear();
    } else {
        LOGF(LOG_ERROR, LOG_SRC_AV, "ImageLoader | %s : %s", path.c_str(),
                 stbi_failure_reason() ? stbi_failure_reason() : "unknown");
        player->status = "Failed to load image";
    }
}

}  // namespace

std::string MediaPlayer::Status() {
    std::lock_guard<std::mutex> guard(lock);
    return status;
}

void StopPlayer(MediaPlayer* player) {
    player->running = 0;
    if (player->thread.joinable()) player->thread.join();
    player->thread = std::thread();
}

void UnloadMedia(MediaPlayer* player) {
    StopPlayer(player);
    {
        std::lock_guard<std::mutex> guard(player->lock);
        player->filePath.clear();
        player->status.clear();
        player->image.reset();
    }
    player->mediaType = 0;
    player->currentPicture.reset();
    player->imageTexture.reset();
}

void LoadMedia(MediaPlayer* player, const std::string& path, MediaKind kind, bool play, bool stillRecording) {
    StopPlayer(player);
    {
        std::lock_guard<std::mutex> guard(player->lock);
        player->filePath = path;
        player->image.reset();
    }
    player->currentPicture.reset();
    player->imageTexture.reset();
    player->mediaType = kind == MediaKind::Video ? 1 : kind == MediaKind::Image ? 2 : 0;
    switch (kind) {
    case MediaKind::Video:
        if (stillRecording) {
            std::lock_guard<std::mutex> guard(player->lock);
            player->status = "Recording...";
            return;
        }
        {
            std::lock_guard<std::mutex> guard(player->lock);
            player->status = "Loading...";
        }
        player->seekRequest = -1;
        player->paused = play ? 0 : 1;
        player->playTime = 0;
        player->running = 1;
        player->thread = base::StartThread("player-video", [player, path] { VideoThread(player, path); });
        return;
    case MediaKind::Image:
        {
            std::lock_guard<std::mutex> guard(player->lock);
            player->status = "Loading...";
        }
        player->panU = 0.5f;
        player->panV = 0.5f;
        player->zoom = 0;
        player->thread = base::StartThread("player-image", [player, path] { ImageLoader(player, path); });
        return;
    case MediaKind::Other:
        break;
    }
    std::lock_guard<std::mutex> guard(player->lock);
    player->status = "Cannot display this file type";
}

void PlaybackRound(MediaPlayer* player, int32_t* lastSeek, Clock::time_point* lastTick) {
    Stream& stream = player->stream;
    const int32_t seek = player->seekRequest.load();
    const Clock::time_point now = Clock::now();
    if (seek >= 0 && seek != *lastSeek) {
        double durationS = static_cast<double>(stream.Duration()) / 1e6;
        stream.Seek(seek * durationS / 1000.0);
        player->playTime = static_cast<float>(static_cast<double>(stream.Position()) / 1e6);
        *lastTick = now;
        LOGF(LOG_DEBUG, LOG_SRC_AV, "MediaPlayer | seek %d: position %.3f s of %.3f s", seek,
                 static_cast<double>(stream.Position()) / 1e6, durationS);
    } else if (player->paused.load() && stream.FramesFetched() > 0) {
        *lastTick = now;  // the clock stands still, one picture is shown
    } else {
        const int rate = stream.FrameRate();
        const int64_t limit_us = rate >= 1 ? 2000000 / rate : 100000;
        int64_t elapsed_us = std::chrono::duration_cast<std::chrono::microseconds>(now - *lastTick).count();
        if (elapsed_us < 0) elapsed_us = 0;
        const int64_t step_us = elapsed_us < limit_us ? elapsed_us : limit_us;
        *lastTick = now;
        float playTime = player->playTime.load() + static_cast<float>(step_us) / 1e6f;
        if (playTime >= static_cast<float>(static_cast<double>(stream.Position()) / 1e6) && stream.QueuedFrames() == 0)
            stream.Process();
        const float durationS = static_cast<float>(static_cast<double>(stream.Duration()) / 1e6);
        if (playTime > durationS) playTime = durationS;
        player->playTime = playTime;
    }
    *lastSeek = seek;
}

}  // namespace AV
