#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace vr::fuzz {

// Takes values from the fuzzer's bytes, one after another; zeros once they run out.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Empty() const { return pos_ >= size_; }
    std::size_t Left() const { return size_ - pos_; }
    std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    bool Bool() { return (Byte() & 1) != 0; }
    // Up to `max` bytes, the first byte giving the length.
    std::string Text(std::size_t max) {
        std::size_t length = Byte() % (max + 1);
        if (length > Left()) {
            length = Left();
        }
        std::string text(reinterpret_cast<const char*>(data_ + pos_), length);
        pos_ += length;
        return text;
    }
    std::string Rest() {
        std::string text(reinterpret_cast<const char*>(data_ + pos_), Left());
        pos_ = size_;
        return text;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// A broken promise of the program: stops the fuzzer with the reason.
[[noreturn]] inline void Broken(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

inline void Require(bool ok, const char* what) {
    if (!ok) {
        Broken(what);
    }
}

}  // namespace vr::fuzz
