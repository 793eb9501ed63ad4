#include "platform/qt/QtForms.h"

#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>

#include "platform/qt/QtFormDesign.h"
#include "saving/FileDialogRequest.h"

namespace vr::qt {
namespace {

// "desc (pattern)" name filters from the description/pattern pairs of a filter string.
QStringList NameFilters(const std::string& filter) {
    QStringList parts;
    std::size_t start = 0;
    while (start < filter.size()) {
        const std::size_t end = filter.find('\0', start);
        if (end == std::string::npos || end == start) {
            break;
        }
        parts << QString::fromStdString(filter.substr(start, end - start));
        start = end + 1;
    }
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts[i + 1];
        pattern.replace(';', ' ');
        const QString& description = parts[i];
        filters << (description.contains('(') ? description : description + " (" + pattern + ")");
    }
    return filters;
}

// The save dialog. A name in a folder that does not exist is refused in the dialog itself, with
// a word to the user, so they can correct it instead of finding that nothing was saved.
class SaveDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    void accept() override {
        const QStringList chosen = selectedFiles();
        if (!chosen.isEmpty() && !QFileInfo(chosen.constFirst()).absoluteDir().exists()) {
            QMessageBox box(
                QMessageBox::Warning, windowTitle(),
                QStringLiteral("The folder \"%1\" does not exist.\nCheck the path "
                               "and try again.")
                    .arg(QDir::toNativeSeparators(QFileInfo(chosen.constFirst()).absolutePath())),
                QMessageBox::Ok, this);
            box.setObjectName(QStringLiteral("missingFolderBox"));
            box.exec();
            return;
        }
        QFileDialog::accept();
    }
};

}  // namespace

bool QtForms::RunSaveDialog(FileDialogRequest& request, WindowHandle owner) {
    // Unless told not to, the dialog opens where the last save of this run went, as the original
    // platform's dialog does by moving the current folder there. The process's own current
    // folder stays where it is, so that nothing named relative to it moves.
    const bool followLastSave =
        (request.DialogFlags & OFN_NOCHANGEDIR) == 0 && !lastFolder_.isEmpty();
    QWidget* ownerWidget = toolkit_.WindowOf(owner);
    SaveDialog dialog(ownerWidget, QString::fromStdString(request.DialogTitle),
                      followLastSave ? lastFolder_ : QString::fromStdString(request.InitialDir));
    dialog.setObjectName(QStringLiteral("saveDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // An existing file is handled by the append choice, not by an overwrite prompt.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    const QStringList filters = NameFilters(
        request.Filter.empty() ? std::string("All Files\0*.*\0\0", 15) : request.Filter);
    dialog.setNameFilters(filters);
    if (request.FilterIndex > 0 && request.FilterIndex <= filters.size()) {
        dialog.selectNameFilter(filters[request.FilterIndex - 1]);
    }
    if (!request.DefaultExt.empty()) {
        dialog.setDefaultSuffix(QString::fromStdString(request.DefaultExt));
    }
    if (!request.DefaultFile.empty()) {
        dialog.selectFile(QString::fromStdString(request.DefaultFile));
    }
    // Placed explicitly: a window manager places a dialog that names no position of its own where
    // it likes (the top-left corner, over the main window).
    dialog.resize(dialog.sizeHint());
    CentreOn(&dialog, ownerWidget);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return false;
    }
    const QString chosen = dialog.selectedFiles().constFirst();
    lastFolder_ = QFileInfo(chosen).absolutePath();
    request.ChosenFile = chosen.toStdString();
    request.ChosenTitle = QFileInfo(chosen).fileName().toStdString();
    const auto slash = request.ChosenFile.rfind('/');
    const auto dot = request.ChosenFile.rfind('.');
    request.FileOffset = static_cast<std::int16_t>(slash == std::string::npos ? 0 : slash + 1);
    request.ExtensionOffset = static_cast<std::int16_t>(
        dot == std::string::npos || (slash != std::string::npos && dot < slash) ? 0 : dot + 1);
    return true;
}

}  // namespace vr::qt
