// What ffprobe reads in a recording: the video stream's codec and packet
// count. A growing recording can be probed too: it holds every cluster
// flushed so far.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include "Support/FileText.h"

namespace testsupport {

// "h264,<packets>" as ffprobe prints it for the first video stream; empty
// when ffprobe cannot read the file. `scratch` is a file the answer may use.
inline std::string ProbeVideoStream(const std::filesystem::path& file, const std::filesystem::path& scratch) {
    const std::string probe = "ffprobe -v error -count_packets -select_streams v:0 -show_entries "
                              "stream=codec_name,nb_read_packets -of csv=p=0 '" +
                              file.string() + "' > '" + scratch.string() + "' 2>/dev/null";
    if (std::system(probe.c_str()) != 0) return {};
    return testfiles::ReadText(scratch.string());
}

// The H.264 packet count of a recording; -1 when it cannot be read as one.
inline int H264Packets(const std::filesystem::path& file, const std::filesystem::path& scratch) {
    const std::string text = ProbeVideoStream(file, scratch);
    if (text.rfind("h264,", 0) != 0) return -1;
    return std::atoi(text.c_str() + 5);
}

}  // namespace testsupport
