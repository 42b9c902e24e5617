// Screenshots of the whole X screen of the test's display ($DISPLAY).
//
// GrabScreen reads the root window straight from the X server (XGetImage):
// no helper process, no file, no image decoding, so a test that polls the
// screen many times a second stays cheap on a busy machine. Screenshot also
// saves the picture as a PNG for a person to look at; SaveShot saves one
// already taken (the shot a wait accepted).
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stb_image_write.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

// A screenshot of the whole X screen as RGB pixels.
struct Shot {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    bool ok = false;
    const uint8_t* At(int x, int y) const { return &rgb[size_t(y * width + x) * 3]; }
};

namespace screenshot_detail {

// The lowest set bit of a channel mask and the channel's width: the shift
// and scale that bring a pixel's channel to 0..255.
inline void MaskShape(unsigned long mask, int* shift, int* bits) {
    *shift = 0;
    *bits = 0;
    if (mask == 0) return;
    while ((mask & 1UL) == 0) {
        mask >>= 1;
        ++*shift;
    }
    while ((mask & 1UL) != 0) {
        mask >>= 1;
        ++*bits;
    }
}

inline uint8_t Channel(unsigned long pixel, int shift, int bits) {
    if (bits == 0) return 0;
    const unsigned long value = (pixel >> shift) & ((1UL << bits) - 1);
    return bits >= 8 ? uint8_t(value >> (bits - 8)) : uint8_t(value * 255 / ((1UL << bits) - 1));
}

}  // namespace screenshot_detail

// The root window of $DISPLAY now; `ok` is false when there is no display or
// the server gave no image.
inline Shot GrabScreen() {
    Shot shot;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return shot;
    const Window root = DefaultRootWindow(display);
    XWindowAttributes attributes{};
    XImage* image = nullptr;
    if (XGetWindowAttributes(display, root, &attributes) != 0 && attributes.width > 0 && attributes.height > 0)
        image = XGetImage(display, root, 0, 0, unsigned(attributes.width), unsigned(attributes.height), AllPlanes,
                          ZPixmap);
    if (image != nullptr) {
        using namespace screenshot_detail;
        int rs = 0, rb = 0, gs = 0, gb = 0, bs = 0, bb = 0;
        MaskShape(image->red_mask, &rs, &rb);
        MaskShape(image->green_mask, &gs, &gb);
        MaskShape(image->blue_mask, &bs, &bb);
        shot.width = image->width;
        shot.height = image->height;
        shot.rgb.resize(size_t(shot.width) * size_t(shot.height) * 3);
        uint8_t* out = shot.rgb.data();
        const bool fast = image->bits_per_pixel == 32 && image->byte_order == LSBFirst && rs == 16 && rb == 8 &&
                          gs == 8 && gb == 8 && bs == 0 && bb == 8;
        for (int y = 0; y < shot.height; ++y) {
            if (fast) {
                // The usual 24-bit TrueColor screen: B, G, R, pad per pixel.
                const auto* row = reinterpret_cast<const uint8_t*>(image->data) + size_t(y) * size_t(image->bytes_per_line);
                for (int x = 0; x < shot.width; ++x, out += 3) {
                    out[0] = row[x * 4 + 2];
                    out[1] = row[x * 4 + 1];
                    out[2] = row[x * 4 + 0];
                }
                continue;
            }
            for (int x = 0; x < shot.width; ++x, out += 3) {
                const unsigned long pixel = XGetPixel(image, x, y);
                out[0] = Channel(pixel, rs, rb);
                out[1] = Channel(pixel, gs, gb);
                out[2] = Channel(pixel, bs, bb);
            }
        }
        XDestroyImage(image);
        shot.ok = true;
    }
    XCloseDisplay(display);
    return shot;
}

// Saves `shot` as a PNG; false when it holds no picture or the file could
// not be written.
inline bool SaveShot(const Shot& shot, const std::filesystem::path& file) {
    if (!shot.ok) return false;
    return stbi_write_png(file.c_str(), shot.width, shot.height, 3, shot.rgb.data(), shot.width * 3) != 0;
}

// A screenshot taken now and saved as `file`; `ok` is false when either
// step failed.
inline Shot Screenshot(const std::filesystem::path& file) {
    Shot shot = GrabScreen();
    if (shot.ok && !SaveShot(shot, file)) shot.ok = false;
    return shot;
}

}  // namespace testsupport
