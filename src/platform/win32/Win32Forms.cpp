#include "saving/APICommonDialog.h"

#include "platform/win32/Win32Forms.h"

namespace vr::win32 {
namespace {

// The NUL-separated text of a record field, at its full length.
char* Text(std::string& text) {
    return text.empty() ? nullptr : text.data();
}

}  // namespace

void FillOpenFileName(const FileDialogRequest& request, OpenFileNameRecord& record, HWND owner) {
    record.filter = request.Filter.empty() ? BuildFilterString({"All Files"}) : request.Filter;
    record.file = request.DefaultFile.substr(0, kFileBufferLength - 1);
    record.file.resize(kFileBufferLength, '\0');
    record.fileTitle.assign(kFileBufferLength, '\0');
    record.initialDir = request.InitialDir;
    record.title = request.DialogTitle;
    record.defaultExt = request.DefaultExt;

    OPENFILENAMEA& ofn = record.ofn;
    ofn = OPENFILENAMEA{};
    // The record without the fields that later versions of the system added.
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    ofn.hwndOwner = owner;
    ofn.hInstance = nullptr;
    ofn.lpstrFilter = record.filter.c_str();
    ofn.lpstrCustomFilter = nullptr;
    ofn.nMaxCustFilter = 0;
    ofn.nFilterIndex = static_cast<DWORD>(request.FilterIndex);
    ofn.lpstrFile = record.file.data();
    ofn.nMaxFile = kFileBufferLength - 1;
    ofn.lpstrFileTitle = record.fileTitle.data();
    ofn.nMaxFileTitle = kFileBufferLength - 1;
    ofn.lpstrInitialDir = record.initialDir.c_str();
    ofn.lpstrTitle = record.title.c_str();
    ofn.Flags = static_cast<DWORD>(request.DialogFlags);
    ofn.lpstrDefExt = Text(record.defaultExt);
    ofn.lCustData = 0;
    ofn.lpfnHook = nullptr;
    ofn.lpTemplateName = nullptr;
}

void CopyDialogResult(const OpenFileNameRecord& record, FileDialogRequest& request) {
    request.ChosenFile = std::string(record.file.c_str());
    request.ChosenTitle = record.fileTitle;
    request.FileOffset = static_cast<std::int16_t>(record.ofn.nFileOffset);
    request.ExtensionOffset = static_cast<std::int16_t>(record.ofn.nFileExtension);
}

bool Win32Forms::RunSaveDialog(FileDialogRequest& request, WindowHandle owner) {
    OpenFileNameRecord record;
    FillOpenFileName(request, record, ToHwnd(owner));
    if (::GetSaveFileNameA(&record.ofn) == FALSE) {
        return false;
    }
    CopyDialogResult(record, request);
    return true;
}

}  // namespace vr::win32
