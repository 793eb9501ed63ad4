#include "TransferSaver.h"

#include <filesystem>
#include <ostream>

#include "Commands.h"
#include "saving/ExportCaptureFile.h"
#include "shared/Errors.h"

namespace vr::cli {
namespace {

// Names tried for one second before the save gives up: far more transfers than can end in one.
constexpr int kNamesPerSecond = 1000;

bool NameTaken(const FileError& error) {
    return error.cause().starts_with(kNameTakenMeanwhile);
}

}  // namespace

TransferSaver::TransferSaver(FileSystem& files, std::string capture, std::string folder,
                             bool appendTo)
    : files_(files), capture_(std::move(capture)), place_(std::move(folder)), appendTo_(appendTo) {}

std::tm TransferSaver::LocalTime(std::time_t moment) {
    std::tm local{};
#ifdef _WIN32
    ::localtime_s(&local, &moment);
#else
    ::localtime_r(&moment, &local);
#endif
    return local;
}

std::string TransferSaver::FileName(const std::tm& end, int attempt) {
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &end);
    // Appended piece by piece: GCC 12 at -O3 warns falsely about "literal" + std::string.
    std::string name = "verada-";
    name += stamp;
    if (attempt > 1) {
        name += '-';
        name += std::to_string(attempt);
    }
    name += ".csv";
    return name;
}

std::string TransferSaver::Save(std::time_t end) {
    return appendTo_ ? AppendToFile() : SaveIntoFolder(end);
}

// The names are tried in order each time, against the folder as it is: a clock set back, or a
// file removed meanwhile, only ever makes a name be used that no file holds.
std::string TransferSaver::SaveIntoFolder(std::time_t end) {
    const std::tm local = LocalTime(end);
    for (int attempt = 1;; ++attempt) {
        const std::string target = Utf8Text(Utf8Path(place_) / Utf8Path(FileName(local, attempt)));
        QuietSave save;
        try {
            ExportCaptureFileAsNew(files_, save.forms, save.window, capture_, target);
            return target;
        } catch (const FileError& e) {
            if (!NameTaken(e) || attempt >= kNamesPerSecond) {
                throw;
            }
        }
    }
}

std::string TransferSaver::AppendToFile() {
    QuietSave save;
    if (!files_.Identify(place_)) {
        try {
            ExportCaptureFileAsNew(files_, save.forms, save.window, capture_, place_);
            return place_;
        } catch (const FileError& e) {
            if (!NameTaken(e)) {
                throw;
            }
        }
    }
    ExportCaptureFile(files_, save.forms, save.window, capture_, place_, true);
    return place_;
}

}  // namespace vr::cli
