// FFmpeg error codes as text for the video pipeline's log lines.
#pragma once

#include <string>

namespace AV {

// FFmpeg's text for `code`, produced into a 1,024-byte buffer.
std::string AvErrorText(int code);

}  // namespace AV
