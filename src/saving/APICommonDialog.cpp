#include "saving/APICommonDialog.h"

namespace vr {
namespace {

std::string TrimSpaces(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return "";
    }
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

}  // namespace

std::string ShowSaveDialog(FormFactory& forms, FileSystem& files, WindowHandle owner,
                           const std::string& title, const std::string& filterDescription,
                           const std::string& filterPattern, const std::string& initialDir) {
    FileDialogRequest request;
    request.DialogTitle = title;
    request.InitialDir = initialDir.empty() ? files.CurrentFolder() : initialDir;
    request.Filter =
        BuildFilterString({filterDescription + " (" + filterPattern + ")", filterPattern});
    // An existing file is not the dialog's question: the save command asks whether to append.
    request.DialogFlags = OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (!RunSaveDialog(forms, request, owner)) {
        return "";
    }
    return TrimSpaces(request.ChosenFile);
}

std::string BuildFilterString(const std::vector<std::string>& items) {
    if (items.empty()) {
        return "";
    }
    std::string filter;
    for (const auto& item : items) {
        filter += item;
        filter += '\0';
    }
    if (items.size() % 2 != 0) {
        filter += "*.*";
        filter += '\0';
    }
    filter += '\0';
    return filter;
}

bool RunSaveDialog(FormFactory& forms, FileDialogRequest& request, WindowHandle owner) {
    return forms.RunSaveDialog(request, owner);
}

}  // namespace vr
