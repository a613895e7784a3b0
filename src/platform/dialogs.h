// The file dialog and the message box, as the logic and the windows ask for them; tests answer them.
#pragma once

#include <QString>
#include <optional>
#include <utility>

namespace mervo {

struct FileDialogRequest {
    enum class Kind { Open, Save } kind = Kind::Open;
    QString title;
    QString defaultSuffix;  // appended to a name typed without an extension
    QString filter;         // e.g. "电能综合测试(*.MTQ)"
    bool mustExist = false;
    bool confirmOverwrite = false;
};

// A Save dialog that asks before replacing a file.
inline FileDialogRequest saveRequest(QString title, QString filter, QString defaultSuffix) {
    FileDialogRequest r;
    r.kind = FileDialogRequest::Kind::Save;
    r.title = std::move(title);
    r.filter = std::move(filter);
    r.defaultSuffix = std::move(defaultSuffix);
    r.confirmOverwrite = true;
    return r;
}

class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // The chosen full path, or nothing when the operator cancelled.
    virtual std::optional<QString> choose(const FileDialogRequest& request) = 0;
};

enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // A modal box with exactly this text and title and no icon.
    virtual MessageAnswer show(const QString& text, const QString& title, MessageButtons buttons) = 0;
};

}  // namespace mervo
