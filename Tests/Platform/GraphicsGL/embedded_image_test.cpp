// Embedded image blocks: 32-bit big-endian length + one LZ4 block. The round
// trip must be exact, and a block whose length or body is damaged must be
// refused without a large allocation.
#include <gtest/gtest.h>

#include <stb_image.h>

#include <random>
#include <vector>

#include "Platform/GraphicsGL/BuiltInImages.h"
#include "Platform/GraphicsGL/EmbeddedImage.h"

namespace {

std::vector<uint8_t> Sample(size_t size, bool random) {
    std::vector<uint8_t> data(size);
    std::mt19937 rng(7);
    for (size_t i = 0; i < size; ++i) data[i] = random ? uint8_t(rng()) : uint8_t((i / 100) % 7);
    return data;
}

void SetLength(std::vector<uint8_t>& block, uint32_t length) {
    block[0] = uint8_t(length >> 24);
    block[1] = uint8_t(length >> 16);
    block[2] = uint8_t(length >> 8);
    block[3] = uint8_t(length);
}

TEST(EmbeddedImage, RoundTripIsExact) {
    const struct {
        size_t size;
        bool random;
    } cases[] = {{1, true}, {1000, true}, {65536, false}, {1u << 20, false}, {300000, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        const std::vector<uint8_t> data = Sample(c.size, c.random);
        const std::vector<uint8_t> block = GL::EncodeEmbeddedImage(data.data(), data.size());
        ASSERT_GT(block.size(), 4u);
        EXPECT_EQ(block[0], uint8_t(c.size >> 24));
        EXPECT_EQ(block[1], uint8_t(c.size >> 16));
        EXPECT_EQ(block[2], uint8_t(c.size >> 8));
        EXPECT_EQ(block[3], uint8_t(c.size));
        if (!c.random) {
            EXPECT_LT(block.size(), c.size / 10);  // it does compress
        }
        std::vector<uint8_t> out;
        ASSERT_TRUE(GL::DecodeEmbeddedImage(block.data(), block.size(), &out));
        EXPECT_EQ(out, data);
    }
}

TEST(EmbeddedImage, DamagedBlocksAreRefused) {
    const std::vector<uint8_t> data = Sample(50000, false);
    const std::vector<uint8_t> good = GL::EncodeEmbeddedImage(data.data(), data.size());
    ASSERT_FALSE(good.empty());
    struct Damage {
        const char* name;
        std::vector<uint8_t> block;
    };
    std::vector<Damage> damaged;
    auto withLength = [&](const char* name, uint32_t length) {
        std::vector<uint8_t> b = good;
        SetLength(b, length);
        damaged.push_back({name, b});
    };
    withLength("length one short", 49999);
    withLength("length one long", 50001);
    withLength("length zero", 0);
    withLength("length beyond the limit", 0xFFFFFFFFu);
    withLength("length beyond what LZ4 can expand to", uint32_t((good.size() - 4) * 255 + 1));
    damaged.push_back({"truncated body", std::vector<uint8_t>(good.begin(), good.end() - 1)});
    damaged.push_back({"header only", std::vector<uint8_t>(good.begin(), good.begin() + 4)});
    damaged.push_back({"shorter than a header", std::vector<uint8_t>(good.begin(), good.begin() + 3)});
    damaged.push_back({"empty", {}});
    for (const Damage& d : damaged) {
        SCOPED_TRACE(d.name);
        std::vector<uint8_t> out = {1, 2, 3};
        EXPECT_FALSE(GL::DecodeEmbeddedImage(d.block.data(), d.block.size(), &out));
        EXPECT_TRUE(out.empty());
    }
    std::vector<uint8_t> out;
    EXPECT_FALSE(GL::DecodeEmbeddedImage(nullptr, 100, &out));
    EXPECT_TRUE(GL::EncodeEmbeddedImage(nullptr, 10).empty());
    EXPECT_TRUE(GL::EncodeEmbeddedImage(data.data(), 0).empty());
}

// The three blocks compiled into the program hold PNGs of the described sizes.
TEST(EmbeddedImage, ProgramBlocksHoldThePngs) {
    const GL::EmbeddedBlocks blocks = GL::ProgramBlocks();
    const struct {
        const uint8_t* block;
        size_t size;
        int width, height;
    } images[] = {{blocks.makerLogo, blocks.makerLogoSize, 720, 280},
                  {blocks.iconAtlas, blocks.iconAtlasSize, 512, 512},
                  {blocks.reflectionMap, blocks.reflectionMapSize, 256, 256}};
    for (const auto& image : images) {
        std::vector<uint8_t> png;
        ASSERT_TRUE(GL::DecodeEmbeddedImage(image.block, image.size, &png));
        ASSERT_GE(png.size(), 8u);
        EXPECT_EQ(png[0], 0x89);
        EXPECT_EQ(png[1], 'P');
        int w = 0, h = 0, comp = 0;
        ASSERT_TRUE(stbi_info_from_memory(png.data(), int(png.size()), &w, &h, &comp));
        EXPECT_EQ(w, image.width);
        EXPECT_EQ(h, image.height);
    }
}

}  // namespace
