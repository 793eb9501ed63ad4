// The CSV export of a capture, against the design it replaces: reading and writing one byte at a
// time, with the window's pending events processed after every byte (a counting pass, then the
// copy). Both run on the real files (POSIX, a fresh temporary folder) and, when Qt is there,
// with the toolkit's event processing as the yield, as in the desktop program.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/posix/PosixFileSystem.h"
#include "saving/ExportCaptureFile.h"
#include "shared/CapturePaths.h"
#include "support/BenchWindow.h"
#include "support/CaptureBytes.h"

#ifdef VR_BENCH_QT
#include <QCoreApplication>
#endif

namespace {

// A byte-at-a-time reader over the file seam, with a small buffer as a runtime's file I/O has,
// so that the reference pays for its loop and its yields rather than for one system call a byte.
class ByteReader {
public:
    explicit ByteReader(vr::InputFile& file) : file_(file) {}
    // False once the end of the file has been reached.
    bool Get(std::uint8_t& byte) {
        if (next_ == used_) {
            used_ = file_.Read(buffer_, sizeof buffer_);
            next_ = 0;
            if (used_ == 0) {
                return false;
            }
        }
        byte = buffer_[next_++];
        return true;
    }

private:
    vr::InputFile& file_;
    std::uint8_t buffer_[4096];
    std::size_t next_ = 0;
    std::size_t used_ = 0;
};

std::string StepText(std::int32_t done, std::int32_t total) {
    const float percent = static_cast<float>(done) / static_cast<float>(total) * 100.0F;
    return std::to_string(std::lround(percent)) + "% completed (" + std::to_string(done) + " of " +
           std::to_string(total) + ")";
}

// The export as it was designed: two passes over the capture, one byte per read, the window's
// events processed after every byte, the progress moved on every hundred reads.
void NaiveExport(vr::FileSystem& files, vr::FormFactory& forms, vr::MainWindowLink& window,
                 const std::string& source, const std::string& target) {
    if (files.FileExists(target)) {
        files.DeleteFile(target);
    }
    auto a = files.OpenForReading(source);
    const std::string replacement = vr::ReplacementFor(target, vr::UniqueSuffix());
    auto b = files.CreateReplacement(target, replacement);
    const std::string header = vr::kCsvHeader;
    b->Write(reinterpret_cast<const std::uint8_t*>(header.data()), header.size());

    std::int32_t reads = 0;
    std::int32_t stepsTotal = 0;
    std::uint8_t byte = 0;
    ByteReader counting(*a);
    for (bool more = true; more;) {
        more = counting.Get(byte);
        if (++reads == 100) {
            ++stepsTotal;
            reads = 0;
        }
        window.DoEvents();
    }
    a->Close();

    auto progress = forms.CreateProgressForm();
    progress->SetMin(0.0F);
    progress->SetMax(static_cast<float>(stepsTotal));
    progress->SetStatus("0% completed ( 0 of " + std::to_string(stepsTotal) + " )");
    progress->Show(window.GetWindowHandle());

    auto c = files.OpenForReading(source);
    ByteReader copying(*c);
    std::int32_t stepsDone = 0;
    reads = 0;
    for (bool more = true; more;) {
        more = copying.Get(byte);
        if (more && byte != 0x00 && byte != 0xFF) {
            b->Write(&byte, 1);
        }
        if (++reads == 100) {
            ++stepsDone;
            progress->SetValue(static_cast<float>(stepsDone));
            progress->SetStatus(StepText(stepsDone, stepsTotal));
            reads = 0;
        }
        window.DoEvents();
    }
    progress->SetValue(0.0F);
    progress->Unload();
    c->Close();
    b->Close();
    files.CommitReplacement(replacement, target, true);
}

class ExportWorld {
public:
    explicit ExportWorld(std::size_t captureBytes) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vr-export-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        folder_ = pattern;
        capture = (folder_ / "vrtemp.csv").string();
        target = (folder_ / "log.csv").string();
        const auto bytes = vr::bench::CaptureBytes(captureBytes);
        expectedTarget = std::string(vr::kCsvHeader).size();
        for (const std::uint8_t byte : bytes) {
            expectedTarget += byte != 0x00 && byte != 0xFF ? 1 : 0;
        }
        std::FILE* out = std::fopen(capture.c_str(), "wb");
        if (out == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size() ||
            std::fclose(out) != 0) {
            std::abort();
        }
#ifdef VR_BENCH_QT
        static int argc = 1;
        static char name[] = "export_bench";
        static char* argv[] = {name, nullptr};
        static QCoreApplication application(argc, argv);
        window.onDoEvents = [] { QCoreApplication::processEvents(QEventLoop::AllEvents); };
#endif
    }
    ~ExportWorld() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    ExportWorld(const ExportWorld&) = delete;
    ExportWorld& operator=(const ExportWorld&) = delete;

    // True when the last export wrote as many bytes as the capture holds bytes to keep.
    bool TargetComplete() const {
        return std::filesystem::file_size(target) == expectedTarget;
    }

    std::string capture;
    std::string target;
    std::uintmax_t expectedTarget = 0;
    vr::posix::PosixFileSystem posixFiles;
    vr::posix::PosixFileSystem& files = posixFiles;
    vr::bench::BenchForms forms;
    vr::bench::BenchWindow window;

private:
    std::filesystem::path folder_;
};

void BM_ExportCaptureFile(benchmark::State& state) {
    ExportWorld world(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        vr::ExportCaptureFile(world.files, world.forms, world.window, world.capture, world.target,
                              false, false);
        if (!world.TargetComplete()) {
            state.SkipWithError("the target does not hold the capture's data");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ExportCaptureFile)
    ->Arg(1 << 20)
    ->Arg(64 << 20)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void BM_NaiveExport(benchmark::State& state) {
    ExportWorld world(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        NaiveExport(world.files, world.forms, world.window, world.capture, world.target);
        if (!world.TargetComplete()) {
            state.SkipWithError("the target does not hold the capture's data");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_NaiveExport)->Arg(1 << 20)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
