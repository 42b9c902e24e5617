// Still capture, ports 8014 (PRIMARY) and 8015 (SATELLITE): on every
// connection the unit sends one JPEG made at the channel's still settings
// (ImageWidth 123, ImageHeight 124, JpegQuality 125, shown values) and
// closes. The program sends nothing on this connection.
//
// Faults: captureDelayMs waits before sending (a slow camera); captureFail
// closes without sending; captureSizeBytes pads each file with JPEG comment
// segments to an exact size (decoders skip them); a partial still (option or
// control file) sends the first half of the file and closes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "CameraSim/Picture.h"
#include "CameraSim/Unit.h"

namespace camsim {

// One JPEG (baseline, 4:2:0) of a test picture, `quality` 1..100; empty on
// an encoder failure. `seed` varies the picture; `picture` turns, flips and
// zooms it and sets its tone as the video's (the sensor's top-left corner
// carries a bright mark, so the orientation shows).
std::vector<uint8_t> EncodeTestJpeg(int width, int height, int quality, uint32_t seed,
                                    const PictureSettings& picture = PictureSettings());
// Inserts comment segments after SOI so the file is exactly `size` bytes
// (or as close as possible: files already larger are left alone).
void PadJpeg(std::vector<uint8_t>* jpeg, size_t size);

}  // namespace camsim
