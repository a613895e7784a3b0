// The outcome of a fallible call of the logic: success (with a value), or what failed in the operator's words.
// A failure's message is a Chinese sentence, with the system's own reason, where there is one, in brackets;
// the reason is also kept on its own so a caller can put it into a sentence of its own.
#pragma once

#include <QString>
#include <optional>
#include <utility>

namespace mervo {

class [[nodiscard]] Status {
public:
    Status() = default;  // success

    // A failure the operator is told about with `message`; `reason` is the system's words, when it gave any.
    static Status failure(QString message, QString reason = QString(), int code = 0) {
        Status s;
        s.failed_ = true;
        s.message_ = std::move(message);
        s.reason_ = std::move(reason);
        s.code_ = code;
        return s;
    }

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    const QString& message() const { return message_; }
    // The system's reason when it gave one, otherwise the message: what goes into another sentence's brackets.
    const QString& reason() const { return reason_.isEmpty() ? message_ : reason_; }
    // A number the operator's message names (the error numbers of the receive's per-block arithmetic), or 0.
    int code() const { return code_; }

private:
    bool failed_ = false;
    QString message_, reason_;
    int code_ = 0;
};

template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : value_(std::move(value)) {}
    // A failure; a successful Status here would carry no value, which is a programming error.
    Result(Status failure) : status_(std::move(failure)) {}

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    T& value() { return *value_; }
    const T& value() const { return *value_; }
    T& operator*() { return *value_; }
    const T& operator*() const { return *value_; }
    T* operator->() { return &*value_; }
    const T* operator->() const { return &*value_; }
    const Status& status() const { return status_; }
    const QString& message() const { return status_.message(); }
    const QString& reason() const { return status_.reason(); }

private:
    std::optional<T> value_;
    Status status_;
};

}  // namespace mervo
