#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>

#include "platform/dialogs.h"

namespace ravelin {
namespace {

// Qt's file dialog reads and writes its folder history, last folder and view in the
// user's QtProject.conf. While one of ours exists, the user's settings point at a folder
// that can never be made (under /dev/null): the dialog finds nothing and keeps nothing,
// and the program writes no configuration.
class NoFileDialogSettings {
public:
    NoFileDialogSettings() : saved_(userFolder()) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("/dev/null/ravelin"));
    }
    ~NoFileDialogSettings() { QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, saved_); }
    NoFileDialogSettings(const NoFileDialogSettings&) = delete;
    NoFileDialogSettings& operator=(const NoFileDialogSettings&) = delete;

private:
    static QString userFolder() {
        const QSettings probe(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("QtProject"));
        return QFileInfo(probe.fileName()).absolutePath();
    }
    QString saved_;
};

// Qt's own save dialog accepts a name in a folder that does not exist; this one
// refuses it, as the log folder must be a real one.
class SaveDialog : public QFileDialog {
public:
    SaveDialog(QWidget* parent, bool folderMustExist) : QFileDialog(parent), folderMustExist_(folderMustExist) {}

    void accept() override {
        const QStringList files = selectedFiles();
        if (folderMustExist_ && !files.isEmpty()) {
            const QFileInfo info(files.first());
            if (!info.isDir() && !QFileInfo(info.absolutePath()).isDir()) {
                QMessageBox::warning(this, windowTitle(),
                                     QStringLiteral("フォルダ「%1」がありません。").arg(QDir::toNativeSeparators(info.absolutePath())));
                return;
            }
        }
        QFileDialog::accept();
    }

private:
    bool folderMustExist_;
};

QString filterText(const SaveDialogRequest::Filter& f) {
    QStringList patterns;
    for (const auto& p : f.patterns) patterns << QString::fromStdString(p);
    return QString::fromStdString(f.name) + " (" + patterns.join(' ') + ")";
}

class QtDialogs : public Dialogs {
public:
    void message(QWidget* parent, const std::string& text) override {
        QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kApplicationTitle), QString::fromStdString(text),
                        QMessageBox::Ok, parent);
        box.exec();
    }

    std::optional<std::string> saveFileName(QWidget* parent, const SaveDialogRequest& r) override {
        const NoFileDialogSettings noSettings;
        SaveDialog dialog(parent, r.folderMustExist);
        dialog.setWindowTitle(QString::fromStdString(r.title));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        // Qt's own dialog on every desktop, so the folder check above always runs;
        // it never changes the working directory.
        QFileDialog::Options options = QFileDialog::DontUseNativeDialog;
        if (!r.overwritePrompt) options |= QFileDialog::DontConfirmOverwrite;
        dialog.setOptions(options);
        QStringList filters;
        for (const auto& f : r.filters) filters << filterText(f);
        dialog.setNameFilters(filters);
        if (r.filterIndex >= 1 && r.filterIndex <= filters.size()) dialog.selectNameFilter(filters[r.filterIndex - 1]);
        dialog.setDirectory(r.initialFolder.empty() ? QDir::currentPath() : QString::fromStdString(r.initialFolder));
        dialog.selectFile(QString::fromStdString(r.fileName));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
        return dialog.selectedFiles().first().toStdString();
    }

    UnwrittenChoice askUnwritten(QWidget* parent, const std::string& text) override {
        QMessageBox box(QMessageBox::Warning, QString::fromUtf8(kApplicationTitle), QString::fromStdString(text),
                        QMessageBox::NoButton, parent);
        QPushButton* save = box.addButton(QStringLiteral("別のフォルダに保存..."), QMessageBox::AcceptRole);
        QPushButton* retry = box.addButton(QStringLiteral("再試行"), QMessageBox::ActionRole);
        QPushButton* discard = box.addButton(QStringLiteral("破棄して終了"), QMessageBox::DestructiveRole);
        box.setDefaultButton(save);
        // Closing the box with Esc or its frame must not drop the records.
        box.setEscapeButton(retry);
        box.exec();
        if (box.clickedButton() == discard) return UnwrittenChoice::Discard;
        if (box.clickedButton() == save) return UnwrittenChoice::SaveElsewhere;
        return UnwrittenChoice::Retry;
    }

    std::optional<std::string> chooseFolder(QWidget* parent, const std::string& title) override {
        const NoFileDialogSettings noSettings;
        const QString folder = QFileDialog::getExistingDirectory(parent, QString::fromStdString(title), QDir::currentPath(),
                                                                 QFileDialog::DontUseNativeDialog | QFileDialog::ShowDirsOnly);
        if (folder.isEmpty()) return std::nullopt;
        return folder.toStdString();
    }
};

}  // namespace

std::unique_ptr<Dialogs> createQtDialogs() { return std::make_unique<QtDialogs>(); }

}  // namespace ravelin
