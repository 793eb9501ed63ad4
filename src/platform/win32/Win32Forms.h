#pragma once

// The seams before the system headers, whose macros share their constants' names.
#include "saving/FileDialogRequest.h"
#include "shared/Toolkit.h"

#include <windows.h>
// windows.h first
#include <commdlg.h>

#include <string>

#include "platform/win32/Win32Toolkit.h"

namespace vr::win32 {

// The save-file dialog's record with the text buffers it points into.
struct OpenFileNameRecord {
    OPENFILENAMEA ofn{};
    std::string filter;
    std::string file;
    std::string fileTitle;
    std::string initialDir;
    std::string title;
    std::string defaultExt;
};

inline constexpr std::size_t kFileBufferLength = 512;

// Fills the dialog's record from a request, owned by `owner`.
void FillOpenFileName(const FileDialogRequest& request, OpenFileNameRecord& record, HWND owner);
// Copies what the dialog chose back into the request.
void CopyDialogResult(const OpenFileNameRecord& record, FileDialogRequest& request);

// The dialogs and forms that are loaded on demand, on Win32: the save dialog here, each form in
// its own file.
class Win32Forms : public FormFactory {
public:
    explicit Win32Forms(Win32Toolkit& toolkit) : toolkit_(toolkit) {}

    bool RunSaveDialog(FileDialogRequest& request, WindowHandle owner) override;
    std::unique_ptr<ProgressView> CreateProgressForm() override;
    std::unique_ptr<AppendView> CreateAppendForm() override;
    std::unique_ptr<AboutView> CreateAboutForm() override;

private:
    Win32Toolkit& toolkit_;
};

}  // namespace vr::win32
