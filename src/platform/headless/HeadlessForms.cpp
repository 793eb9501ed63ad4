#include "platform/headless/HeadlessForms.h"

#include <utility>

namespace vr::headless {
namespace {

class HeadlessProgress : public ProgressView {
public:
    explicit HeadlessProgress(std::shared_ptr<ProgressRecord> record, HeadlessForms& forms)
        : record_(std::move(record)), forms_(forms) {}
    void SetMin(float value) override { record_->min = value; }
    void SetMax(float value) override { record_->max = value; }
    void SetValue(float value) override { record_->values.push_back(value); }
    void SetStatus(const std::string& caption) override {
        record_->statusTexts.push_back(caption);
        if (forms_.duringProgress) {
            forms_.duringProgress();
        }
    }
    void Show(WindowHandle owner) override {
        record_->shown = true;
        record_->owner = owner;
    }
    void Unload() override { record_->unloaded = true; }

private:
    std::shared_ptr<ProgressRecord> record_;
    HeadlessForms& forms_;
};

class HeadlessAppend : public AppendView {
public:
    explicit HeadlessAppend(HeadlessForms& forms) : forms_(forms) {}
    void ShowModal(WindowHandle owner, AppendFormHandlers& handlers) override {
        ++forms_.appendFormsShown;
        forms_.appendOwners.push_back(owner);
        AppendAnswer answer = AppendAnswer::Cancel;
        if (!forms_.appendAnswers.empty()) {
            answer = forms_.appendAnswers.front();
            forms_.appendAnswers.pop_front();
        }
        switch (answer) {
            case AppendAnswer::Append:
                handlers.cmdAppend_Click();
                break;
            case AppendAnswer::Overwrite:
                handlers.cmdOverwrite_Click();
                break;
            case AppendAnswer::Cancel:
                handlers.cmdCancel_Click();
                break;
            case AppendAnswer::CloseBox:
                break;  // closed without any button
        }
    }
    void Unload() override { ++forms_.appendFormsUnloaded; }

private:
    HeadlessForms& forms_;
};

class HeadlessAbout : public AboutView {
public:
    explicit HeadlessAbout(std::shared_ptr<AboutRecord> record) : record_(std::move(record)) {}
    void SetCaption(const std::string& caption) override { record_->caption = caption; }
    void SetTitleLabel(const std::string& text) override { record_->titleLabel = text; }
    void SetVersionLabel(const std::string& text) override { record_->versionLabel = text; }
    void Show(WindowHandle owner, AboutFormHandlers& handlers) override {
        record_->shown = true;
        record_->loaded = true;
        record_->owner = owner;
        record_->handlers = &handlers;
    }
    void BringToFront() override { ++record_->broughtToFront; }
    bool IsLoaded() const override { return record_->loaded; }
    void Unload() override {
        record_->loaded = false;
        record_->handlers = nullptr;
    }

private:
    std::shared_ptr<AboutRecord> record_;
};

}  // namespace

bool HeadlessForms::RunSaveDialog(FileDialogRequest& request, WindowHandle owner) {
    saveDialogs.push_back({request, owner});
    std::optional<std::string> answer;
    if (!saveDialogAnswers.empty()) {
        answer = saveDialogAnswers.front();
        saveDialogAnswers.pop_front();
    }
    if (!answer) {
        return false;
    }
    request.ChosenFile = *answer;
    return true;
}

std::unique_ptr<ProgressView> HeadlessForms::CreateProgressForm() {
    progressForms.push_back(std::make_shared<ProgressRecord>());
    return std::make_unique<HeadlessProgress>(progressForms.back(), *this);
}

std::unique_ptr<AppendView> HeadlessForms::CreateAppendForm() {
    return std::make_unique<HeadlessAppend>(*this);
}

std::unique_ptr<AboutView> HeadlessForms::CreateAboutForm() {
    aboutForms.push_back(std::make_shared<AboutRecord>());
    return std::make_unique<HeadlessAbout>(aboutForms.back());
}

}  // namespace vr::headless
