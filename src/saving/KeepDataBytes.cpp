#include "saving/KeepDataBytes.h"

#include <array>

#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
#include <immintrin.h>
#endif

namespace vr {
namespace {

// Filler bytes are about one in ten; picking the data bytes out sixteen at a time with a byte
// shuffle keeps the export as fast as the file system can read and write.
#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
#define VR_EXPORT_SSSE3 1

bool HasSsse3() {
    static const bool has = __builtin_cpu_supports("ssse3") != 0;
    return has;
}

// For each mask of filler positions in eight bytes: the shuffle that moves the data bytes of the
// eight to the front, in their order.
struct CompactTable {
    std::array<std::array<std::uint8_t, 8>, 256> shuffle{};
    std::array<std::uint8_t, 256> kept{};
    constexpr CompactTable() {
        for (unsigned mask = 0; mask < 256; ++mask) {
            unsigned next = 0;
            for (unsigned bit = 0; bit < 8; ++bit) {
                if ((mask & (1U << bit)) == 0) {
                    shuffle[mask][next++] = static_cast<std::uint8_t>(bit);
                }
            }
            kept[mask] = static_cast<std::uint8_t>(next);
            for (; next < 8; ++next) {
                shuffle[mask][next] = 0x80;  // a zero byte, written over by the next group
            }
        }
    }
};
constexpr CompactTable kCompact;

// `size` is a multiple of 16; `out` has room for `size` bytes.
__attribute__((target("ssse3"))) std::size_t KeepDataBytesSsse3(const std::uint8_t* in,
                                                                std::size_t size,
                                                                std::uint8_t* out) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i ones = _mm_set1_epi8(-1);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < size; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        const __m128i filler =
            _mm_or_si128(_mm_cmpeq_epi8(bytes, zero), _mm_cmpeq_epi8(bytes, ones));
        const auto mask = static_cast<unsigned>(_mm_movemask_epi8(filler));
        const unsigned low = mask & 0xFF;
        const unsigned high = mask >> 8;
        const __m128i lowShuffle =
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kCompact.shuffle[low].data()));
        const __m128i highShuffle =
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kCompact.shuffle[high].data()));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + kept),
                         _mm_shuffle_epi8(bytes, lowShuffle));
        kept += kCompact.kept[low];
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + kept),
                         _mm_shuffle_epi8(_mm_srli_si128(bytes, 8), highShuffle));
        kept += kCompact.kept[high];
    }
    return kept;
}
#else
#define VR_EXPORT_SSSE3 0
#endif

}  // namespace

std::size_t KeepDataBytesScalar(const std::uint8_t* in, std::size_t size, std::uint8_t* out) {
    std::size_t kept = 0;
    for (std::size_t done = 0; done < size; ++done) {
        // Without a branch: the byte is always stored and kept only when it is data.
        const std::uint8_t byte = in[done];
        out[kept] = byte;
        kept += static_cast<std::size_t>(static_cast<std::uint8_t>(byte + 1) > 1);
    }
    return kept;
}

std::size_t KeepDataBytes(const std::uint8_t* in, std::size_t size, std::uint8_t* out) {
#if VR_EXPORT_SSSE3
    if (HasSsse3()) {
        const std::size_t vectors = size - size % 16;
        const std::size_t kept = KeepDataBytesSsse3(in, vectors, out);
        return kept + KeepDataBytesScalar(in + vectors, size - vectors, out + kept);
    }
#endif
    return KeepDataBytesScalar(in, size, out);
}

}  // namespace vr
