#include "support/MainWindowRig.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace vr::mwtest {

ScratchFolder::ScratchFolder() {
    // A new folder of a random name; creating it fails if the name is taken, so it is ours.
    std::random_device random;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        const std::filesystem::path candidate =
            base / ("verada-mwtest-" + std::to_string(random()) + std::to_string(random()));
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error)) {
            // Private, as the program's own temporary folder must be.
            std::filesystem::permissions(candidate, std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::replace, error);
            path_ = candidate.generic_string() + "/";
        }
    }
    if (path_.empty()) {
        throw std::runtime_error("cannot create a scratch folder");
    }
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

bool PathExists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ignored));
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

MainWindowRig::MainWindowRig()
    : form(MainWindowParts{view, toolkit, files, state, adapters.Factory(),
                           [this] {
                               ++saveCommands;
                               if (onSave) {
                                   onSave();
                               }
                           },
                           [this] { ++aboutBoxes; }, [this] { return saveBusy; }}) {
    view.onResize = [this] { form.Form_Resize(); };
    view.onTick = [this] { form.tmr_Timer(); };
    view.onPopupPick = [this] { form.mPopExit_Click(); };
}

std::vector<std::uint32_t> MainWindowRig::TrayMessages() const {
    std::vector<std::uint32_t> messages;
    for (const auto& call : toolkit.trayCalls) {
        messages.push_back(call.message);
    }
    return messages;
}

int MainWindowRig::CountTray(std::uint32_t message) const {
    int count = 0;
    for (const auto& call : toolkit.trayCalls) {
        count += call.message == message ? 1 : 0;
    }
    return count;
}

void MainWindowRig::ReceiveOnRead(int reports) {
    adapters.onRead = [this, reports] { SimulateReception(form, state, files, reports, log); };
}

void MainWindowRig::LoadIntoTray() {
    form.Form_Load();
    view.FireTimer();
}

}  // namespace vr::mwtest
