// Dialogs that answer from a script and remember what they were asked.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialogs.h"

namespace ravelin::test {

class FakeDialogs : public Dialogs {
public:
    std::vector<std::string> messages;
    std::vector<SaveDialogRequest> saveRequests;
    std::optional<std::string> saveAnswer;          // nothing: the user cancels
    std::function<void()> whileMessageOpen;         // runs as if events arrived under the box
    std::deque<UnwrittenChoice> unwrittenAnswers;   // Discard once they run out
    std::vector<std::string> unwrittenQuestions;
    std::optional<std::string> folderAnswer;
    std::vector<std::string> folderTitles;

    void message(QWidget*, const std::string& text) override {
        messages.push_back(text);
        if (whileMessageOpen) whileMessageOpen();
    }
    std::optional<std::string> saveFileName(QWidget*, const SaveDialogRequest& request) override {
        saveRequests.push_back(request);
        return saveAnswer;
    }
    UnwrittenChoice askUnwritten(QWidget*, const std::string& text) override {
        unwrittenQuestions.push_back(text);
        if (unwrittenAnswers.empty()) return UnwrittenChoice::Discard;
        const UnwrittenChoice c = unwrittenAnswers.front();
        unwrittenAnswers.pop_front();
        return c;
    }
    std::optional<std::string> chooseFolder(QWidget*, const std::string& title) override {
        folderTitles.push_back(title);
        return folderAnswer;
    }
};

}  // namespace ravelin::test
