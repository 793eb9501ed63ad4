#pragma once

#include <string>
#include <vector>

#include "saving/FileDialogRequest.h"
#include "shared/FileSystem.h"
#include "shared/Toolkit.h"

namespace vr {

// Asks for a file to save to, with `title`, one filter (`filterDescription`, `filterPattern`)
// and the folder to open in ("" for the process's current folder), owned by `owner`. Returns
// the chosen path without leading and trailing spaces, or "" when the user cancelled.
std::string ShowSaveDialog(FormFactory& forms, FileSystem& files, WindowHandle owner,
                           const std::string& title, const std::string& filterDescription,
                           const std::string& filterPattern, const std::string& initialDir);

// The dialog's filter string from descriptions and patterns in turn: each item followed by a
// NUL, "*.*" for a last description without a pattern, and a closing NUL; "" for no items.
std::string BuildFilterString(const std::vector<std::string>& items);

// Runs the platform's save-file dialog; true when the user chose a file (request.ChosenFile).
bool RunSaveDialog(FormFactory& forms, FileDialogRequest& request, WindowHandle owner);

}  // namespace vr
