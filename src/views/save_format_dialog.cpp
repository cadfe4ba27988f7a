#include "views/save_format_dialog.h"

#include "document/document_options.h"
#include "document/folder_document.h"
#include "document/save_in_format.h"
#include "document/transfer_files.h"
#include "framework/history_combo.h"
#include "framework/message_box.h"
#include "framework/progress_window.h"
#include "framework/wait_cursor.h"
#include "platform/own_file_operations.h"
#include "settings/settings_store.h"
#include "views/dialog_support.h"
#include "views/dialog_transfer_questions.h"
#include "views/same_name_dialog.h"
#include "views/transfer_dialog_options.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <cstdio>
#include <memory>

namespace vemra {
namespace {

constexpr int kHistoryCount = 100;
constexpr int kSpecifiedAngle = 4;

// The scaling methods in the order the page lists them, with their numbers.
struct ScalingChoice {
    int mode;
    const char* text;
};
constexpr ScalingChoice kScalingChoices[] = {
    {0, "通常　（低品質）"},       {1, "最近傍法　（低中品質）"},
    {2, "線形補間法　（高品質）"}, {3, "RGB平均法　（縮小時に美麗）"},
    {10, "自動判定　美麗モード"},
};

QRadioButton* addRadio(QButtonGroup* group, QLayout* layout, const QString& text, int id) {
    auto* button = new QRadioButton(text);
    group->addButton(button, id);
    layout->addWidget(button);
    return button;
}

// The questions of the save command, answered with the program's dialogs.
class DialogSaveQuestions final : public SaveQuestions {
public:
    DialogSaveQuestions(QWidget* parent, FolderDocument& document, SettingsStore& settings)
        : m_parent(parent), m_document(document), m_settings(settings) {}

    SameNameAnswer overwrite(const PictureSource& entry, const std::string& target) override {
        TransferDialogOptions stored = TransferDialogOptions::load(m_settings);
        OverwriteDialog dialog(owner(), entry.fullPath(), target, stored.overWriteOption,
                               m_document.options().autoFileFormat);
        SameNamePane saved;
        saved.sizeLine = QString::fromStdString(entry.fileName);
        saved.pixelLine = QStringLiteral("%1x%2 %3b")
                              .arg(entry.pictureWidth)
                              .arg(entry.pictureHeight)
                              .arg(entry.bitCount);
        dialog.setPanes(saved, paneOf(m_document, target));
        if (dialog.exec() != QDialog::Accepted)
            return {};
        stored.overWriteOption = static_cast<int>(dialog.action());
        stored.save(m_settings);
        return {true, dialog.action(), dialog.applyToAll(), dialog.targetText()};
    }

    bool continueAfterFailure(const std::string& name) override {
        return askYesNo(owner(), name + "\n\nファイルの保存に失敗しました\n\n継続しますか？");
    }

    void beginProgress(int total) override {
        m_progress = std::make_unique<ProgressWindow>(m_parent, "ファイル保存中...");
        m_progress->setRange(0, std::max(total, 1));
        m_progress->setStep(1);
        m_progress->show();
    }
    bool advance(std::string_view name, int done) override {
        m_progress->setText(name);
        m_progress->setPosition(done);
        return m_progress->checkCancelButton();
    }
    void endProgress() override { m_progress.reset(); }

    ProgressCallback reductionProgress(intptr_t& userData) override {
        userData = reinterpret_cast<intptr_t>(this);
        return [](int done, int total, intptr_t user) -> int {
            auto* self = reinterpret_cast<DialogSaveQuestions*>(user);
            if (!self->m_reduction) {
                self->m_reduction = std::make_unique<ProgressWindow>(self->owner(), "減色中...");
                self->m_reduction->setRange(0, std::max(total, 1));
                self->m_reduction->show();
            }
            self->m_reduction->setPosition(done);
            const bool stop = self->m_reduction->checkCancelButton();
            if (done >= total || stop)
                self->m_reduction.reset();
            return stop ? 1 : 0;
        };
    }

private:
    QWidget* owner() const { return m_progress ? m_progress.get() : m_parent; }

    QWidget* m_parent;
    FolderDocument& m_document;
    SettingsStore& m_settings;
    std::unique_ptr<ProgressWindow> m_progress;
    std::unique_ptr<ProgressWindow> m_reduction;
};

} // namespace

int SaveFormatDialog::rotationButtonFor(int angle) {
    switch (angle) {
    case 0:
    case 360:
        return 0;
    case 90:
        return 1;
    case 180:
        return 2;
    case 270:
        return 3;
    default:
        return kSpecifiedAngle;
    }
}

SaveFormatDialog::SaveFormatDialog(QWidget* parent, SettingsStore& settings,
                                   const std::string& currentFolder)
    : QDialog(parent), m_settings(settings), m_current(currentFolder) {
    setWindowTitle(QStringLiteral("画像形式を指定してファイル保存"));
    const SaveFormatOptions o = SaveFormatOptions::load(settings);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("保存先フォルダを指定してください："), this));
    const DestinationRow row = makeDestinationRow(this, settings, kHistoryCount);
    m_combo = row.combo;
    QPushButton* const browse = row.browse;
    QPushButton* const quick = row.quick;
    layout->addLayout(row.layout);

    auto* body = new QHBoxLayout;
    auto* formatColumn = new QVBoxLayout;
    formatColumn->addWidget(new QLabel(QStringLiteral("保存画像形式："), this));
    m_format = new QListWidget(this);
    m_format->setObjectName(QStringLiteral("format"));
    m_format->addItems({QStringLiteral("BMP"), QStringLiteral("JPEG"), QStringLiteral("PNG")});
    m_format->setFixedWidth(110);
    m_format->setCurrentRow(o.format);
    formatColumn->addWidget(m_format, 1);
    body->addLayout(formatColumn);

    m_pages = new QTabWidget(this);
    m_pages->addTab(sizePage(o), QStringLiteral("サイズ"));
    m_pages->addTab(scalingPage(o), QStringLiteral("拡大縮小"));
    m_pages->addTab(rotationPage(o), QStringLiteral("回転"));
    m_pages->addTab(jpegPage(o), QStringLiteral("JPEG"));
    m_pages->addTab(reductionPage(o.bmpQuant == 8, m_bmpQuant), QStringLiteral("BMP"));
    m_pages->addTab(reductionPage(o.pngQuant == 8, m_pngQuant), QStringLiteral("PNG"));
    body->addWidget(m_pages, 1);
    layout->addLayout(body, 1);
    // The page of the chosen format comes first; choosing another format
    // shows its page.
    const int formatPage[] = {4, 3, 5};
    m_pages->setCurrentIndex(formatPage[o.format]);
    connect(m_format, &QListWidget::currentRowChanged, this, [this](int row) {
        const int pages[] = {4, 3, 5};
        if (row >= 0 && row < 3)
            m_pages->setCurrentIndex(pages[row]);
    });

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &SaveFormatDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(browse, &QPushButton::clicked, this, &SaveFormatDialog::chooseFolder);
    connect(quick, &QPushButton::clicked, this, [this, quick] { showQuickAccess(quick); });
}

QWidget* SaveFormatDialog::sizePage(const SaveFormatOptions& o) {
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    m_size = new QButtonGroup(page);
    auto* keep = new QRadioButton(QStringLiteral("サイズ変更しない"), page);
    auto* fit = new QRadioButton(QStringLiteral("サイズを指定する"), page);
    auto* factor = new QRadioButton(QStringLiteral("倍率を指定する"), page);
    m_size->addButton(keep, SaveFormatOptions::KeepSize);
    m_size->addButton(fit, SaveFormatOptions::FitSize);
    m_size->addButton(factor, SaveFormatOptions::Factor);
    m_width = new QSpinBox(page);
    m_height = new QSpinBox(page);
    for (QSpinBox* box : {m_width, m_height}) {
        box->setRange(0, 65535);
        box->setMinimumWidth(80);
    }
    m_width->setValue(o.width);
    m_height->setValue(o.height);
    m_aspect = new QCheckBox(QStringLiteral("縦横比を保持する"), page);
    m_aspect->setChecked(o.aspect);
    m_factor = new QLineEdit(QString::fromStdString(o.scale), page);
    m_factor->setMaximumWidth(80);
    grid->addWidget(keep, 0, 0, 1, 4);
    grid->addWidget(fit, 1, 0, 1, 4);
    grid->addWidget(new QLabel(QStringLiteral("幅"), page), 2, 1);
    grid->addWidget(m_width, 2, 2);
    grid->addWidget(new QLabel(QStringLiteral("高"), page), 3, 1);
    grid->addWidget(m_height, 3, 2);
    grid->addWidget(m_aspect, 4, 1, 1, 3);
    grid->addWidget(factor, 5, 0, 1, 4);
    grid->addWidget(new QLabel(QStringLiteral("X"), page), 6, 1);
    grid->addWidget(m_factor, 6, 2);
    grid->setColumnMinimumWidth(0, 16);
    grid->setRowStretch(7, 1);
    m_size->button(o.sizeMode)->setChecked(true);
    auto enable = [this] {
        const int mode = m_size->checkedId();
        m_width->setEnabled(mode == SaveFormatOptions::FitSize);
        m_height->setEnabled(mode == SaveFormatOptions::FitSize);
        m_aspect->setEnabled(mode == SaveFormatOptions::FitSize);
        m_factor->setEnabled(mode == SaveFormatOptions::Factor);
    };
    enable();
    connect(m_size, &QButtonGroup::idClicked, this, enable);
    return page;
}

QWidget* SaveFormatDialog::scalingPage(const SaveFormatOptions& o) {
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    m_scaling = new QButtonGroup(page);
    for (const ScalingChoice& choice : kScalingChoices) {
        addRadio(m_scaling, column, QString::fromUtf8(choice.text), choice.mode)
            ->setChecked(choice.mode == o.scaleMode);
    }
    m_unsharp = new QCheckBox(QStringLiteral("アンシャープマスクを適用"), page);
    m_unsharp->setChecked(o.unsharp);
    column->addSpacing(8);
    column->addWidget(m_unsharp);
    column->addStretch();
    return page;
}

QWidget* SaveFormatDialog::rotationPage(const SaveFormatOptions& o) {
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    m_rotation = new QButtonGroup(page);
    addRadio(m_rotation, column, QStringLiteral("回転しない"), 0);
    addRadio(m_rotation, column, QStringLiteral("右90° 回転"), 1);
    addRadio(m_rotation, column, QStringLiteral("180°回転"), 2);
    addRadio(m_rotation, column, QStringLiteral("左90° 回転"), 3);
    auto* row = new QHBoxLayout;
    addRadio(m_rotation, row, QStringLiteral("角度指定"), kSpecifiedAngle);
    m_angle = new QSpinBox(page);
    m_angle->setRange(0, 360);
    m_angle->setValue(o.rotateAngle);
    row->addWidget(m_angle);
    row->addStretch();
    column->addLayout(row);
    column->addStretch();
    m_rotation->button(rotationButtonFor(o.rotateAngle))->setChecked(true);
    m_angle->setEnabled(m_rotation->checkedId() == kSpecifiedAngle);
    connect(m_rotation, &QButtonGroup::idClicked, this, [this](int id) {
        const int angles[] = {0, 90, 180, 270};
        if (id >= 0 && id < kSpecifiedAngle)
            m_angle->setValue(angles[id]);
        m_angle->setEnabled(id == kSpecifiedAngle);
    });
    return page;
}

QWidget* SaveFormatDialog::jpegPage(const SaveFormatOptions& o) {
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("JPEG圧縮品質\n（0:低品質～100:高品質）"), page));
    m_quality = new QSpinBox(page);
    m_quality->setRange(0, 100);
    m_quality->setValue(o.jpegQuality);
    row->addWidget(m_quality);
    row->addStretch();
    column->addLayout(row);
    m_progressive = new QCheckBox(QStringLiteral("プログレッシブ"), page);
    m_progressive->setChecked(o.jpegProgressive);
    column->addWidget(m_progressive);
    column->addStretch();
    return page;
}

QWidget* SaveFormatDialog::reductionPage(bool reduce, QCheckBox*& box) {
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    box = new QCheckBox(QStringLiteral("減色 256色"), page);
    box->setChecked(reduce);
    column->addWidget(box);
    column->addStretch();
    return page;
}

SaveFormatOptions SaveFormatDialog::options() const {
    SaveFormatOptions o;
    o.format = std::max(0, m_format->currentRow());
    o.sizeMode = m_size->checkedId();
    o.width = m_width->value();
    o.height = m_height->value();
    o.aspect = m_aspect->isChecked();
    o.scale = m_factor->text().trimmed().toStdString();
    o.scaleMode = m_scaling->checkedId() >= 0 ? m_scaling->checkedId() : 0;
    o.unsharp = m_unsharp->isChecked();
    o.rotateAngle = m_angle->value();
    o.jpegQuality = m_quality->value();
    o.jpegProgressive = m_progressive->isChecked();
    o.bmpQuant = m_bmpQuant->isChecked() ? 8 : 0;
    o.pngQuant = m_pngQuant->isChecked() ? 8 : 0;
    return o;
}

void SaveFormatDialog::chooseFolder() {
    chooseFolderInto(*m_combo, QStringLiteral("保存先を選択してください"), m_current, m_chooser);
}

void SaveFormatDialog::showQuickAccess(QWidget* button) {
    showQuickAccessMenu(button, m_settings, [this](const std::string& folder) {
        m_combo->setEditText(QString::fromStdString(folder));
    });
}

void SaveFormatDialog::accept() {
    const SaveFormatOptions o = options();
    const std::optional<std::string> absolute =
        typedFolder(m_combo->currentText().trimmed().toStdString(), m_current);
    if (!absolute || absolute->empty() || !o.sizeValid())
        return; // stays open
    m_combo->acceptText();
    o.save(m_settings);
    m_destination = *absolute;
    QDialog::accept();
}

int runSaveInFormatCommand(QWidget* parent, FolderDocument& document, SettingsStore& settings,
                           std::span<const int> positions,
                           const std::function<bool(SaveFormatDialog&)>& run) {
    SaveFormatDialog dialog(parent, settings, document.currentFolder());
    const bool accepted = run ? run(dialog) : dialog.exec() == QDialog::Accepted;
    if (!accepted)
        return 0;
    ConversionSettings conversion;
    conversion.options = dialog.options();
    conversion.sharpening = document.options().sharpening();
    conversion.manageColours = document.options().colorManagement;
    DialogSaveQuestions questions(parent, document, settings);
    const OwnFileOperation own;
    const int written =
        saveEntriesInFormat(document, positions, dialog.destination(), conversion, questions);
    if (written > 0)
        document.refreshIfCurrent(dialog.destination());
    return written;
}

} // namespace vemra
