// The modal dialogs of the main window: message boxes, the log-folder save
// dialog and the question about unwritten records. A test double stands in for
// them in the widget tests.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace ravelin {

// The settings of the file-save dialog that picks the log folder.
struct SaveDialogRequest {
    std::string title;
    std::string initialFolder;  // empty: the working directory
    std::string fileName;       // the name the dialog opens with
    struct Filter {
        std::string name;
        std::vector<std::string> patterns;
    };
    std::vector<Filter> filters;
    int filterIndex = 1;        // counts from 1
    bool overwritePrompt = true;
    bool folderMustExist = true;
};

// What the user wants done with log records that could not be written at exit.
enum class UnwrittenChoice { SaveElsewhere, Retry, Discard };

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A modal message box with the text and an OK button only; returns when closed.
    virtual void message(QWidget* parent, const std::string& text) = 0;
    // The save dialog: the path accepted, or nothing after a cancel or any failure.
    virtual std::optional<std::string> saveFileName(QWidget* parent, const SaveDialogRequest& request) = 0;
    // Asks what to do with records still unwritten; never drops them on its own.
    virtual UnwrittenChoice askUnwritten(QWidget* parent, const std::string& text) = 0;
    // An existing folder, or nothing when the user cancels.
    virtual std::optional<std::string> chooseFolder(QWidget* parent, const std::string& title) = 0;
};

// The application's title on message boxes that have none of their own.
inline constexpr const char* kApplicationTitle = "Ravelin";

std::unique_ptr<Dialogs> createQtDialogs();

}  // namespace ravelin
