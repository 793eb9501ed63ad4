// Plays the infrared adapter (USB HID 11d2:0001) through the kernel's user-space HID driver,
// /dev/uhid, so that the program's hidraw backend meets the kernel's own HID stack.
//   transfer [--numbered] [--after-opens N] [--reports N] [--burst N] [--unplug] --expect FILE
//       creates the adapter, waits until it has been opened N times (default 2: the search's
//       probe, then the read), sends N reports (default 250) in bursts of N (default 10) with
//       gaps, writes their payloads to FILE, then removes the adapter: at once with --unplug,
//       else once closed.
//   present                   creates the adapter and keeps it until killed.
//   arrivals ROUNDS           creates and removes the adapter ROUNDS times; prints the time from
//                             each creation to the first open of the device.
//   watch-session PREFIX      for `verada-rede-cli watch`: creates the adapter, sends three
//                             transfers 2 s apart (the third removed after 100 reports), creates
//                             it again and sends a fourth; writes the CSV file each one should
//                             give to PREFIX-1.csv ... PREFIX-4.csv, prints "silent", and keeps
//                             the adapter, silent, until killed.
#include <fcntl.h>
#include <linux/uhid.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// A vendor collection with one 8-byte input report; the numbered one adds Report ID 5.
const std::vector<std::uint8_t> kPlainDescriptor = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75,
                                                    0x08, 0x95, 0x08, 0x09, 0x02, 0x81, 0x02, 0xC0};
constexpr std::uint8_t kReportId = 5;

[[noreturn]] void Die(const char* what) {
    std::perror(what);
    std::exit(2);
}

void Write(int fd, const uhid_event& event) {
    if (::write(fd, &event, sizeof event) != static_cast<ssize_t>(sizeof event)) {
        Die("write /dev/uhid");
    }
}

int Create(bool numbered) {
    const int fd = ::open("/dev/uhid", O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        Die("/dev/uhid");
    }
    uhid_event event{};
    event.type = UHID_CREATE2;
    auto& create = event.u.create2;
    std::snprintf(reinterpret_cast<char*>(create.name), sizeof create.name, "Verada IR adapter");
    std::vector<std::uint8_t> descriptor = kPlainDescriptor;
    if (numbered) {
        descriptor.insert(descriptor.begin() + 7, {0x85, kReportId});
    }
    std::copy(descriptor.begin(), descriptor.end(), create.rd_data);
    create.rd_size = static_cast<std::uint16_t>(descriptor.size());
    create.bus = BUS_USB;
    create.vendor = 0x11D2;
    create.product = 0x0001;
    create.version = 0x0100;
    Write(fd, event);
    return fd;
}

void Destroy(int fd) {
    uhid_event event{};
    event.type = UHID_DESTROY;
    Write(fd, event);
    ::close(fd);
}

// Reads the driver's events until one of `type` arrives; false when none does in time.
bool Await(int fd, std::uint32_t type, std::chrono::milliseconds timeout) {
    const auto end = Clock::now() + timeout;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        pollfd entry{fd, POLLIN, 0};
        if (left.count() < 0 || ::poll(&entry, 1, static_cast<int>(left.count())) <= 0) {
            return false;
        }
        uhid_event event{};
        if (::read(fd, &event, sizeof event) <= 0) {
            Die("read /dev/uhid");
        }
        if (event.type == type) {
            return true;
        }
    }
}

// Report k's payload: every byte value turns up, 0x00 and 0xFF included.
std::array<std::uint8_t, 8> Payload(int k) {
    std::array<std::uint8_t, 8> payload{};
    for (int j = 0; j < 8; ++j) {
        payload[static_cast<std::size_t>(j)] = static_cast<std::uint8_t>((k * 8 + j) * 37 + 11);
    }
    return payload;
}

int Transfer(bool numbered, int afterOpens, int reports, int burst, bool unplug,
             const std::string& expect) {
    const int fd = Create(numbered);
    for (int open = 0; open < afterOpens; ++open) {
        if (!Await(fd, UHID_OPEN, 60s)) {
            std::fprintf(stderr, "uhid adapter: opened %d times, not %d\n", open, afterOpens);
            return 1;
        }
    }
    // The kernel reports the open before it attaches the opener's report queue.
    std::this_thread::sleep_for(100ms);
    std::ofstream payloads(expect, std::ios::binary);
    for (int k = 0; k < reports; ++k) {
        uhid_event event{};
        event.type = UHID_INPUT2;
        std::uint16_t size = 0;
        if (numbered) {
            event.u.input2.data[size++] = kReportId;
        }
        const auto payload = Payload(k);
        std::copy(payload.begin(), payload.end(), event.u.input2.data + size);
        event.u.input2.size = static_cast<std::uint16_t>(size + payload.size());
        Write(fd, event);
        payloads.write(reinterpret_cast<const char*>(payload.data()), payload.size());
        // Bursts, and one pause well inside the second the receiver waits.
        if (k % burst == burst - 1) {
            std::this_thread::sleep_for(k == 49 ? 400ms : 10ms);
        }
    }
    payloads.close();
    if (!unplug) {
        Await(fd, UHID_CLOSE, 20s);
    }
    Destroy(fd);
    return 0;
}

int Arrivals(int rounds) {
    std::vector<double> ms;
    for (int round = 0; round < rounds; ++round) {
        const auto created = Clock::now();
        const int fd = Create(false);
        if (!Await(fd, UHID_OPEN, 10s)) {
            std::fprintf(stderr, "uhid adapter: round %d was never opened\n", round);
            return 1;
        }
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - created).count());
        Destroy(fd);
        std::this_thread::sleep_for(300ms);
    }
    std::printf("arrival_ms:");
    for (const double value : ms) {
        std::printf(" %.1f", value);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("\narrival_ms median %.1f max %.1f\n", ms[ms.size() / 2], ms.back());
    return 0;
}

// A transfer of `reports` reports for a receiver that keeps the adapter open; `csv` gets what the
// CSV file of it holds: the header, then the payloads without their 0x00 and 0xFF bytes.
void SendTransfer(int fd, int reports, const std::string& csv) {
    std::ofstream expected(csv, std::ios::binary);
    expected << "Zorvik Technologies Verada logfile\r\n";
    for (int k = 0; k < reports; ++k) {
        uhid_event event{};
        event.type = UHID_INPUT2;
        const auto payload = Payload(k);
        std::copy(payload.begin(), payload.end(), event.u.input2.data);
        event.u.input2.size = static_cast<std::uint16_t>(payload.size());
        Write(fd, event);
        for (const std::uint8_t byte : payload) {
            if (byte != 0x00 && byte != 0xFF) {
                expected.put(static_cast<char>(byte));
            }
        }
        if (k % 10 == 9) {
            std::this_thread::sleep_for(10ms);
        }
    }
}

int WatchSession(const std::string& prefix) {
    constexpr auto kBetweenTransfers = 2s;  // more than the second that ends a transfer
    int fd = Create(false);
    for (int transfer = 1; transfer <= 4; ++transfer) {
        if (transfer == 1 || transfer == 4) {
            // The search's probe, then the read; the kernel attaches the reader's queue after.
            if (!Await(fd, UHID_OPEN, 60s) || !Await(fd, UHID_OPEN, 60s)) {
                std::fprintf(stderr, "uhid adapter: not opened for transfer %d\n", transfer);
                return 1;
            }
            std::this_thread::sleep_for(100ms);
        }
        const std::string csv = prefix + "-" + std::to_string(transfer) + ".csv";
        SendTransfer(fd, transfer == 3 ? 100 : 250, csv);
        if (transfer == 3) {
            Destroy(fd);  // unplugged in the middle of the transfer
            std::this_thread::sleep_for(500ms);
            fd = Create(false);
        } else {
            std::this_thread::sleep_for(kBetweenTransfers);
        }
    }
    std::printf("silent\n");
    std::fflush(stdout);
    for (;;) {
        Await(fd, UHID_CLOSE, 3600s);  // keeps the event queue drained; removed when killed
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto has = [&](const char* flag) {
        return std::find(args.begin(), args.end(), flag) != args.end();
    };
    const auto value = [&](const char* flag, const char* fallback) {
        const auto at = std::find(args.begin(), args.end(), flag);
        return at != args.end() && at + 1 != args.end() ? *(at + 1) : std::string(fallback);
    };
    const std::string mode = args.empty() ? "" : args[0];
    if (mode == "transfer") {
        return Transfer(has("--numbered"), std::stoi(value("--after-opens", "2")),
                        std::stoi(value("--reports", "250")),
                        std::max(1, std::stoi(value("--burst", "10"))), has("--unplug"),
                        value("--expect", "/dev/null"));
    }
    if (mode == "present") {
        const int fd = Create(false);
        for (;;) {
            Await(fd, UHID_CLOSE, 3600s);  // keeps the event queue drained; removed when killed
        }
    }
    if (mode == "arrivals" && args.size() == 2) {
        return Arrivals(std::max(1, std::stoi(args[1])));
    }
    if (mode == "watch-session" && args.size() == 2) {
        return WatchSession(args[1]);
    }
    std::fprintf(stderr, "usage: verada-uhid-adapter transfer|present|arrivals ...\n");
    return 2;
}
