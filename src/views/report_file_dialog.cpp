#include "views/report_file_dialog.h"

#include "document/report_file.h"
#include "framework/history_combo.h"
#include "views/dialog_support.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <filesystem>

namespace vemra {
namespace {

constexpr int kHistorySize = 100;
constexpr const char* kFilter = "TEXT形式(*.txt)";
constexpr const char* kPattern = "*.txt";

struct MacroItem {
    const char* text;
    const char* macro;
};
constexpr MacroItem kMacros[] = {
    {"パス名", "$(PicPath)"},
    {"フォルダ名", "$(PicDir)"},
    {"ファイル名", "$(PicName)"},
    {"ファイルサイズ(単位)", "$(Length)"},
    {"ファイルサイズ", "$(Size)"},
    {"年月日", "$(Date)"},
    {"時間", "$(Time)"},
    {"画像幅", "$(Width)"},
    {"画像高さ", "$(Height)"},
    {"色数ビット", "$(Color)"},
    {"画像情報", "$(Info)"},
    {"コメント", "$(Note)"},
    {"書庫ファイル名", "$(ArcName)"},
    {"撮影日", "$(ShotDate)"},
    {"撮影時刻", "$(ShotTime)"},
    {"カメラ", "$(Camera)"},
};

} // namespace

ReportFileDialog::ReportFileDialog(SettingsStore& store, const std::string& folder, QWidget* parent)
    : QDialog(parent), m_store(store), m_folder(folder) {
    setWindowTitle(QStringLiteral("レポートファイルの作成"));
    m_file = new QLineEdit(
        QString::fromStdString((std::filesystem::path(folder) / "report.txt").string()), this);
    auto* browseButton = new QPushButton(QStringLiteral("..."), this);
    connect(browseButton, &QPushButton::clicked, this, &ReportFileDialog::browse);

    m_formatCombo = new HistoryCombo(this);
    m_formatCombo->bind(store, "ReportFile", "%d", kHistorySize);
    m_formatCombo->setMinimumContentsLength(40);
    QLineEdit* edit = m_formatCombo->lineEdit();
    connect(edit, &QLineEdit::selectionChanged, this, &ReportFileDialog::rememberSelection);
    connect(edit, &QLineEdit::cursorPositionChanged, this, &ReportFileDialog::rememberSelection);
    connect(edit, &QLineEdit::textChanged, this, &ReportFileDialog::rememberSelection);
    rememberSelection();

    m_menu = new QMenu(this);
    for (const MacroItem& item : kMacros) {
        const QString macro = QString::fromUtf8(item.macro);
        m_menu->addAction(QString::fromUtf8(item.text), this,
                          [this, macro] { insertMacro(macro); });
    }
    m_macroButton = new QToolButton(this);
    m_macroButton->setText(QStringLiteral(">"));
    m_macroButton->setMenu(m_menu);
    m_macroButton->setPopupMode(QToolButton::InstantPopup);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("ファイル名："), this), 0, 0);
    grid->addWidget(m_file, 0, 1);
    grid->addWidget(browseButton, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("レポート形式:"), this), 1, 0);
    grid->addWidget(m_formatCombo, 1, 1);
    grid->addWidget(m_macroButton, 1, 2);
    grid->setColumnStretch(1, 1);
    layOutDialog(*this, grid, QStringLiteral("保存"));
    setMinimumWidth(600);
}

// The edit loses its selection when the focus goes to the macro button, so
// the selection is noted while the edit has it.
void ReportFileDialog::rememberSelection() {
    const QLineEdit* edit = m_formatCombo->lineEdit();
    if (edit->hasSelectedText()) {
        m_selectionStart = edit->selectionStart();
        m_selectionLength = static_cast<int>(edit->selectedText().size());
    } else {
        m_selectionStart = edit->cursorPosition();
        m_selectionLength = 0;
    }
}

void ReportFileDialog::insertMacro(const QString& macro) {
    QLineEdit* edit = m_formatCombo->lineEdit();
    QString text = edit->text();
    const int start = std::clamp(m_selectionStart, 0, static_cast<int>(text.size()));
    const int length = std::clamp(m_selectionLength, 0, static_cast<int>(text.size()) - start);
    text.replace(start, length, macro);
    edit->setText(text);
    edit->setCursorPosition(start + static_cast<int>(macro.size()));
    rememberSelection();
    m_formatCombo->setFocus();
}

void ReportFileDialog::browse() {
    const QString chosen = QFileDialog::getSaveFileName(
        this, QStringLiteral("レポートファイルの作成"), m_file->text(), QString::fromUtf8(kFilter));
    if (!chosen.isEmpty())
        m_file->setText(chosen);
}

void ReportFileDialog::accept() {
    const std::string typed = m_file->text().trimmed().toStdString();
    if (typed.empty() || std::filesystem::path(typed).filename().empty())
        return;
    m_path = absoluteFolder(withFilterExtension(typed, kPattern), m_folder);
    m_format = m_formatCombo->acceptText();
    QDialog::accept();
}

} // namespace vemra
