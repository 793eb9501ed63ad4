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

#include "platform/posix/PosixFileSystem.h"
#include "shared/CaptureFileLock.h"
#include "support/ScratchFolder.h"

namespace {

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

// Runs the tool with `args` in `folder`, its temporary folder inside `folder` too.
CliRun Cli(const ScratchFolder& folder, const std::vector<std::string>& args) {
    // Appended piece by piece: GCC 12 at -O3 warns falsely about "literal" + std::string.
    std::string command = "cd ";
    command += Quoted(folder.Path("")) +
               " && env -u XDG_RUNTIME_DIR TMPDIR=" + Quoted(folder.Path("tmp")) +
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
// from every command: nothing is added to it, saved from it or settled, not even a copy.
TEST(CliLock, ARunningTrayProgramsCaptureFileIsNeitherAddedToNorExported) {
    ScratchFolder folder;
    const std::string own = folder.Path("tmp/verada-rede-" + std::to_string(::geteuid()));
    std::filesystem::create_directories(own);
    std::filesystem::permissions(own, std::filesystem::perms::owner_all);
    const std::string capture = own + "/vrtemp.csv";
    ScratchFolder::WriteFile(capture, "unsaved");
    ::setenv("XDG_STATE_HOME", folder.Path("state").c_str(), 1);
    vr::posix::PosixFileSystem files;
    auto held = vr::LockCapture(files, capture);
    ASSERT_EQ(held->GetState(), vr::CaptureFileLock::State::Held);

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"capture", "--simulate", kScenarios + "/temperature-log.hid"},
          {"export", capture, folder.Path("out.csv")},
          {"export", "--keep-capture", "--append", own + "/./vrtemp.csv",
           folder.Path("out.csv")}}) {
        const CliRun run = Cli(folder, args);
        EXPECT_EQ(run.status, 1) << args[1];
        EXPECT_NE(run.err.find("is in use by another save or capture"), std::string::npos)
            << run.err;
    }
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

TEST(CliUsage, WrongUsageShowsTheUsageAndExitsWith2) {
    ScratchFolder folder;
    for (const char* line :
         {"", "frobnicate", "capture --bogus", "capture --out", "capture --timeout soon",
          "list --simulate", "list extra", "export only-one", "export a b c", "export --force a b",
          // Only plain decimal seconds, and each option once.
          "capture --timeout 1e3", "capture --timeout -1", "capture --timeout inf",
          "capture --timeout 0x10", "capture --timeout=5 --timeout 6", "capture --out a --out=b",
          "list --simulate a --simulate b", "export --append --append a b"}) {
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
