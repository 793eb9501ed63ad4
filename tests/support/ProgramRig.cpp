#include "support/ProgramRig.h"

#include <algorithm>
#include <utility>

#include "adapter/USBAdapter.h"
#include "shared/Errors.h"

namespace vr::test {
namespace {

std::string BaseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

class FaultyOutput : public OutputFile {
public:
    FaultyOutput(std::unique_ptr<OutputFile> inner, std::string path, FaultyFileSystem& owner)
        : inner_(std::move(inner)), path_(std::move(path)), owner_(owner) {}

    void Write(const std::uint8_t* data, std::size_t size) override {
        if (owner_.Step("write", path_)) {
            inner_->Write(data, size / 2);
            throw FileError(path_, "No space left on device");
        }
        inner_->Write(data, size);
    }
    std::uint64_t Length() override { return inner_->Length(); }
    void SeekToEnd() override { inner_->SeekToEnd(); }
    void Truncate(std::uint64_t length) override { inner_->Truncate(length); }
    void Close() override {
        const bool fails = owner_.Step("close", path_);
        inner_->Close();
        if (fails) {
            throw FileError(path_, "Input/output error");
        }
    }

private:
    std::unique_ptr<OutputFile> inner_;
    std::string path_;
    FaultyFileSystem& owner_;
};

}  // namespace

bool FaultyFileSystem::Step(const std::string& op, const std::string& path) {
    ops.push_back(op + " " + BaseName(path));
    return failAt && *failAt == ops.size() - 1;
}

void FaultyFileSystem::DeleteFile(const std::string& path) {
    if (Step("delete", path)) {
        throw FileError(path, "Operation not permitted");
    }
    inner_.DeleteFile(path);
}

std::unique_ptr<OutputFile> FaultyFileSystem::OpenCaptureForAppend(const std::string& path) {
    if (Step("open-append", path)) {
        throw FileError(path, "Permission denied");
    }
    return std::make_unique<FaultyOutput>(inner_.OpenCaptureForAppend(path), path, *this);
}

std::unique_ptr<OutputFile> FaultyFileSystem::OpenTarget(const std::string& path) {
    if (Step("open-target", path)) {
        throw FileError(path, "Permission denied");
    }
    return std::make_unique<FaultyOutput>(inner_.OpenTarget(path), path, *this);
}

std::unique_ptr<InputFile> FaultyFileSystem::OpenForReading(const std::string& path) {
    if (Step("open-read", path)) {
        throw FileError(path, "Input/output error");
    }
    return inner_.OpenForReading(path);
}

ProgramRig::ProgramRig() {
    FakeHidInterface adapter;
    adapter.path = "/dev/hidraw0";
    adapter.vendor = AdapterVendorId;
    adapter.product = AdapterProductId;
    hid.interfaces.push_back(adapter);

    MainWindowParts parts{
        view,
        toolkit,
        files,
        state,
        [this]() -> std::unique_ptr<AdapterLink> {
            return std::make_unique<USBAdapter>(AdapterContext{hid, hid, files, *form, state});
        },
        [this] { save->cmdSave_Click(); },
        [] {},
        [this] { return save->Busy(); },
    };
    form = std::make_unique<frmMain>(std::move(parts));
    save = std::make_unique<SaveCommand>(toolkit, forms, files, state, *form);
    view.onResize = [this] { form->Form_Resize(); };
    view.onTick = [this] { form->tmr_Timer(); };
    view.onPopupPick = [this] { form->mPopExit_Click(); };
}

bool ProgramRig::Load() {
    form->Form_Load();
    return !view.visible && view.timerEnabled && form->Loaded();
}

void ProgramRig::Save(const std::string& target, headless::AppendAnswer answer) {
    forms.saveDialogAnswers.emplace_back(target);
    forms.appendAnswers.push_back(answer);
    form->cmdSave_Click();
    forms.saveDialogAnswers.clear();
    forms.appendAnswers.clear();
}

}  // namespace vr::test
