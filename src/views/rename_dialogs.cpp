#include "views/rename_dialogs.h"

#include "document/folder_document.h"
#include "document/rename_entry.h"
#include "framework/message_box.h"
#include "framework/update_hint.h"
#include "platform/file_status.h"
#include "platform/own_file_operations.h"
#include "views/note_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace vemra {
namespace {

constexpr int kPictureSide = 120;

// The plain files at `positions` that exist, in display order.
std::vector<int> renamablePositions(FolderDocument& document, std::span<const int> positions) {
    std::vector<int> ordered(positions.begin(), positions.end());
    std::sort(ordered.begin(), ordered.end());
    ordered.erase(std::unique(ordered.begin(), ordered.end()), ordered.end());
    std::erase_if(ordered, [&](int position) {
        const PictureSource* entry = document.entryAt(position);
        return entry == nullptr || entry->isArchiveMember() || !isExistingFile(entry->fullPath());
    });
    return ordered;
}

} // namespace

RenameDialog::RenameDialog(QWidget* parent, const std::string& name, const QImage& picture,
                           bool more)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("名前の変更"));
    auto* layout = new QHBoxLayout(this);
    auto* frame = new QLabel(this);
    frame->setObjectName(QStringLiteral("picture"));
    frame->setFixedSize(kPictureSide + 4, kPictureSide + 4);
    frame->setFrameShape(QFrame::Panel);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setAlignment(Qt::AlignCenter);
    if (!picture.isNull()) {
        frame->setPixmap(
            QPixmap::fromImage(picture.width() > kPictureSide || picture.height() > kPictureSide
                                   ? picture.scaled(kPictureSide, kPictureSide, Qt::KeepAspectRatio,
                                                    Qt::SmoothTransformation)
                                   : picture));
    }
    layout->addWidget(frame);

    auto* right = new QVBoxLayout;
    const QString shown = QString::fromStdString(name);
    auto* prompt =
        new QLabel(QStringLiteral("'%1'の新しい名前を指定してください").arg(shown), this);
    prompt->setObjectName(QStringLiteral("prompt"));
    prompt->setWordWrap(true);
    right->addWidget(prompt);
    m_edit = new QLineEdit(shown, this);
    m_edit->setObjectName(QStringLiteral("name"));
    m_edit->setMinimumWidth(320);
    // The name without its extension is what one usually retypes.
    const qsizetype dot = shown.lastIndexOf(QLatin1Char('.'));
    m_edit->setSelection(0, dot > 0 ? dot : shown.size());
    right->addWidget(m_edit);
    right->addStretch();

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    QPushButton* skip =
        buttons->addButton(more ? QStringLiteral("スキップ") : QStringLiteral("キャンセル"),
                           QDialogButtonBox::RejectRole);
    skip->setObjectName(QStringLiteral("skip"));
    connect(ok, &QPushButton::clicked, this, &RenameDialog::pressOk);
    connect(skip, &QPushButton::clicked, this, &RenameDialog::pressSkip);
    if (more) {
        QPushButton* stop =
            buttons->addButton(QStringLiteral("中止"), QDialogButtonBox::DestructiveRole);
        stop->setObjectName(QStringLiteral("stop"));
        connect(stop, &QPushButton::clicked, this, &RenameDialog::pressStop);
    }
    right->addWidget(buttons);
    layout->addLayout(right, 1);
    m_edit->setFocus();
}

std::string RenameDialog::newName() const {
    return m_edit->text().toStdString();
}

void RenameDialog::pressOk() {
    // An empty name is no answer: the dialog waits for one.
    if (m_edit->text().isEmpty())
        return;
    m_outcome = Renamed;
    accept();
}

void RenameDialog::pressSkip() {
    m_outcome = Skipped;
    reject();
}

void RenameDialog::pressStop() {
    m_outcome = Stopped;
    reject();
}

std::vector<std::string> serialRenameHelpLines() {
    std::vector<std::string> lines = {
        "",
        "連番変更したい位置に\"##\"を指定します",
        "#と#の間に数値を指定すると桁数指定になります",
        "",
        "",
        "\"#3#\"とすると001,002,003...の様に名前変更されます",
        "ex. AAA#3#.JPG",
        "AAA001.JPG, AAA002.JPG...",
        "",
        "",
        "ファイル日付で名前変更",
        "",
        "%a  曜日の省略名",
        "%A  曜日の正式名",
        "%b  月の省略名",
        "%B  月の正式名",
        "%c  ロケールに応じた日付と時間の表現",
        "%d  10進数で表す月の日付 (01～31)",
        "%H  24時間表記の時間 (00～23)",
        "%I  12時間表記の時間 (01～12)",
        "%j  10進数で表す年頭からの日数 (001～366)",
        "%m  10進数で表す月 (01～12)",
        "%M  10進数で表す分 (00～59)",
        "%p  現在のロケールの AM/PM",
        "%S  10進数で表す秒 (00～59)",
        "%U  10進数で表す週の通し番号。日曜日を週の最初の日とする (00～53)",
        "%w  10進数で表す曜日。日曜日を 0 とする (0～6)",
        "%W  10進数で表す週の通し番号。月曜日を週の最初の日とする (00～53)",
        "%x  現在のロケールの日付表示",
        "%X  現在のロケールの時刻表示",
        "%y  10進数で表す西暦の下 2 桁 (00～99)",
        "%Y  10進数で表す 4 桁の西暦",
        "%z %Z 時間帯の名前またはその省略名",
        "%%  パーセント記号",
    };
    return lines;
}

SerialRenameDialog::SerialRenameDialog(QWidget* parent, SettingsStore& settings)
    : QDialog(parent), m_settings(settings), m_history(SerialRenameSettings::load(settings)) {
    setWindowTitle(QStringLiteral("連番で名前変更"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("下記の形式で連番にて名前変更をします"), this));

    auto* form = new QHBoxLayout;
    form->addWidget(new QLabel(QStringLiteral("連番ファイル名形式："), this));
    m_format = new QComboBox(this);
    m_format->setObjectName(QStringLiteral("format"));
    m_format->setEditable(true);
    m_format->setInsertPolicy(QComboBox::NoInsert);
    m_format->setMinimumWidth(240);
    for (const std::string& format : m_history.formats)
        m_format->addItem(QString::fromStdString(format));
    if (m_format->count() > 0)
        m_format->setCurrentIndex(0);
    form->addWidget(m_format, 1);
    layout->addLayout(form);

    auto* start = new QHBoxLayout;
    start->addWidget(new QLabel(QStringLiteral("連番開始番号："), this));
    m_first = new QSpinBox(this);
    m_first->setObjectName(QStringLiteral("first"));
    m_first->setRange(0, 10000);
    m_first->setValue(std::clamp(m_history.firstNumber, 0, 10000));
    start->addWidget(m_first);
    start->addStretch();
    layout->addLayout(start);

    auto* group = new QGroupBox(QStringLiteral("補足説明"), this);
    auto* groupLayout = new QVBoxLayout(group);
    m_help = new QListWidget(group);
    m_help->setObjectName(QStringLiteral("help"));
    m_help->setSelectionMode(QAbstractItemView::NoSelection);
    m_help->setFocusPolicy(Qt::NoFocus);
    for (const std::string& line : serialRenameHelpLines())
        m_help->addItem(QString::fromStdString(line));
    m_help->setMinimumSize(420, 200);
    groupLayout->addWidget(m_help);
    layout->addWidget(group, 1);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    connect(ok, &QPushButton::clicked, this, [this] { tryAccept(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    m_format->setFocus();
}

std::string SerialRenameDialog::format() const {
    return m_format->currentText().toStdString();
}

int SerialRenameDialog::firstNumber() const {
    return m_first->value();
}

bool SerialRenameDialog::tryAccept() {
    const std::string text = format();
    if (!isSerialRenameFormatValid(text)) {
        showWarning(this, "連番ファイル名形式が正しくありません");
        return false;
    }
    m_history.accept(m_settings, text, firstNumber());
    accept();
    return true;
}

void showReportList(QWidget* parent, const std::vector<std::string>& lines) {
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Report"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* list = new QListWidget(&dialog);
    for (const std::string& line : lines)
        list->addItem(QString::fromStdString(line));
    list->setMinimumSize(480, 240);
    layout->addWidget(list, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    layout->addWidget(buttons);
    dialog.exec();
}

int runRenameCommand(QWidget* parent, FolderDocument& document, std::span<const int> positions,
                     DocumentView* sender, const std::function<void(RenameDialog&)>& run) {
    const std::vector<int> list = renamablePositions(document, positions);
    int renamed = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const int position = list[i];
        PictureSource* entry = document.entryAt(position);
        if (entry == nullptr)
            continue;
        const std::string path = entry->fullPath();
        RenameDialog dialog(parent, entry->fileName, thumbnailOf(document, *entry),
                            i + 1 < list.size());
        if (run)
            run(dialog);
        else
            dialog.exec();
        if (dialog.outcome() == RenameDialog::Stopped)
            break;
        if (dialog.outcome() == RenameDialog::Skipped)
            continue;
        // The dialog's event loop may have changed the list: only the same
        // picture is renamed.
        entry = document.entryAt(position);
        const OwnFileOperation own;
        if (entry == nullptr || entry->fullPath() != path ||
            renameEntry(document, position, dialog.newName()) != 0) {
            showWarning(parent, "名前の変更に失敗しました");
            continue;
        }
        document.updateAllViews(sender, hint::RedrawEntry{position});
        ++renamed;
    }
    return renamed;
}

int runSerialRenameCommand(QWidget* parent, FolderDocument& document, SettingsStore& settings,
                           std::span<const int> positions, DocumentView* sender,
                           const std::function<bool(SerialRenameDialog&)>& run,
                           const std::function<void(const std::vector<std::string>&)>& report) {
    SerialRenameDialog dialog(parent, settings);
    const bool accepted = run ? run(dialog) : dialog.exec() == QDialog::Accepted;
    if (!accepted)
        return 0;
    const std::vector<int> list = renamablePositions(document, positions);
    SerialNamer namer(dialog.format(), dialog.firstNumber());
    SerialRenameResult result;
    {
        const OwnFileOperation own;
        result = serialRenameEntries(document, list, namer, sender);
    }
    if (!result.failures.empty()) {
        if (report)
            report(result.failures);
        else
            showReportList(parent, result.failures);
    }
    return result.renamed;
}

} // namespace vemra
