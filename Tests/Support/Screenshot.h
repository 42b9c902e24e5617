// A screenshot of the whole X screen of the test's display (ImageMagick's
// import), saved for a person to look at and loaded for the test to check.
#pragma once

#include <stb_image.h>

#include <cstdint>
#include <cstdlib>
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

// Takes a screenshot of the root window into `file` (ImageMagick's import)
// and loads it; `ok` is false when either step failed.
inline Shot Screenshot(const std::filesystem::path& file) {
    Shot shot;
    const std::string command = "import -window root '" + file.string() + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return shot;
    int channels = 0;
    stbi_uc* pixels = stbi_load(file.c_str(), &shot.width, &shot.height, &channels, 3);
    if (pixels == nullptr) return shot;
    shot.rgb.assign(pixels, pixels + size_t(shot.width) * size_t(shot.height) * 3);
    stbi_image_free(pixels);
    shot.ok = true;
    return shot;
}

}  // namespace testsupport
