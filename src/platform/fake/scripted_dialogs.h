// Dialogs and message boxes answered from a script, keeping what was asked.
#pragma once

#include <deque>
#include <vector>

#include "platform/dialogs.h"

namespace mervo {

class ScriptedFileDialogs : public FileDialogs {
public:
    std::deque<std::optional<QString>> answers;  // nothing = Cancel; an empty script cancels
    std::vector<FileDialogRequest> asked;

    std::optional<QString> choose(const FileDialogRequest& request) override {
        asked.push_back(request);
        if (answers.empty()) return std::nullopt;
        const bool chosen = answers.front().has_value();
        const QString path = chosen ? *answers.front() : QString();
        answers.pop_front();
        if (!chosen) return std::nullopt;
        return path;
    }
};

class ScriptedMessageBoxes : public MessageBoxes {
public:
    struct Shown {
        QString text, title;
        MessageButtons buttons;
    };
    std::deque<MessageAnswer> answers;  // an empty script answers No (or OK)
    std::vector<Shown> shown;

    MessageAnswer show(const QString& text, const QString& title, MessageButtons buttons) override {
        shown.push_back({text, title, buttons});
        if (answers.empty()) return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::No;
        const MessageAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
};

}  // namespace mervo
