// Helpers shared by the fuzz targets: a reader that hands out the input's
// bytes piece by piece, and the one check that stops a target on a broken
// property (an abort, so libFuzzer and the replay runner both report it with
// the input that caused it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    size_t Left() const { return size_ - pos_; }
    // One byte, 0 once the input is used up.
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    // Up to `count` bytes from here on.
    std::string_view Take(size_t count) {
        const size_t n = count < Left() ? count : Left();
        std::string_view piece(reinterpret_cast<const char*>(data_ + pos_), n);
        pos_ += n;
        return piece;
    }
    const uint8_t* Here() const { return data_ + pos_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};
