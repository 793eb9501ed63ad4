#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "TransferSaver.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/sim/HidRecorder.h"
#include "platform/sim/Scenario.h"
#include "shared/CaptureFileLock.h"
#include "shared/Errors.h"
#include "support/TestFileSystem.h"

namespace {

using vr::cli::TransferSaver;
using vr::test::ScratchFolder;

const std::string kScenarios = VR_SCENARIO_DIR;

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// Runs the tool with `args` in `folder`, its temporary folder inside `folder` too, after the
// shell commands `limits` (such as a ulimit).
CliRun Cli(const ScratchFolder& folder, const std::vector<std::string>& args,
           const std::string& limits = "") {
    // Appended piece by piece: GCC 12 at -O3 warns falsely about "literal" + std::string.
    std::string command = "cd ";
    command += Quoted(folder.Path("")) + " && " + limits +
               " env -u XDG_RUNTIME_DIR TMPDIR=" + Quoted(folder.Path("tmp")) +
               " XDG_STATE_HOME=" + Quoted(folder.Path("state")) + " " + Quoted(VR_CLI_PATH);
    for (const std::string& arg : args) {
        command += ' ';
        command += Quoted(arg);
    }
    command += " >";
    command += Quoted(folder.Path(".out")) + " 2>" + Quoted(folder.Path(".err"));
    const int raw = std::system(command.c_str());
    CliRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = ScratchFolder::ReadFile(folder.Path(".out")).value_or("");
    run.err = ScratchFolder::ReadFile(folder.Path(".err")).value_or("");
    return run;
}

std::string ExpectedCsv() {
    return ScratchFolder::ReadFile(kScenarios + "/temperature-log.csv").value();
}

const std::string kHeader = "Zorvik Technologies Verada logfile\r\n";

// The program's capture file under the tool's temporary folder, its folder made as the program
// makes it.
std::string OwnCapture(const ScratchFolder& folder) {
    const std::string own = folder.Path("tmp/verada-rede-" + std::to_string(::geteuid()));
    std::filesystem::create_directories(own);
    std::filesystem::permissions(own, std::filesystem::perms::owner_all);
    return own + "/vrtemp.csv";
}

// The reception itself is the adapter suites' and the kernel run's to check; here: the tool's
// arguments, where its capture goes, what it prints and how it ends.
TEST(CliCapture, NoTransferAndFailedWaitsHaveTheirOwnStatus) {
    const std::string header = "R: 6 06 a0 ff 09 01 c0\nI: 3 11d2 0001\n";
    const struct {
        std::string events;  // after the header; all in virtual time
        std::vector<std::string> options;
        int status;
        std::string why;
    } cases[] = {
        {"", {"--timeout", "30"}, 4, "no transfer arrived within 30 seconds"},  // silent adapter
        {"#! 2.0 fail-wait\n", {}, 5, "waiting for the adapter failed (error 31)"},
    };
    for (const auto& c : cases) {
        ScratchFolder folder;
        ScratchFolder::WriteFile(folder.Path("s.hid"), header + c.events);
        std::vector<std::string> args = {"capture", "--simulate", folder.Path("s.hid"), "--out",
                                         folder.Path("capture.bin")};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const CliRun run = Cli(folder, args);
        EXPECT_EQ(run.status, c.status) << c.events;
        EXPECT_EQ(run.err, "verada-rede-cli: " + c.why + "\n") << c.events;
        EXPECT_FALSE(ScratchFolder::ReadFile(folder.Path("capture.bin")).has_value());
    }
}

// The sample log sent four times, 7.5 s apart; the adapter is unplugged after the 100th report
// of the third and plugged in again before the fourth.
std::string FourTransfers() {
    std::istringstream sample(ScratchFolder::ReadFile(kScenarios + "/temperature-log.hid").value());
    std::string head;
    std::vector<std::pair<double, std::string>> reports;
    for (std::string line; std::getline(sample, line);) {
        if (line.starts_with("E: ")) {
            reports.emplace_back(std::stod(line.substr(3)), line.substr(line.find(' ', 3)));
        } else {
            head += line + "\n";
        }
    }
    std::ostringstream out;
    out.setf(std::ios::fixed);
    out.precision(6);
    for (const double start : {0.0, 7.5, 15.0, 30.0}) {
        for (std::size_t i = 0; i < reports.size() && (start != 15.0 || i < 100); ++i) {
            out << "E: " << start + reports[i].first << reports[i].second << "\n";
        }
        if (start == 15.0) {
            out << "#! " << start + 3.4 << " unplug\n#! 25.0 plug\n";
        }
    }
    return head + out.str();
}

// Each transfer in a file of its own, named in order, the one cut short marked as such; data an
// earlier run left in the capture file is saved first; or all of it appended to one file.
TEST(CliWatch, SavesEveryTransferByItselfAndMarksTheOneCutShort) {
    ScratchFolder folder;
    ScratchFolder::WriteFile(folder.Path("four.hid"), FourTransfers());
    ScratchFolder::WriteFile(OwnCapture(folder), "left,0\r\n");
    CliRun run = Cli(folder, {"watch", "--simulate", "four.hid", "--into", "Verada"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    std::istringstream lines(run.out);
    std::vector<std::string> files;
    for (std::string line; std::getline(lines, line);) {
        files.push_back(line.substr(line.rfind(' ') + 1));
        EXPECT_EQ(line.find("cut short") != std::string::npos, files.size() == 4) << line;
    }
    ASSERT_EQ(files.size(), 5u) << run.out;
    EXPECT_NE(run.out.find("1 reports (8 bytes), left by an earlier run, saved in "),
              std::string::npos);
    EXPECT_NE(
        run.out.find("100 reports (800 bytes), cut short (the adapter was removed), saved in "),
        std::string::npos);
    EXPECT_TRUE(std::is_sorted(files.begin(), files.end())) << run.out;
    const std::string csv = ExpectedCsv();
    const std::string cut = ScratchFolder::ReadFile(files[3]).value();
    EXPECT_TRUE(cut.size() > kHeader.size() && csv.starts_with(cut));
    const std::vector<std::string> expected = {kHeader + "left,0\r\n", csv, csv, cut, csv};
    for (std::size_t i = 0; i < files.size(); ++i) {
        EXPECT_TRUE(files[i].starts_with(folder.Path("Verada/verada-"))) << files[i];
        EXPECT_EQ(ScratchFolder::ReadFile(files[i]), expected[i]) << i;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path("Verada")), {}), 5);

    // Recorded: one recording beside each CSV, which replays into that very CSV.
    run = Cli(folder, {"watch", "--simulate", "four.hid", "--into", "v", "--record-into", "r"});
    EXPECT_EQ(run.status, 0) << run.err;
    int recordings = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path("v"))) {
        const std::string stem = entry.path().stem().string();
        ++recordings;
        Cli(folder, {"capture", "--simulate", "r/" + stem + ".hid", "--out", stem + ".bin"});
        EXPECT_EQ(Cli(folder, {"export", stem + ".bin", stem + ".csv"}).status, 0) << stem;
        EXPECT_EQ(ScratchFolder::ReadFile(folder.Path(stem + ".csv")),
                  ScratchFolder::ReadFile(entry.path().string()))
            << stem;
        EXPECT_NE(run.out.find("recorded in " + folder.Path("r/" + stem + ".hid")),
                  std::string::npos);
    }
    EXPECT_EQ(recordings, 4);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path("r")), {}), 4);

    // Appended, quietly; then into a file that cannot be written: told, and the data kept.
    run = Cli(folder, {"watch", "--simulate", "four.hid", "--append-to", "all.csv", "--quiet"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out + run.err, "");
    const std::string data = csv.substr(kHeader.size());
    EXPECT_EQ(ScratchFolder::ReadFile(folder.Path("all.csv")),
              kHeader + data + data + cut.substr(kHeader.size()) + data);
    run = Cli(folder, {"watch", "--simulate", "four.hid", "--append-to", "Verada"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("could not be saved: \"" + folder.Path("Verada") + "\": "),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("; its data is kept in " + OwnCapture(folder)), std::string::npos);
    EXPECT_EQ(ScratchFolder::ReadFile(OwnCapture(folder)).value().size(), (3 * 397 + 100) * 8);
}

// Another program's file, one that takes a name while the new file is written, and a clock set
// back: every save finds a name no file holds, in order from the plain one.
class NameTakenMeanwhile : public vr::ForwardingFileSystem {
public:
    using ForwardingFileSystem::ForwardingFileSystem;
    bool takeNext = false;
    void CommitReplacement(const std::string& replacement, const std::string& target,
                           bool overwrite) override {
        if (std::exchange(takeNext, false)) {
            ScratchFolder::WriteFile(target, "theirs");
        }
        ForwardingFileSystem::CommitReplacement(replacement, target, overwrite);
    }
};

struct WatchFolder : vr::test::ScratchFiles {
    NameTakenMeanwhile taker{files};
    std::string capture = scratch.Path("vrtemp.csv");
    std::string out = scratch.Path("out");
    TransferSaver saver{taker, capture, out, false};

    WatchFolder() { std::filesystem::create_directory(out); }
    static std::string Name(std::time_t end, int attempt = 1) {
        return TransferSaver::FileName(TransferSaver::LocalTime(end), attempt);
    }
    std::string Save(std::time_t end, const std::string& data) {
        ScratchFolder::WriteFile(capture, data);
        return std::filesystem::path(saver.Save(end)).filename();
    }
};

constexpr std::time_t kEnd = 1700000000;

TEST(WatchNames, ATakenNameIsNeverOverwrittenNorIsAnyAfterTheClockWentBack) {
    WatchFolder w;
    ScratchFolder::WriteFile(w.out + "/" + WatchFolder::Name(kEnd), "mine");
    EXPECT_EQ(w.Save(kEnd, "a,1"), WatchFolder::Name(kEnd, 2));
    w.taker.takeNext = true;
    EXPECT_EQ(w.Save(kEnd, "b,2"), WatchFolder::Name(kEnd, 4));
    EXPECT_EQ(w.Save(kEnd - 3600, "c,3"), WatchFolder::Name(kEnd - 3600));
    EXPECT_EQ(w.Save(kEnd, "d,4"), WatchFolder::Name(kEnd, 5));
    EXPECT_TRUE(WatchFolder::Name(kEnd).starts_with("verada-2023-11-1"));
    const std::pair<std::string, std::string> found[] = {
        {WatchFolder::Name(kEnd), "mine"},
        {WatchFolder::Name(kEnd, 2), kHeader + "a,1"},
        {WatchFolder::Name(kEnd, 3), "theirs"},
        {WatchFolder::Name(kEnd, 4), kHeader + "b,2"},
        {WatchFolder::Name(kEnd - 3600), kHeader + "c,3"},
        {WatchFolder::Name(kEnd, 5), kHeader + "d,4"}};
    for (const auto& [name, content] : found) {
        EXPECT_EQ(ScratchFolder::ReadFile(w.out + "/" + name), content) << name;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(w.out), {}), 6);  // nothing else
}

TEST(WatchNames, AFolderThatFillsUpOrVanishesKeepsTheCaptureAndNoHalfFile) {
    WatchFolder w;
    w.files.failOn = "write " + WatchFolder::Name(kEnd);
    EXPECT_THROW(w.Save(kEnd, "a,1"), vr::FileError);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(w.out), {}), 0);
    std::filesystem::remove(w.out);
    EXPECT_THROW(w.saver.Save(kEnd), vr::FileError);
    EXPECT_EQ(ScratchFolder::ReadFile(w.capture), "a,1");
}

TEST(CliExport, WritesTheCsvAndPrintsEveryStatusLineOrNamesTheFileThatFailed) {
    ScratchFolder folder;
    const std::string capture = folder.Path("capture.bin");
    const std::string target = folder.Path("log.csv");
    CliRun run = Cli(folder, {"export", capture, target});  // no capture yet
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.starts_with("verada-rede-cli: \"" + capture + "\": ")) << run.err;
    EXPECT_FALSE(ScratchFolder::ReadFile(target).has_value());

    ASSERT_EQ(Cli(folder,
                  {"capture", "--simulate", kScenarios + "/temperature-log.hid", "--out", capture})
                  .status,
              0);
    ScratchFolder::WriteFile(target, std::string(5000, 'x'));  // overwritten, not kept
    run = Cli(folder, {"export", "--keep-capture", capture, target});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    // Every status line of the export (one for each 100 bytes after the opening one), the last
    // one included.
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 32) << run.err;
    EXPECT_TRUE(run.err.ends_with("\n100% completed (31 of 31)\n"));
    EXPECT_EQ(ScratchFolder::ReadFile(target), ExpectedCsv());
    EXPECT_TRUE(ScratchFolder::ReadFile(capture).has_value());

    // Appending adds the data without a header, and the capture goes afterwards.
    run = Cli(folder, {"export", "--append", capture, target});
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string csv = ExpectedCsv();
    const std::string header = "Zorvik Technologies Verada logfile\r\n";
    EXPECT_EQ(ScratchFolder::ReadFile(target), csv + csv.substr(header.size()));
    EXPECT_FALSE(ScratchFolder::ReadFile(capture).has_value());
}

// Whoever holds a capture file (here as the tray program does, for as long as it runs) keeps it
// from every command: nothing is added to it, saved from it or settled, not even a copy. The
// tray program names itself in the lock: the commands say so, and how to end it.
TEST(CliLock, ARunningTrayProgramsCaptureFileIsNeitherAddedToNorExported) {
    ScratchFolder folder;
    const std::string capture = OwnCapture(folder);
    const std::string own = folder.Path("tmp/verada-rede-" + std::to_string(::geteuid()));
    ScratchFolder::WriteFile(capture, "unsaved");
    ::setenv("XDG_STATE_HOME", folder.Path("state").c_str(), 1);
    vr::posix::PosixFileSystem files;
    auto held = vr::LockCapture(files, capture);
    ASSERT_EQ(held->GetState(), vr::CaptureFileLock::State::Held);

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"capture", "--simulate", kScenarios + "/temperature-log.hid"},
          {"export", capture, folder.Path("out.csv")},
          {"export", "--keep-capture", "--append", own + "/./vrtemp.csv", folder.Path("out.csv")},
          {"watch", "--simulate", kScenarios + "/temperature-log.hid", "--into", "."}}) {
        const CliRun run = Cli(folder, args);
        EXPECT_EQ(run.status, 1) << args[0];
        EXPECT_NE(run.err.find("is in use by another save or capture"), std::string::npos)
            << run.err;
    }
    // The tray program names itself in the lock: watch says who holds the adapter, and how to
    // end it.
    held.reset();
    held = vr::LockCapture(files, capture, vr::CaptureFileLock::Holder::TrayProgram);
    const CliRun run = Cli(folder, {"watch", "--into", "."});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("is in use by Verada Rede, the tray program, which holds the adapter"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("End it with Exit in the menu of its tray icon"), std::string::npos);
    EXPECT_EQ(ScratchFolder::ReadFile(capture), "unsaved");
    EXPECT_FALSE(std::filesystem::exists(folder.Path("out.csv")));

    // Once the tray program has ended, both go ahead.
    held.reset();
    EXPECT_EQ(Cli(folder, {"capture", "--simulate", kScenarios + "/temperature-log.hid"}).status,
              0);
    EXPECT_EQ(Cli(folder, {"export", capture, folder.Path("out.csv")}).status, 0);
    EXPECT_FALSE(std::filesystem::exists(capture));
    const std::string csv = ExpectedCsv();
    const std::size_t header = csv.find('\n') + 1;
    EXPECT_EQ(ScratchFolder::ReadFile(folder.Path("out.csv")),
              csv.substr(0, header) + "unsaved" + csv.substr(header));
}

// The events of a scenario, each with the time since the one before: what a replay depends on.
std::vector<std::string> Events(const vr::sim::Scenario& scenario) {
    std::vector<std::string> events;
    vr::sim::Microseconds last{-1};
    for (const vr::sim::ScenarioStep& step : scenario.steps) {
        if (step.kind == vr::sim::ScenarioStep::Kind::Plug && last.count() < 0) {
            continue;  // the recording's own start
        }
        std::string event = std::to_string(last.count() < 0 ? 0 : (step.at - last).count()) + " " +
                            std::to_string(static_cast<int>(step.kind));
        for (const std::uint8_t byte : scenario.Bytes(step)) {
            event += " " + std::to_string(byte);
        }
        events.push_back(event);
        last = step.at;
    }
    return events;
}

// A recording played back gives the same capture, the same CSV and, recorded again, the same
// recording; its events keep their order, bytes and gaps, and it starts with the plug.
TEST(CliRecord, ARecordingReplaysAsTheTransferCameWithItsGapsAndDirectives) {
    for (const auto& [name, status] : {std::pair<std::string, int>{"temperature-log.hid", 0},
                                       {"temperature-log-numbered.hid", 0},
                                       {"unplugged-mid-transfer.hid", 3}}) {
        SCOPED_TRACE(name);
        ScratchFolder folder;
        CliRun run = Cli(folder, {"capture", "--simulate", kScenarios + "/" + name, "--out",
                                  "a.bin", "--record", "rec.hid"});
        ASSERT_EQ(run.status, status) << run.err;
        EXPECT_NE(run.out.find("recorded "), std::string::npos) << run.out;
        run = Cli(folder,
                  {"capture", "--simulate", "rec.hid", "--out", "b.bin", "--record", "again.hid"});
        EXPECT_EQ(run.status, status) << run.err;
        EXPECT_EQ(ScratchFolder::ReadFile(folder.Path("a.bin")),
                  ScratchFolder::ReadFile(folder.Path("b.bin")));
        EXPECT_EQ(Cli(folder, {"export", "a.bin", "a.csv"}).status, 0);
        EXPECT_EQ(Cli(folder, {"export", "b.bin", "b.csv"}).status, 0);
        EXPECT_EQ(ScratchFolder::ReadFile(folder.Path("a.csv")),
                  ScratchFolder::ReadFile(folder.Path("b.csv")));

        const auto original = vr::sim::LoadScenario(kScenarios + "/" + name);
        const auto recording = vr::sim::LoadScenario(folder.Path("rec.hid"));
        EXPECT_EQ(Events(recording), Events(vr::sim::LoadScenario(folder.Path("again.hid"))));
        EXPECT_EQ(recording.descriptor, original.descriptor);
        EXPECT_FALSE(recording.presentAtStart);  // "#! 0 plug" comes first
        ASSERT_FALSE(recording.steps.empty());
        EXPECT_LE(recording.steps[1].at, vr::sim::HidRecorder::kLongestLead);
        auto sent = Events(original);
        sent.erase(sent.begin());  // the first report's own time is the lead, checked above
        const auto kept = Events(recording);
        EXPECT_EQ(std::vector<std::string>(kept.begin() + 1, kept.end()), sent);
    }
}

// A recording that cannot be written is told before the wait when it can be, and otherwise
// fails the command without costing the capture.
TEST(CliRecord, ARecordingThatCannotBeWrittenNeverCostsTheCapture) {
    ScratchFolder folder;
    const std::string log = kScenarios + "/temperature-log.hid";
    for (const auto& [record, why] :
         {std::pair<std::string, std::string>{"gone/rec.hid", "the folder of --record"},
          {"./a.bin", "--record names the capture file"},
          {log, "--record names the scenario being played"}}) {
        const CliRun run =
            Cli(folder, {"capture", "--simulate", log, "--out", "a.bin", "--record", record});
        EXPECT_EQ(run.status, 1) << record;
        EXPECT_NE(run.err.find(why), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(folder.Path("a.bin")));
    }
    // The disk fills up under the recording (a file size limit of 4 KiB) half-way through.
    const CliRun run =
        Cli(folder, {"capture", "--simulate", log, "--out", "a.bin", "--record", "rec.hid"},
            "trap '' XFSZ; ulimit -f 8;");
    EXPECT_EQ(run.status, 6);
    EXPECT_NE(run.err.find("the recording rec.hid was not written: "), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("the transfer itself was received in full into a.bin"),
              std::string::npos);
    EXPECT_EQ(Cli(folder, {"export", "a.bin", "a.csv"}).status, 0);
    EXPECT_EQ(ScratchFolder::ReadFile(folder.Path("a.csv")), ExpectedCsv());
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
        EXPECT_EQ(entry.path().filename().string().find("rec.hid"), std::string::npos);
    }
}

TEST(CliUsage, WrongUsageShowsTheUsageAndExitsWith2) {
    ScratchFolder folder;
    for (const char* line :
         {"", "frobnicate", "capture --bogus", "capture --out", "capture --timeout soon",
          "list --simulate", "list extra", "export only-one", "export a b c", "export --force a b",
          // Only plain decimal seconds, and each option once.
          "capture --timeout 1e3", "capture --timeout -1", "capture --timeout inf",
          "capture --timeout 0x10", "capture --timeout=5 --timeout 6", "capture --out a --out=b",
          "capture --record", "capture --record=", "capture --record a --record b",
          "list --simulate a --simulate b", "export --append --append a b",
          // watch: one place, once.
          "watch", "watch --into", "watch --into a --append-to b",
          "watch --quiet --quiet --into a"}) {
        std::vector<std::string> args;
        std::istringstream words(line);
        for (std::string word; words >> word;) {
            args.push_back(word);
        }
        const CliRun run = Cli(folder, args);
        EXPECT_EQ(run.status, 2) << line;
        EXPECT_NE(run.err.find("Usage: verada-rede-cli list"), std::string::npos);
        EXPECT_EQ(run.out, "");
    }
    CliRun run = Cli(folder, {"--version"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "verada-rede-cli " VR_VERSION_TEXT "\n");
    run = Cli(folder, {"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.starts_with("Usage: verada-rede-cli list")) << run.out;
}

}  // namespace
