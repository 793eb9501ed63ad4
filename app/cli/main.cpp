// verada-rede-cli: the companion tool of Verada Rede. Lists the HID interfaces, receives one
// transfer from the adapter into the capture file, exports a capture file as CSV, and watches
// for transfers and saves each one by itself, all through the program's own code; --simulate
// plays a scenario instead of the real adapter.
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "Commands.h"
#include "ConsoleWindow.h"
#include "HidBackend.h"
#include "shared/Version.h"

namespace vr::cli {
namespace {

constexpr const char* kUsage =
    "Usage: verada-rede-cli list [--simulate SCENARIO]\n"
    "       verada-rede-cli capture [--simulate SCENARIO] [--out FILE] [--record FILE]\n"
    "                               [--timeout SECONDS]\n"
    "       verada-rede-cli export [--append] [--keep-capture] CAPTURE TARGET\n"
    "       verada-rede-cli watch (--into FOLDER | --append-to FILE) [--simulate SCENARIO]\n"
    "                             [--record-into FOLDER] [--quiet]\n"
    "       verada-rede-cli --help | --version\n";

constexpr const char* kHelp =
    "\n"
    "list      shows the HID interfaces present and whether the infrared adapter (11d2:0001)\n"
    "          is present and may be opened.\n"
    "capture   looks for the adapter as Verada Rede does and receives one transfer, appending\n"
    "          its data to FILE (default: Verada Rede's capture file); prints\n"
    "          \"received N reports (M bytes)\". --timeout (default 60) limits the wait for a\n"
    "          transfer to begin. --record FILE also writes what the adapter sent (its report\n"
    "          descriptor and every report with its time) to FILE, a recording that --simulate\n"
    "          plays back into the same capture.\n"
    "export    writes the capture file CAPTURE as the CSV file TARGET, as the Save command\n"
    "          does: a header line and the data, replacing TARGET, or with --append only the\n"
    "          data after TARGET's end. Bytes 0x00 and 0xFF are left out. Progress goes to\n"
    "          stderr. CAPTURE is deleted afterwards unless --keep-capture is given.\n"
    "watch     runs until stopped, in place of Verada Rede (not beside it): receives every\n"
    "          transfer as Verada Rede does and saves it by itself, as a new file\n"
    "          FOLDER/verada-YYYY-MM-DD_HH-MM-SS.csv named after the local time the transfer\n"
    "          ended (-2, -3, ... added when the name is taken; nothing is overwritten, and a\n"
    "          file appears under its name only once complete), or appended to FILE. Prints\n"
    "          one line per transfer (not with --quiet). Ctrl+C or SIGTERM finishes the save\n"
    "          under way, then ends it; with --simulate it ends when the scenario is over.\n"
    "          --record-into FOLDER keeps a recording of each transfer there, named as its\n"
    "          CSV file with .hid (or after the transfer's end when appending).\n"
    "--simulate SCENARIO\n"
    "          plays a hid-recorder recording (with #! plug, unplug, fail-wait and empty-read\n"
    "          directives) as the adapter, in virtual time.\n"
    "\n"
    "Exit status: 0 done; 1 failure; 2 wrong usage; 3 adapter lost during the transfer\n"
    "(the data received is kept); 4 no transfer before the time-out; 5 a wait failed; 6 the\n"
    "transfer was received but its recording could not be written.\n";

int Usage(const std::string& problem) {
    std::cerr << kToolName << ": " << problem << '\n' << kUsage;
    return kExitUsage;
}

class Arguments {
public:
    Arguments(int argc, char** argv) : args_(argv + 1, argv + argc) {}

    bool Done() const { return next_ >= args_.size(); }
    std::string Take() { return args_[next_++]; }

    // The value of an option given as "--name VALUE" or "--name=VALUE".
    std::optional<std::string> Value(const std::string& option, const std::string& name) {
        if (option.size() > name.size() && option.starts_with(name + "=")) {
            return option.substr(name.size() + 1);
        }
        if (Done()) {
            return std::nullopt;
        }
        return Take();
    }

private:
    std::vector<std::string> args_;
    std::size_t next_ = 0;
};

bool Is(const std::string& option, const std::string& name) {
    return option == name || option.starts_with(name + "=");
}

// Remembers the options given: the second of a kind is a mistake, not an override.
class SeenOptions {
public:
    bool Twice(const std::string& name) { return !seen_.insert(name).second; }

private:
    std::set<std::string> seen_;
};

// Plain decimal seconds ("90", "2.5"): no sign, exponent, hex, infinity or spaces.
std::optional<double> Seconds(const std::string& text) {
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    const std::size_t dot = text.find('.');
    const std::string whole = text.substr(0, dot);
    const std::string fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
    if (whole.empty() || whole.size() > 9 || !std::all_of(whole.begin(), whole.end(), digit) ||
        (dot != std::string::npos && fraction.empty()) ||
        !std::all_of(fraction.begin(), fraction.end(), digit)) {
        return std::nullopt;
    }
    return std::strtod(text.c_str(), nullptr);
}

int List(Arguments& args) {
    std::optional<std::string> scenario;
    while (!args.Done()) {
        const std::string option = args.Take();
        if (!Is(option, "--simulate")) {
            return Usage("unexpected \"" + option + "\" for list");
        }
        if (scenario) {
            return Usage("--simulate is given twice");
        }
        scenario = args.Value(option, "--simulate");
        if (!scenario) {
            return Usage("--simulate needs a scenario file");
        }
    }
    return RunList(scenario, std::cout, std::cerr);
}

// Reads the options of a command whose options each come once: --simulate's scenario goes into
// `scenario`, every other option, with its name (the part before any "="), to `take`, which
// returns a usage status for one it refuses. Returns a usage status, or nothing when all were
// taken.
template <typename Take>
std::optional<int> ReadOptions(Arguments& args, std::optional<std::string>& scenario, Take take) {
    SeenOptions seen;
    while (!args.Done()) {
        const std::string option = args.Take();
        const std::string name = option.substr(0, option.find('='));
        if (name.starts_with("--") && seen.Twice(name)) {
            return Usage(name + " is given twice");
        }
        if (Is(option, "--simulate")) {
            scenario = args.Value(option, "--simulate");
            if (!scenario) {
                return Usage("--simulate needs a scenario file");
            }
        } else if (const std::optional<int> refused = take(option, name)) {
            return refused;
        }
    }
    return std::nullopt;
}

int Capture(Arguments& args) {
    CaptureOptions options;
    const auto refused = ReadOptions(
        args, options.scenario,
        [&](const std::string& option, const std::string&) -> std::optional<int> {
            if (Is(option, "--out")) {
                options.out = args.Value(option, "--out");
                if (!options.out || options.out->empty()) {
                    return Usage("--out needs a file");
                }
            } else if (Is(option, "--record")) {
                options.record = args.Value(option, "--record");
                if (!options.record || options.record->empty()) {
                    return Usage("--record needs a file");
                }
            } else if (Is(option, "--timeout")) {
                const auto value = args.Value(option, "--timeout");
                const auto seconds = value ? Seconds(*value) : std::nullopt;
                if (!seconds) {
                    return Usage("--timeout needs a number of seconds (like 90 or 2.5)");
                }
                options.timeoutSeconds = *seconds;
            } else {
                return Usage("unexpected \"" + option + "\" for capture");
            }
            return std::nullopt;
        });
    return refused ? *refused : RunCapture(options, std::cout, std::cerr);
}

int Watch(Arguments& args) {
    WatchOptions options;
    const auto refused = ReadOptions(
        args, options.scenario,
        [&](const std::string& option, const std::string& name) -> std::optional<int> {
            if (Is(option, "--into") || Is(option, "--append-to") || Is(option, "--record-into")) {
                const auto value = args.Value(option, name);
                if (!value || value->empty()) {
                    return Usage(name +
                                 (name == "--append-to" ? " needs a file" : " needs a folder"));
                }
                (name == "--into"        ? options.into
                 : name == "--append-to" ? options.appendTo
                                         : options.recordInto) = *value;
            } else if (option == "--quiet") {
                options.quiet = true;
            } else {
                return Usage("unexpected \"" + option + "\" for watch");
            }
            return std::nullopt;
        });
    if (refused) {
        return *refused;
    }
    if (options.into.empty() == options.appendTo.empty()) {
        return Usage("watch needs either --into FOLDER or --append-to FILE");
    }
    return RunWatch(options, std::cout, std::cerr);
}

int Export(Arguments& args) {
    ExportOptions options;
    std::vector<std::string> files;
    SeenOptions seen;
    while (!args.Done()) {
        const std::string option = args.Take();
        if ((option == "--append" || option == "--keep-capture") && seen.Twice(option)) {
            return Usage(option + " is given twice");
        }
        if (option == "--append") {
            options.append = true;
        } else if (option == "--keep-capture") {
            options.keepCapture = true;
        } else if (option == "--") {
            while (!args.Done()) {
                files.push_back(args.Take());
            }
        } else if (option.starts_with("-") && option.size() > 1) {
            return Usage("unexpected \"" + option + "\" for export");
        } else {
            files.push_back(option);
        }
    }
    if (files.size() != 2) {
        return Usage("export needs CAPTURE and TARGET");
    }
    options.capture = files[0];
    options.target = files[1];
    return RunExport(options, std::cerr);
}

}  // namespace

int Fail(std::ostream& err, const std::string& message, int status) {
    err << kToolName << ": " << message << '\n';
    return status;
}

}  // namespace vr::cli

int main(int argc, char** argv) {
    using namespace vr::cli;
    PrepareNativeConsole();
    Arguments args(argc, argv);
    if (args.Done()) {
        return Usage("a command is needed");
    }
    const std::string command = args.Take();
    if (command == "--help" || command == "-h") {
        std::cout << kUsage << kHelp;
        return kExitOk;
    }
    if (command == "--version") {
        std::cout << kToolName << ' ' << vr::VersionText() << '\n';
        return kExitOk;
    }
    InstallInterruptHandler();
    // Whatever goes wrong ends in one line and status 1, never in an abort.
    try {
        if (command == "list") {
            return List(args);
        }
        if (command == "capture") {
            return Capture(args);
        }
        if (command == "export") {
            return Export(args);
        }
        if (command == "watch") {
            return Watch(args);
        }
    } catch (const std::bad_alloc&) {
        return Fail(std::cerr, "out of memory");
    } catch (const std::exception& e) {
        return Fail(std::cerr, e.what());
    } catch (...) {
        return Fail(std::cerr, "an unexpected failure");
    }
    return Usage("unknown command \"" + command + "\"");
}
