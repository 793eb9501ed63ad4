// Rebuilds a disk from the log that the device-mapper target log-writes keeps of every write,
// flush and FUA a file system sent, so that scripts/test-power can look at the disk as a power
// cut could have left it. The log: a super block (magic, version, number of entries, sector
// size) in its first sector, then the entries in order, each a header sector (sector, number of
// sectors, flags, length of a mark's text, the text after it) followed by the data written
// (none for discards, marks and bare flushes).
//   points LOG BEGIN END TORN
//       lists the crash points from the mark BEGIN to the mark END, one a line, as
//       "INDEX OFFSET SEED LABEL": the disk as it stood at each flush or FUA (SEED 0), and TORN
//       states for each group of writes that a flush made durable: what was durable before
//       it, with a chosen part of the group (SEED > 0), as a cut before that flush may leave.
//   apply LOG DEV AFTER OFFSET TO
//       writes the entries after AFTER (found at byte OFFSET of the log; "start" for none) up to
//       TO to DEV.
//   torn LOG DEV FROM OFFSET SEED
//       writes a part, chosen by SEED, of the writes after entry FROM up to the next flush.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

using U64 = std::uint64_t;
constexpr U64 kMagic = 0x6a736677736872ULL;
constexpr U64 kFlush = 1U << 0U;
constexpr U64 kFua = 1U << 1U;
constexpr U64 kDiscard = 1U << 2U;
constexpr U64 kMark = 1U << 3U;

struct Entry {
    U64 index = 0;
    U64 offset = 0;  // of its header in the log
    U64 sector = 0;
    U64 sectors = 0;
    U64 flags = 0;
    std::string mark;
    bool Durable() const { return (flags & (kFlush | kFua)) != 0; }
    bool Unflushed() const { return (flags & (kMark | kFlush | kFua)) == 0 && sectors > 0; }
};

[[noreturn]] void Die(const std::string& what) {
    std::fprintf(stderr, "replay-log: %s\n", what.c_str());
    std::exit(2);
}

U64 Le(const unsigned char* p, int bytes) {
    U64 value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = (value << 8U) | p[i];
    }
    return value;
}

// Reads or writes all of `size` bytes at `offset`.
void Transfer(bool write, int fd, unsigned char* at, std::size_t size, U64 offset) {
    while (size > 0) {
        const ssize_t done = write ? ::pwrite(fd, at, size, static_cast<off_t>(offset))
                                   : ::pread(fd, at, size, static_cast<off_t>(offset));
        if (done <= 0) {
            Die(write ? "cannot write the replayed disk" : "the log ends early");
        }
        at += done;
        size -= static_cast<std::size_t>(done);
        offset += static_cast<U64>(done);
    }
}

int Open(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) {
        Die("cannot open " + path);
    }
    return fd;
}

class Log {
public:
    explicit Log(const char* path) : fd_(Open(path, O_RDONLY)) {
        unsigned char super[28];
        Transfer(false, fd_, super, sizeof super, 0);
        if (Le(super, 8) != kMagic || Le(super + 8, 8) != 1) {
            Die("not a log-writes log");
        }
        entries_ = Le(super + 16, 8);
        sectorSize_ = Le(super + 24, 4);
        if (sectorSize_ < 512 || sectorSize_ > 65536) {
            Die("a sector size the log cannot have");
        }
    }
    ~Log() { ::close(fd_); }
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;

    U64 Entries() const { return entries_; }
    U64 SectorSize() const { return sectorSize_; }

    // The entry whose header is at `offset`; `offset` moves on to the next one.
    Entry At(U64 index, U64& offset) const {
        std::vector<unsigned char> header(sectorSize_);
        Transfer(false, fd_, header.data(), header.size(), offset);
        Entry entry{index,
                    offset,
                    Le(header.data(), 8),
                    Le(header.data() + 8, 8),
                    Le(header.data() + 16, 8),
                    {}};
        if ((entry.flags & kMark) != 0) {
            entry.mark.assign(reinterpret_cast<const char*>(header.data()) + 32,
                              std::min<U64>(Le(header.data() + 24, 8), sectorSize_ - 32));
        }
        offset += sectorSize_ * (1 + ((entry.flags & kDiscard) == 0 ? entry.sectors : 0));
        return entry;
    }

    // Writes the entry's data (zeros for a discard) to the disk.
    void Replay(const Entry& entry, int disk) const {
        if ((entry.flags & kMark) != 0 || entry.sectors == 0) {
            return;
        }
        std::vector<unsigned char> data(entry.sectors * sectorSize_);
        if ((entry.flags & kDiscard) == 0) {
            Transfer(false, fd_, data.data(), data.size(), entry.offset + sectorSize_);
        }
        Transfer(true, disk, data.data(), data.size(), entry.sector * sectorSize_);
    }

private:
    int fd_;
    U64 entries_ = 0;
    U64 sectorSize_ = 0;
};

int Points(const Log& log, const std::string& begin, const std::string& end, U64 torn) {
    std::vector<Entry> all;
    U64 offset = log.SectorSize();
    for (U64 i = 0; i < log.Entries(); ++i) {
        all.push_back(log.At(i, offset));
    }
    const auto first =
        std::find_if(all.begin(), all.end(), [&](auto& e) { return e.mark == begin; });
    const auto last = std::find_if(first, all.end(), [&](auto& e) { return e.mark == end; });
    if (last == all.end()) {
        Die("no marks " + begin + " .. " + end + " in the log");
    }
    // The durable point before each group of writes: the first mark, then each flush or FUA.
    auto durable = first;
    U64 unflushed = 0;
    for (auto at = first + 1; at <= last; ++at) {
        unflushed += at->Unflushed() ? 1U : 0U;
        if (!at->Durable()) {
            continue;
        }
        // A cut before this flush completed: the writes since the last durable point, in part.
        for (U64 t = 1; unflushed > 1 && t <= torn; ++t) {
            std::printf("%llu %llu %llu torn-before-%llu/%llu\n",
                        static_cast<unsigned long long>(durable->index),
                        static_cast<unsigned long long>(durable->offset),
                        static_cast<unsigned long long>(at->index * 1000 + t),
                        static_cast<unsigned long long>(at->index),
                        static_cast<unsigned long long>(t));
        }
        std::printf("%llu %llu 0 %s-%llu\n", static_cast<unsigned long long>(at->index),
                    static_cast<unsigned long long>(at->offset),
                    (at->flags & kFlush) != 0 ? "flush" : "fua",
                    static_cast<unsigned long long>(at->index));
        durable = at;
        unflushed = 0;
    }
    return 0;
}

U64 Number(const char* text) {
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (end == text || *end != '\0') {
        Die(std::string("not a number: ") + text);
    }
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "points" && argc == 6) {
        const Log log(argv[2]);
        return Points(log, argv[3], argv[4], Number(argv[5]));
    }
    if ((command == "apply" || command == "torn") && argc == 7) {
        const Log log(argv[2]);
        const int disk = Open(argv[3], O_WRONLY);
        U64 offset = log.SectorSize();
        U64 i = 0;
        if (std::string(argv[4]) != "start") {
            i = Number(argv[4]);
            offset = Number(argv[5]);
            log.At(i++, offset);
        }
        if (command == "apply") {
            for (const U64 to = Number(argv[6]); i <= to && i < log.Entries(); ++i) {
                log.Replay(log.At(i, offset), disk);
            }
        } else {
            // The writes up to the next flush, each kept or not as the seed draws.
            std::mt19937_64 random(Number(argv[6]));
            for (Entry entry; i < log.Entries() && !(entry = log.At(i, offset)).Durable(); ++i) {
                if (entry.Unflushed() && (random() & 1U) != 0) {
                    log.Replay(entry, disk);
                }
            }
        }
        if (::fsync(disk) != 0 || ::close(disk) != 0) {
            Die("cannot flush the replayed disk");
        }
        return 0;
    }
    std::fprintf(stderr,
                 "usage: replay-log points LOG BEGIN END TORN | apply LOG DEV AFTER OFFSET TO"
                 " | torn LOG DEV FROM OFFSET SEED\n");
    return 2;
}
