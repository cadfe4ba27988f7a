#include "framework/message_box.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vemra {
namespace {

// Presses the button of the next box that reads `text` (nothing pressed:
// Escape) once it is open, and records what the box offered.
struct BoxPresser {
    explicit BoxPresser(QString press) : text(std::move(press)) {}

    QString text;
    QStringList offered;
    QString boxText;

    void arm() {
        QTimer::singleShot(0, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return arm();
            boxText = box->text();
            QAbstractButton* chosen = nullptr;
            for (QAbstractButton* b : box->buttons()) {
                offered << b->text();
                if (b->text() == text)
                    chosen = b;
            }
            if (chosen)
                chosen->click();
            else
                box->reject();
        });
    }
};

TEST(MessageBox, TheRealBoxOffersJapaneseButtons) {
    BoxPresser presser{QString("いいえ(&N)")};
    presser.arm();
    EXPECT_FALSE(askYesNo(nullptr, "選択データを削除してもよろしいですか？"));
    EXPECT_EQ(presser.offered, (QStringList{"はい(&Y)", "いいえ(&N)"}));
    EXPECT_EQ(presser.boxText, QString("選択データを削除してもよろしいですか？"));

    BoxPresser yes{QString("はい(&Y)")};
    yes.arm();
    EXPECT_TRUE(askYesNo(nullptr, "?"));

    BoxPresser cancel(QString("キャンセル"));
    cancel.arm();
    EXPECT_EQ(askYesNoCancel(nullptr, "?"), MessageAnswer::Cancel);
    EXPECT_EQ(cancel.offered.size(), 3);

    BoxPresser escape{QString()}; // closed without a button
    escape.arm();
    EXPECT_EQ(askYesNoCancel(nullptr, "?"), MessageAnswer::Cancel);
    BoxPresser escapeYesNo{QString()};
    escapeYesNo.arm();
    EXPECT_FALSE(askYesNo(nullptr, "?"));

    BoxPresser ok(QString("OK"));
    ok.arm();
    showWarning(nullptr, "ファイルの保存に失敗しました");
    EXPECT_EQ(ok.offered, QStringList{"OK"});
}

TEST(MessageBox, AResponderAnswersInsteadOfABox) {
    std::vector<std::string> texts;
    std::vector<MessageKind> kinds;
    std::vector<MessageButtons> buttonSets;
    {
        ScopedMessageBoxResponder responder(
            [&](MessageKind kind, MessageButtons buttons, std::string_view text) {
                texts.emplace_back(text);
                kinds.push_back(kind);
                buttonSets.push_back(buttons);
                return MessageAnswer::Cancel;
            });
        EXPECT_EQ(askOkCancel(nullptr, "続けますか"), MessageAnswer::Cancel);
        showError(nullptr, "移動に失敗しました");
        {
            ScopedMessageBoxResponder inner(
                [](MessageKind, MessageButtons, std::string_view) { return MessageAnswer::Yes; });
            EXPECT_TRUE(askYesNo(nullptr, "inner"));
        }
        showInformation(nullptr, "outer again"); // the outer responder is back
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"続けますか", "移動に失敗しました", "outer again"}));
    EXPECT_EQ(kinds, (std::vector<MessageKind>{MessageKind::Question, MessageKind::Error,
                                               MessageKind::Information}));
    EXPECT_EQ(buttonSets, (std::vector<MessageButtons>{MessageButtons::OkCancel, MessageButtons::Ok,
                                                       MessageButtons::Ok}));
}

} // namespace
} // namespace vemra
