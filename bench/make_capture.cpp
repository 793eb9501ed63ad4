// Writes a capture file of the given size for the export benchmarks: random bytes of which about
// one in ten is a filler byte (0x00 or 0xFF), the same file for the same size and seed.
//
// Usage: make_capture FILE BYTES [SEED]

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/CaptureBytes.h"

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: make_capture FILE BYTES [SEED]\n");
        return 2;
    }
    const auto size = static_cast<std::size_t>(std::strtoull(argv[2], nullptr, 10));
    const std::uint64_t seed = argc == 4 ? std::strtoull(argv[3], nullptr, 10) : 1;
    const std::vector<std::uint8_t> bytes = vr::bench::CaptureBytes(size, seed);
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size() ||
        std::fclose(out) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
