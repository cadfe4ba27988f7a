#pragma once

#include <functional>
#include <string_view>

class QWidget;

namespace vemra {

// The program's message boxes: the callers' Japanese texts in a
// QMessageBox with the application's name as caption and Japanese buttons.
enum class MessageKind { Information, Warning, Error, Question };
enum class MessageButtons { Ok, YesNo, YesNoCancel, OkCancel, AbortRetryIgnore };
enum class MessageAnswer { Ok, Yes, No, Cancel, Abort, Retry, Ignore };

void showInformation(QWidget* parent, std::string_view text);
void showWarning(QWidget* parent, std::string_view text);
void showError(QWidget* parent, std::string_view text);
// Yes or No; No when `defaultNo` makes it the default button.
bool askYesNo(QWidget* parent, std::string_view text, bool defaultNo = false);
MessageAnswer askYesNoCancel(QWidget* parent, std::string_view text);
MessageAnswer askOkCancel(QWidget* parent, std::string_view text);
// A failed step of a long operation (stop icon): Abort, Retry or Ignore;
// closing the box aborts.
MessageAnswer askAbortRetryIgnore(QWidget* parent, std::string_view text);

// The one place every box goes through.
MessageAnswer messageBox(QWidget* parent, MessageKind kind, MessageButtons buttons,
                         std::string_view text, MessageAnswer defaultAnswer);

// While set, boxes are not shown: the function answers in their place
// (tests, and runs without a display). Returns the previous one.
using MessageBoxResponder =
    std::function<MessageAnswer(MessageKind, MessageButtons, std::string_view text)>;
MessageBoxResponder setMessageBoxResponder(MessageBoxResponder responder);

// Sets a responder for its lifetime and puts the previous one back.
class ScopedMessageBoxResponder {
public:
    explicit ScopedMessageBoxResponder(MessageBoxResponder responder);
    ~ScopedMessageBoxResponder();
    ScopedMessageBoxResponder(const ScopedMessageBoxResponder&) = delete;
    ScopedMessageBoxResponder& operator=(const ScopedMessageBoxResponder&) = delete;

private:
    MessageBoxResponder m_previous;
};

} // namespace vemra
