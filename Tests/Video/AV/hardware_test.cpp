// Hardware decoding: live streams and files ask for VAAPI; where a render
// node answers they decode with it into NV12, elsewhere in software, and
// each opening says in one INFO line which is used.
#include <glob.h>

#include <string>
#include <vector>

#include "Support/Wait.h"
#include "Video/AV/AvTestSupport.h"
#include "Video/AV/Stream.h"

namespace {

using avtest::LogCapture;
using avtest::StartUnit;

using AV::RenderNodes;

struct Source {
    const char* name;
    bool live;
};
constexpr Source kSources[] = {{"file", false}, {"live", true}};

// Opens the source with the options the program uses and decodes a few
// pictures; false when none came.
bool OpenAndDecode(AV::Stream& stream, const Source& source, std::vector<AV::PixelLayout>* layouts) {
    const bool opened =
        source.live ? stream.Open("tcp://127.0.24.1:8012", AV::Stream::Options::LiveCamera())
                    : stream.Open(std::string(ORVEX_TEST_MEDIA) + "/testsrc-120s.mkv", AV::Stream::Options::MediaFile());
    if (!opened) return false;
    return testsupport::WaitUntil(
        [&] {
            stream.Process();
            while (auto f = stream.PopFrame()) layouts->push_back(f->Layout());
            return layouts->size() >= 5;
        },
        std::chrono::milliseconds(15000), std::chrono::milliseconds(1));
}

TEST(HardwareDecoding, EachOpeningSaysInOneLineWhichDecoderIsUsed) {
    auto unit = StartUnit("127.0.24.1", 320, 240, 30);
    ASSERT_TRUE(unit);
    const bool nodes = !RenderNodes().empty();
    for (const Source& source : kSources) {
        LogCapture log;
        AV::Stream stream;
        std::vector<AV::PixelLayout> layouts;
        ASSERT_TRUE(OpenAndDecode(stream, source, &layouts)) << source.name;
        const int hardwareLines = log.Count("INFO : Stream::Open | decoding with VAAPI on /dev/dri/renderD");
        const int softwareLines = log.Count("INFO : Stream::Open | decoding in software: ");
        EXPECT_EQ(hardwareLines + softwareLines, 1) << source.name << "\n" << log.Text();
        if (!nodes) {
            EXPECT_EQ(log.Count("INFO : Stream::Open | decoding in software: no render node (/dev/dri/renderD*)\n"), 1)
                << source.name << "\n" << log.Text();
            EXPECT_FALSE(stream.HardwareDecoding()) << source.name;
        }
        for (AV::PixelLayout layout : layouts) EXPECT_NE(layout, AV::PixelLayout::None) << source.name;
    }
}

TEST(HardwareDecoding, DecodesWithVaapiWhereARenderNodeAnswers) {
    const std::vector<std::string> nodes = RenderNodes();
    if (nodes.empty()) GTEST_SKIP() << "no render node (/dev/dri/renderD*) on this machine";
    auto unit = StartUnit("127.0.24.1", 320, 240, 30);
    ASSERT_TRUE(unit);
    for (const Source& source : kSources) {
        LogCapture log;
        AV::Stream stream;
        std::vector<AV::PixelLayout> layouts;
        ASSERT_TRUE(OpenAndDecode(stream, source, &layouts)) << source.name;
        ASSERT_TRUE(log.Contains("INFO : Stream::Open | decoding with VAAPI on /dev/dri/renderD"))
            << source.name << ": the render node did not answer for VAAPI\n"
            << log.Text();
        EXPECT_TRUE(stream.HardwareDecoding()) << source.name;
        for (AV::PixelLayout layout : layouts) EXPECT_EQ(layout, AV::PixelLayout::NV12) << source.name;
    }
}

}  // namespace
