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

// The root window of $DISPLAY now; `ok` is false when there is no display,
// the server gave no image, or the screen is not 24-bit TrueColor.
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
    // Every test display is an Xvfb "-screen 0 WxHx24": TrueColor, 32 bits
    // a pixel in the order B, G, R, pad. Anything else is refused.
    const bool bgrx = image != nullptr && image->bits_per_pixel == 32 && image->byte_order == LSBFirst &&
                      image->red_mask == 0xff0000 && image->green_mask == 0xff00 && image->blue_mask == 0xff;
    if (bgrx) {
        shot.width = image->width;
        shot.height = image->height;
        shot.rgb.resize(size_t(shot.width) * size_t(shot.height) * 3);
        uint8_t* out = shot.rgb.data();
        for (int y = 0; y < shot.height; ++y) {
            const auto* row = reinterpret_cast<const uint8_t*>(image->data) + size_t(y) * size_t(image->bytes_per_line);
            for (int x = 0; x < shot.width; ++x, out += 3) {
                out[0] = row[x * 4 + 2];
                out[1] = row[x * 4 + 1];
                out[2] = row[x * 4 + 0];
            }
        }
        shot.ok = true;
    }
    if (image != nullptr) XDestroyImage(image);
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
