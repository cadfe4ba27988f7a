#include "framework/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <utility>
#include <vector>

namespace vemra {

namespace {

MessageBoxResponder& responder() {
    static MessageBoxResponder instance;
    return instance;
}

QMessageBox::Icon iconOf(MessageKind kind) {
    switch (kind) {
    case MessageKind::Information:
        return QMessageBox::Information;
    case MessageKind::Warning:
        return QMessageBox::Warning;
    case MessageKind::Error:
        return QMessageBox::Critical;
    case MessageKind::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

struct ButtonSpec {
    MessageAnswer answer;
    QMessageBox::ButtonRole role;
    const char* text;
};

constexpr ButtonSpec kOk{MessageAnswer::Ok, QMessageBox::AcceptRole, "OK"};
constexpr ButtonSpec kYes{MessageAnswer::Yes, QMessageBox::YesRole, "はい(&Y)"};
constexpr ButtonSpec kNo{MessageAnswer::No, QMessageBox::NoRole, "いいえ(&N)"};
constexpr ButtonSpec kCancel{MessageAnswer::Cancel, QMessageBox::RejectRole, "キャンセル"};
constexpr ButtonSpec kAbort{MessageAnswer::Abort, QMessageBox::RejectRole, "中止(&A)"};
constexpr ButtonSpec kRetry{MessageAnswer::Retry, QMessageBox::AcceptRole, "再試行(&R)"};
constexpr ButtonSpec kIgnore{MessageAnswer::Ignore, QMessageBox::AcceptRole, "無視(&I)"};

std::vector<ButtonSpec> buttonsOf(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::YesNo:
        return {kYes, kNo};
    case MessageButtons::YesNoCancel:
        return {kYes, kNo, kCancel};
    case MessageButtons::OkCancel:
        return {kOk, kCancel};
    case MessageButtons::AbortRetryIgnore:
        return {kAbort, kRetry, kIgnore};
    case MessageButtons::Ok:
        break;
    }
    return {kOk};
}

// What closing the box without a button (Escape, the title bar) means.
MessageAnswer escapeAnswer(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::YesNo:
        return MessageAnswer::No;
    case MessageButtons::YesNoCancel:
    case MessageButtons::OkCancel:
        return MessageAnswer::Cancel;
    case MessageButtons::AbortRetryIgnore:
        return MessageAnswer::Abort;
    case MessageButtons::Ok:
        break;
    }
    return MessageAnswer::Ok;
}

} // namespace

MessageAnswer messageBox(QWidget* parent, MessageKind kind, MessageButtons buttons,
                         std::string_view text, MessageAnswer defaultAnswer) {
    if (const MessageBoxResponder& answer = responder())
        return answer(kind, buttons, text);
    QMessageBox box(parent);
    box.setIcon(iconOf(kind));
    box.setWindowTitle(QApplication::applicationDisplayName());
    box.setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    std::vector<std::pair<QAbstractButton*, MessageAnswer>> made;
    for (const ButtonSpec& spec : buttonsOf(buttons)) {
        QPushButton* button = box.addButton(QString::fromUtf8(spec.text), spec.role);
        made.emplace_back(button, spec.answer);
        if (spec.answer == defaultAnswer)
            box.setDefaultButton(button);
        if (spec.answer == escapeAnswer(buttons))
            box.setEscapeButton(button);
    }
    box.exec();
    for (const auto& [button, answer] : made) {
        if (box.clickedButton() == button)
            return answer;
    }
    return escapeAnswer(buttons);
}

void showInformation(QWidget* parent, std::string_view text) {
    messageBox(parent, MessageKind::Information, MessageButtons::Ok, text, MessageAnswer::Ok);
}

void showWarning(QWidget* parent, std::string_view text) {
    messageBox(parent, MessageKind::Warning, MessageButtons::Ok, text, MessageAnswer::Ok);
}

void showError(QWidget* parent, std::string_view text) {
    messageBox(parent, MessageKind::Error, MessageButtons::Ok, text, MessageAnswer::Ok);
}

bool askYesNo(QWidget* parent, std::string_view text, bool defaultNo) {
    return messageBox(parent, MessageKind::Question, MessageButtons::YesNo, text,
                      defaultNo ? MessageAnswer::No : MessageAnswer::Yes) == MessageAnswer::Yes;
}

MessageAnswer askYesNoCancel(QWidget* parent, std::string_view text) {
    return messageBox(parent, MessageKind::Question, MessageButtons::YesNoCancel, text,
                      MessageAnswer::Yes);
}

MessageAnswer askOkCancel(QWidget* parent, std::string_view text) {
    return messageBox(parent, MessageKind::Question, MessageButtons::OkCancel, text,
                      MessageAnswer::Ok);
}

MessageAnswer askAbortRetryIgnore(QWidget* parent, std::string_view text) {
    return messageBox(parent, MessageKind::Error, MessageButtons::AbortRetryIgnore, text,
                      MessageAnswer::Retry);
}

MessageBoxResponder setMessageBoxResponder(MessageBoxResponder next) {
    return std::exchange(responder(), std::move(next));
}

ScopedMessageBoxResponder::ScopedMessageBoxResponder(MessageBoxResponder responder)
    : m_previous(setMessageBoxResponder(std::move(responder))) {}

ScopedMessageBoxResponder::~ScopedMessageBoxResponder() {
    setMessageBoxResponder(std::move(m_previous));
}

} // namespace vemra
