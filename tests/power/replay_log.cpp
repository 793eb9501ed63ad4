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

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::uint64_t kMagic = 0x6a736677736872ULL;
constexpr std::uint64_t kFlush = 1U << 0U;
constexpr std::uint64_t kFua = 1U << 1U;
constexpr std::uint64_t kDiscard = 1U << 2U;
constexpr std::uint64_t kMark = 1U << 3U;

struct Entry {
    std::uint64_t index = 0;
    std::uint64_t offset = 0;  // of its header in the log
    std::uint64_t sector = 0;
    std::uint64_t sectors = 0;
    std::uint64_t flags = 0;
    std::string mark;
};

[[noreturn]] void Die(const std::string& what) {
    std::fprintf(stderr, "replay-log: %s\n", what.c_str());
    std::exit(2);
}

std::uint64_t Le64(const unsigned char* p) {
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i) {
        value = (value << 8U) | p[i];
    }
    return value;
}

void ReadAt(int fd, void* buffer, std::size_t size, std::uint64_t offset) {
    auto* at = static_cast<unsigned char*>(buffer);
    while (size > 0) {
        const ssize_t got = ::pread(fd, at, size, static_cast<off_t>(offset));
        if (got <= 0) {
            Die("the log ends early");
        }
        at += got;
        size -= static_cast<std::size_t>(got);
        offset += static_cast<std::uint64_t>(got);
    }
}

void WriteAt(int fd, const void* buffer, std::size_t size, std::uint64_t offset) {
    const auto* at = static_cast<const unsigned char*>(buffer);
    while (size > 0) {
        const ssize_t put = ::pwrite(fd, at, size, static_cast<off_t>(offset));
        if (put <= 0) {
            Die("cannot write the replayed disk");
        }
        at += put;
        size -= static_cast<std::size_t>(put);
        offset += static_cast<std::uint64_t>(put);
    }
}

class Log {
public:
    explicit Log(const char* path) : fd_(::open(path, O_RDONLY | O_CLOEXEC)) {
        if (fd_ < 0) {
            Die(std::string("cannot open ") + path);
        }
        unsigned char super[28];
        ReadAt(fd_, super, sizeof super, 0);
        if (Le64(super) != kMagic || Le64(super + 8) != 1) {
            Die("not a log-writes log");
        }
        entries_ = Le64(super + 16);
        sectorSize_ = super[24] | (super[25] << 8U) | (super[26] << 16U) | (super[27] << 24U);
        if (sectorSize_ < 512 || sectorSize_ > 65536) {
            Die("a sector size the log cannot have");
        }
    }
    ~Log() { ::close(fd_); }
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;

    std::uint64_t Entries() const { return entries_; }
    std::uint64_t SectorSize() const { return sectorSize_; }

    // The entry at `offset`, with the offset of the next one.
    Entry At(std::uint64_t index, std::uint64_t offset, std::uint64_t& next) const {
        std::vector<unsigned char> header(sectorSize_);
        ReadAt(fd_, header.data(), header.size(), offset);
        Entry entry{
            index, offset, Le64(header.data()), Le64(header.data() + 8), Le64(header.data() + 16),
            {}};
        if ((entry.flags & kMark) != 0) {
            const std::uint64_t length = Le64(header.data() + 24);
            entry.mark.assign(reinterpret_cast<const char*>(header.data()) + 32,
                              std::min<std::uint64_t>(length, sectorSize_ - 32));
        }
        next = offset + sectorSize_;
        if ((entry.flags & kDiscard) == 0) {
            next += entry.sectors * sectorSize_;
        }
        return entry;
    }

    // Every entry, from the first.
    std::vector<Entry> All() const {
        std::vector<Entry> all;
        std::uint64_t offset = sectorSize_;
        for (std::uint64_t i = 0; i < entries_; ++i) {
            all.push_back(At(i, offset, offset));
        }
        return all;
    }

    // Writes the entry's data (zeros for a discard) to the disk.
    void Replay(const Entry& entry, int disk) const {
        if ((entry.flags & kMark) != 0 || entry.sectors == 0) {
            return;
        }
        std::vector<unsigned char> data(entry.sectors * sectorSize_);
        if ((entry.flags & kDiscard) == 0) {
            ReadAt(fd_, data.data(), data.size(), entry.offset + sectorSize_);
        }
        WriteAt(disk, data.data(), data.size(), entry.sector * sectorSize_);
    }

private:
    int fd_;
    std::uint64_t entries_ = 0;
    std::uint64_t sectorSize_ = 0;
};

bool Durable(const Entry& entry) {
    return (entry.flags & (kFlush | kFua)) != 0;
}
bool Unflushed(const Entry& entry) {
    return (entry.flags & (kMark | kFlush | kFua)) == 0 && entry.sectors > 0;
}

// The writes after `from` up to the next flush, and the part of them that `seed` keeps.
std::vector<Entry> TornPart(const Log& log, std::uint64_t from, std::uint64_t offset,
                            std::uint64_t seed) {
    std::mt19937_64 random(seed);
    std::vector<Entry> kept;
    Entry entry = log.At(from, offset, offset);
    for (std::uint64_t i = from + 1; i < log.Entries(); ++i) {
        entry = log.At(i, offset, offset);
        if (Durable(entry)) {
            break;
        }
        if (Unflushed(entry) && (random() & 1U) != 0) {
            kept.push_back(entry);
        }
    }
    return kept;
}

int Points(const Log& log, const std::string& begin, const std::string& end, int torn) {
    const std::vector<Entry> all = log.All();
    std::size_t first = all.size();
    std::size_t last = all.size();
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i].mark == begin) {
            first = i;
        } else if (all[i].mark == end && first < all.size()) {
            last = i;
            break;
        }
    }
    if (last == all.size()) {
        Die("no marks " + begin + " .. " + end + " in the log");
    }
    // The durable point before each group of writes: the mark itself, then each flush or FUA.
    std::size_t durable = first;
    std::uint64_t unflushed = 0;
    for (std::size_t i = first + 1; i <= last; ++i) {
        if (Unflushed(all[i])) {
            ++unflushed;
        }
        if (!Durable(all[i])) {
            continue;
        }
        // A cut before this flush completed: the writes since the last durable point, in part.
        if (unflushed > 1) {
            for (int t = 1; t <= torn; ++t) {
                std::printf("%llu %llu %llu torn-before-%zu/%d\n",
                            static_cast<unsigned long long>(all[durable].index),
                            static_cast<unsigned long long>(all[durable].offset),
                            static_cast<unsigned long long>(i * 1000 + static_cast<std::size_t>(t)),
                            i, t);
            }
        }
        std::printf("%llu %llu 0 %s-%zu\n", static_cast<unsigned long long>(all[i].index),
                    static_cast<unsigned long long>(all[i].offset),
                    (all[i].flags & kFlush) != 0 ? "flush" : "fua", i);
        durable = i;
        unflushed = 0;
    }
    return 0;
}

std::uint64_t Number(const char* text) {
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (end == text || *end != '\0') {
        Die(std::string("not a number: ") + text);
    }
    return value;
}

int OpenDisk(const char* path) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        Die(std::string("cannot open ") + path);
    }
    return fd;
}

void Close(int disk) {
    if (::fsync(disk) != 0 || ::close(disk) != 0) {
        Die("cannot flush the replayed disk");
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "points" && argc == 6) {
        const Log log(argv[2]);
        return Points(log, argv[3], argv[4], static_cast<int>(Number(argv[5])));
    }
    if (command == "apply" && argc == 7) {
        const Log log(argv[2]);
        const int disk = OpenDisk(argv[3]);
        std::uint64_t offset = log.SectorSize();
        std::uint64_t i = 0;
        if (std::string(argv[4]) != "start") {
            i = Number(argv[4]);
            log.At(i++, Number(argv[5]), offset);
        }
        for (const std::uint64_t to = Number(argv[6]); i <= to && i < log.Entries(); ++i) {
            log.Replay(log.At(i, offset, offset), disk);
        }
        Close(disk);
        return 0;
    }
    if (command == "torn" && argc == 7) {
        const Log log(argv[2]);
        const int disk = OpenDisk(argv[3]);
        for (const Entry& entry :
             TornPart(log, Number(argv[4]), Number(argv[5]), Number(argv[6]))) {
            log.Replay(entry, disk);
        }
        Close(disk);
        return 0;
    }
    std::fprintf(stderr,
                 "usage: replay-log points LOG BEGIN END TORN | apply LOG DEV AFTER OFFSET TO |"
                 " torn LOG DEV FROM OFFSET SEED\n");
    return 2;
}
