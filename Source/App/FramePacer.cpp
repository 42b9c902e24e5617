#include "App/FramePacer.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>

namespace pacing {

// ---- FramePacer ---------------------------------------------------------------------

void FramePacer::PictureQueued(int64_t now_us) {
    newContent_ = true;
    newPicture_ = true;
    if (pictureSeen_) {
        const int64_t gap = now_us - lastPicture_us_;
        if (gap > kLongestPictureInterval_us || gap <= 0)
            pictureInterval_us_ = 0;  // a pause, or a clock step: start again
        else if (pictureInterval_us_ == 0)
            pictureInterval_us_ = gap;
        else
            pictureInterval_us_ = (pictureInterval_us_ * 7 + gap) / 8;
    }
    pictureSeen_ = true;
    lastPicture_us_ = now_us;
}

void FramePacer::PicturesWaiting() {
    newContent_ = true;
    newPicture_ = true;
}

void FramePacer::InputArrived(int64_t /*now_us*/) { newContent_ = true; }

int64_t FramePacer::Due_us(int64_t now_us) const {
    if (!started_) return now_us;
    const int64_t next = lastFrame_us_ + kRefresh_us;
    if (newPicture_) return next - kPictureCatchUp_us;
    if (newContent_ || pictureInterval_us_ == 0) return next;
    const int64_t expected = lastPicture_us_ + pictureInterval_us_;
    if (next > expected - kRefresh_us - kPictureJitter_us && next < expected + kRefresh_us)
        return expected + kRefresh_us / 2;
    return next;
}

int64_t FramePacer::Wait_us(int64_t now_us) const {
    return std::clamp<int64_t>(Due_us(now_us) - now_us, 0, kLongestWait_us);
}

bool FramePacer::FrameStarted(int64_t now_us) {
    const bool woken = newContent_;
    started_ = true;
    lastFrame_us_ = now_us;
    newContent_ = false;
    newPicture_ = false;
    return woken;
}

// ---- FrameStats ---------------------------------------------------------------------

void FrameStats::Add(const FrameCost& cost, int64_t now_us) {
    if (windowStart_us_ < 0) windowStart_us_ = now_us - cost.total_us;
    frames_.push_back(cost);
    woken_ += cost.woken ? 1 : 0;
    cpu_us_ += cost.cpu_us;
}

namespace {
double MedianMs(std::vector<int64_t> v) {
    if (v.empty()) return 0;
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return static_cast<double>(v[v.size() / 2]) / 1000.0;
}
}  // namespace

bool FrameStats::TakeReport(int64_t now_us, std::string* line) {
    if (windowStart_us_ < 0 || now_us - windowStart_us_ < kWindow_us || frames_.empty()) return false;
    const double seconds = static_cast<double>(now_us - windowStart_us_) / 1e6;
    const size_t n = frames_.size();
    std::vector<int64_t> pictures, build, draw, swap, total;
    for (const FrameCost& f : frames_) {
        pictures.push_back(f.pictures_us);
        build.push_back(f.build_us);
        draw.push_back(f.draw_us);
        swap.push_back(f.swap_us);
        total.push_back(f.total_us);
    }
    char text[320];
    snprintf(text, sizeof text,
             "Frame costs | %.1f s: %zu frames (%d woken by pictures or input), UI thread %.2f ms CPU per frame; "
             "medians: pictures %.2f ms, UI %.2f ms, draw %.2f ms, swap %.2f ms, frame %.2f ms",
             seconds, n, woken_, static_cast<double>(cpu_us_) / 1000.0 / static_cast<double>(n), MedianMs(pictures),
             MedianMs(build), MedianMs(draw), MedianMs(swap), MedianMs(total));
    *line = text;
    windowStart_us_ = now_us;
    frames_.clear();
    woken_ = 0;
    cpu_us_ = 0;
    return true;
}

}  // namespace pacing
