// When the main loop runs its next frame, and what the frames cost.
//
// FramePacer: a frame is due
//   - as soon as there is something new to show (a picture a stream has
//     queued, an input event) and one display refresh (16.7 ms) has passed
//     since the previous frame started: new pictures reach the screen at
//     once, yet never more than one frame per refresh. For a picture the
//     gap may be 1 ms shorter: a stream of 60 pictures per second that
//     started in a bad phase (each picture just after a frame) would
//     otherwise keep waiting almost a whole refresh for ever; so it catches
//     up by 1 ms per picture, and the rate stays the stream's;
//   - otherwise one refresh after the previous frame (the idle frame, which
//     keeps the UI's animations and the once-per-frame steps at 60 frames
//     per second), except where that idle frame would start less than one
//     refresh before the next picture is expected: it is then put off until
//     half a refresh after that picture's time, so that it never takes the
//     refresh the picture needs (a picture that comes does the idle frame's
//     work). The picture time is expected from the last picture and the
//     mean interval between pictures;
//   - and while a stream's queue still holds pictures after a frame (each
//     frame shows one per stream), as for a new picture: a queue that filled
//     while the UI thread was held up drains at one picture per refresh.
//
// FrameStats: per-frame costs of the UI thread (picture uploads, the UI
// build, drawing, the swap, CPU time) collected over a window and summed up
// in one log line.
//
// Threads: both are UI thread only. Times are microseconds of the monotonic
// clock, passed in by the caller (the unit tests pass their own clock).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pacing {

class FramePacer {
public:
    static constexpr int64_t kRefresh_us = 16666;
    // How much sooner than a refresh after the previous frame a picture may be shown.
    static constexpr int64_t kPictureCatchUp_us = 1000;
    // A picture may come this much earlier than expected (decode time varies).
    static constexpr int64_t kPictureJitter_us = 3000;
    // Pictures further apart than this are not expected at all.
    static constexpr int64_t kLongestPictureInterval_us = 200000;
    // The longest single wait, so that stop signals and the other once-a-pass
    // checks of the loop are seen at least this often.
    static constexpr int64_t kLongestWait_us = 50000;

    // A stream has queued a picture (the wake-up from a video thread).
    void PictureQueued(int64_t now_us);
    // A frame has shown one picture of a stream whose queue still holds
    // more (each frame takes one per stream): the next frame is due as for a
    // new picture, so that a queue that has filled while the UI thread was
    // held up drains at one picture per refresh instead of staying behind
    // for as long as the stream runs. The picture interval is not touched.
    void PicturesWaiting();
    // An input or window event arrived.
    void InputArrived(int64_t now_us);
    // How long the loop may wait for events before the next frame is due:
    // 0 means run the frame now.
    int64_t Wait_us(int64_t now_us) const;
    // A frame starts now; true when something new woke it (a picture or an
    // event), false for an idle frame.
    bool FrameStarted(int64_t now_us);

    // The time the next frame is due (before the first frame: now).
    int64_t Due_us(int64_t now_us) const;
    // Mean interval between queued pictures; 0 while unknown.
    int64_t PictureInterval_us() const { return pictureInterval_us_; }

private:
    bool started_ = false;
    int64_t lastFrame_us_ = 0;
    bool newContent_ = false;
    bool newPicture_ = false;
    bool pictureSeen_ = false;
    int64_t lastPicture_us_ = 0;
    int64_t pictureInterval_us_ = 0;
};

struct FrameCost {
    bool woken = false;        // by a queued picture or an event (not an idle frame)
    int64_t pictures_us = 0;   // popping and uploading the slots' pictures
    int64_t build_us = 0;      // the UI frame (ImGui's new frame and the windows)
    int64_t draw_us = 0;       // the UI's draw data into the render target
    int64_t swap_us = 0;       // presenting (buffer swap)
    int64_t total_us = 0;      // the whole frame, end-of-frame steps included
    int64_t cpu_us = 0;        // UI thread CPU time of the frame
    bool picturesLeft = false; // a stream's queue still held pictures after the frame took one
};

class FrameStats {
public:
    static constexpr int64_t kWindow_us = 10000000;

    // Adds one frame's costs; `now_us` is when it ended.
    void Add(const FrameCost& cost, int64_t now_us);
    // True when the window is full; `line` then gets its summary and the
    // window starts again.
    bool TakeReport(int64_t now_us, std::string* line);

private:
    int64_t windowStart_us_ = -1;
    int woken_ = 0;
    int64_t cpu_us_ = 0;
    std::vector<FrameCost> frames_;
};

}  // namespace pacing
