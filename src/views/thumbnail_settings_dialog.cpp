#include "views/thumbnail_settings_dialog.h"

#include "document/caption_font.h"
#include "document/folder_document.h"
#include "document/picture_source.h"
#include "framework/message_box.h"
#include "imaging/picture_qimage.h"
#include "imaging/qcolor_value.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>

namespace vemra {
namespace {

constexpr int kPreviewMargin = 12;
// The caption lines a cell can hold at all: more would leave no picture.
constexpr int kMostCaptionLines = 16;

struct ColourKey {
    const char* key;
    ColourValue DocumentOptions::*member; // null: the grid's colour outside the cells
    const char* text;
};

constexpr ColourKey kColours[] = {
    {"colBackGround", &DocumentOptions::colBackGround, "背景"},
    {"colText", &DocumentOptions::colText, "文字"},
    {"colNormalDraw", &DocumentOptions::colNormalDraw, "文字の下地"},
    {"colArcDraw", &DocumentOptions::colArcDraw, "書庫内の画像の下地"},
    {"colCantDraw", &DocumentOptions::colCantDraw, "表示できない画像の下地"},
    {"colCheck", &DocumentOptions::colCheck, "枠"},
    {"colSelectBackGround", &DocumentOptions::colSelectBackGround, "選択時の背景"},
    {"colSelectText", &DocumentOptions::colSelectText, "選択時の文字"},
    {"colSelectCheck", &DocumentOptions::colSelectCheck, "選択時の下地とフォーカス枠"},
    {"colBackground", nullptr, "セルの外側"},
};

struct Macro {
    const char* text;
    const char* meaning;
};

constexpr Macro kMacros[] = {
    {"$(PicName)", "ファイル名"},
    {"$(FileName)", "拡張子を除いたファイル名"},
    {"$(PicPath)", "フルパス"},
    {"$(PicDir)", "フォルダ"},
    {"$(ArcName)", "書庫名"},
    {"$(W)x$(H)", "幅x高さ"},
    {"$(C)", "色数（ビット）"},
    {"$(Date)", "更新日"},
    {"$(Time)", "更新時刻"},
    {"$(CreateDate)", "作成日"},
    {"$(Length)", "サイズ（単位付き）"},
    {"$(Size)", "サイズ（バイト）"},
    {"$(Info)", "画像情報"},
    {"$(Note)", "メモ"},
    {"$(TodayDate)", "今日の日付"},
    {"$(CP)", "撮影情報（cpdecode）"},
    {"$(ShotDate)", "撮影日"},
    {"$(ShotTime)", "撮影時刻"},
    {"$(Camera)", "カメラ"},
};

QIcon swatch(QColor colour) {
    QPixmap pixmap(28, 14);
    pixmap.fill(colour);
    QPainter painter(&pixmap);
    painter.setPen(Qt::black);
    painter.drawRect(pixmap.rect().adjusted(0, 0, -1, -1));
    return QIcon(pixmap);
}

} // namespace

PictureSource previewEntry(const DocumentOptions& options, QSize cell) {
    PictureSource entry;
    entry.folder = "/";
    entry.fileName = "sample.jpg";
    entry.pictureWidth = 640;
    entry.pictureHeight = 480;
    entry.bitCount = 24;
    entry.length = 123456;
    entry.lastWriteTime = 1700000000;
    entry.infoText = "JPEG";
    entry.appearance = std::make_shared<const EntryAppearance>(options.appearance());
    entry.drawing.frame = options.frame;
    entry.drawing.nameFrame = options.nameFrame;
    entry.drawing.name = options.name;
    QImage image(std::max(8, cell.width() - 8), std::max(6, (cell.width() - 8) * 3 / 4),
                 QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 0, image.height());
    sky.setColorAt(0, QColor(90, 150, 230));
    sky.setColorAt(1, QColor(200, 225, 250));
    painter.fillRect(image.rect(), sky);
    painter.fillRect(QRect(0, image.height() * 2 / 3, image.width(), image.height()),
                     QColor(70, 160, 60));
    painter.setBrush(QColor(250, 210, 60));
    painter.setPen(Qt::NoPen);
    const int sun = std::max(2, image.height() / 4);
    painter.drawEllipse(QRect(image.width() * 2 / 3, image.height() / 8, sun, sun));
    painter.end();
    entry.thumbnail = pictureFromImage(image);
    return entry;
}

const std::vector<std::pair<int, QString>>& ThumbnailSettingsDialog::scaleModes() {
    static const std::vector<std::pair<int, QString>> modes = {
        {0, QStringLiteral("通常　（低品質）")},
        {1, QStringLiteral("最近傍法　（低中品質）")},
        {2, QStringLiteral("線形補間法　（高品質）")},
        {3, QStringLiteral("RGB平均法　（縮小時に美麗）")},
        {10, QStringLiteral("自動判定　美麗モード")},
    };
    return modes;
}

ThumbnailSettingsDialog::ThumbnailSettingsDialog(const DocumentOptions& document,
                                                 const GridOptions& grid, CellRenderer renderer,
                                                 QWidget* parent)
    : QDialog(parent), m_options(document), m_grid(grid), m_renderer(std::move(renderer)) {
    setObjectName(QStringLiteral("thumbnailSettingsDialog"));
    setWindowTitle(QStringLiteral("サムネイル設定"));

    m_preview = new QLabel(this);
    m_preview->setObjectName(QStringLiteral("preview"));
    m_preview->setAlignment(Qt::AlignCenter);
    m_preview->setMinimumSize(200, 200);
    auto* previewBox = new QGroupBox(QStringLiteral("プレビュー"), this);
    auto* previewLayout = new QVBoxLayout(previewBox);
    previewLayout->addWidget(m_preview, 1);

    auto* buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    connect(m_ok, &QPushButton::clicked, this, &ThumbnailSettingsDialog::onOk);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* columns = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(buildSizeAndCaptions());
    left->addWidget(buildDrawing());
    columns->addLayout(left, 3);
    auto* right = new QVBoxLayout;
    right->addWidget(buildColours());
    right->addWidget(previewBox, 1);
    columns->addLayout(right, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(buttons);
    refreshSwatches();
    updatePreview();
}

QCheckBox* ThumbnailSettingsDialog::addCheck(QWidget* page, const char* key, const QString& text,
                                             bool on) {
    auto* box = new QCheckBox(text, page);
    box->setObjectName(QString::fromLatin1(key));
    box->setChecked(on);
    page->layout()->addWidget(box);
    connect(box, &QCheckBox::toggled, this, &ThumbnailSettingsDialog::updatePreview);
    return box;
}

QCheckBox* ThumbnailSettingsDialog::check(const char* key) const {
    return findChild<QCheckBox*>(QString::fromLatin1(key));
}

QWidget* ThumbnailSettingsDialog::buildSizeAndCaptions() {
    auto* box = new QGroupBox(QStringLiteral("サイズと表示文字列"), this);
    auto* form = new QFormLayout(box);
    const IntPair limit = m_options.thumbsLimitSize;
    m_width = new QSpinBox(box);
    m_width->setRange(limit.first, DocumentOptions::kMaxThumbnailSide);
    m_width->setValue(m_options.thumbsSize.first);
    m_height = new QSpinBox(box);
    m_height->setRange(limit.second, DocumentOptions::kMaxThumbnailSide);
    m_height->setValue(m_options.thumbsSize.second);
    auto* size = new QHBoxLayout;
    size->addWidget(m_width);
    size->addWidget(new QLabel(QStringLiteral("x"), box));
    size->addWidget(m_height);
    size->addStretch();
    form->addRow(QStringLiteral("セルの大きさ:"), size);
    connect(m_width, &QSpinBox::valueChanged, this, &ThumbnailSettingsDialog::updatePreview);
    connect(m_height, &QSpinBox::valueChanged, this, &ThumbnailSettingsDialog::updatePreview);

    m_captions = new QPlainTextEdit(box);
    m_captions->setObjectName(QStringLiteral("captionLines"));
    QStringList lines;
    for (const std::string& line : m_options.captionLines)
        lines << QString::fromStdString(line);
    m_captions->setPlainText(lines.join(QLatin1Char('\n')));
    m_captions->setFixedHeight(m_captions->fontMetrics().lineSpacing() * 4 + 12);
    connect(m_captions, &QPlainTextEdit::textChanged, this,
            &ThumbnailSettingsDialog::updatePreview);
    m_macros = new QPushButton(QStringLiteral("マクロ(&M) ▼"), box);
    auto* menu = new QMenu(m_macros);
    for (const Macro& macro : kMacros) {
        const QString text = QString::fromUtf8(macro.text);
        menu->addAction(text + QStringLiteral("\t") + QString::fromUtf8(macro.meaning), this,
                        [this, text] { m_captions->insertPlainText(text); });
    }
    m_macros->setMenu(menu);
    auto* captionColumn = new QVBoxLayout;
    captionColumn->addWidget(m_captions);
    auto* captionHint = new QHBoxLayout;
    captionHint->addWidget(new QLabel(QStringLiteral("1行が表示文字列の1行になります"), box), 1);
    captionHint->addWidget(m_macros);
    captionColumn->addLayout(captionHint);
    form->addRow(QStringLiteral("表示文字列:"), captionColumn);

    m_fontName = new QLabel(box);
    auto* fontButton = new QPushButton(QStringLiteral("フォント(&F)..."), box);
    connect(fontButton, &QPushButton::clicked, this, &ThumbnailSettingsDialog::chooseFont);
    auto* font = new QHBoxLayout;
    font->addWidget(m_fontName, 1);
    font->addWidget(fontButton);
    form->addRow(QStringLiteral("文字のフォント:"), font);
    return box;
}

QWidget* ThumbnailSettingsDialog::buildDrawing() {
    auto* box = new QGroupBox(QStringLiteral("描画"), this);
    auto* layout = new QVBoxLayout(box);
    addCheck(box, "Name", QStringLiteral("表示文字列を表示する(&T)"), m_options.name);
    addCheck(box, "NameFrame", QStringLiteral("表示文字列に枠を付ける(&R)"), m_options.nameFrame);
    addCheck(box, "Frame", QStringLiteral("セルに枠を付ける(&E)"), m_options.frame);
    m_scaleMode = new QComboBox(box);
    int current = 0;
    for (const auto& [value, text] : scaleModes()) {
        if (value == m_options.scaleMode)
            current = m_scaleMode->count();
        m_scaleMode->addItem(text, value);
    }
    m_scaleMode->setCurrentIndex(current);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("縮小方法(&Z):"), m_scaleMode);
    layout->addLayout(form);
    addCheck(box, "Unsharp", QStringLiteral("サムネイルをシャープにする(&U)"), m_options.unsharp);
    addCheck(box, "LimitCheck", QStringLiteral("小さい画像は拡大しない(&L)"), m_options.limitCheck);
    addCheck(box, "ThumbsCreate", QStringLiteral("空き時間にサムネイル作成をする(&I)"),
             m_options.thumbsCreate);
    // Where the work runs and how much memory thumbnails may hold.
    m_workers = new QSpinBox(box);
    m_workers->setObjectName(QStringLiteral("ThumbWorkers"));
    m_workers->setRange(0, DocumentOptions::kMaxThumbWorkers);
    m_workers->setSpecialValueText(QStringLiteral("自動"));
    m_workers->setValue(m_options.thumbWorkers);
    m_memory = new QSpinBox(box);
    m_memory->setObjectName(QStringLiteral("ThumbMemoryMB"));
    m_memory->setRange(DocumentOptions::kMinThumbMemoryMB, DocumentOptions::kMaxThumbMemoryMB);
    m_memory->setSuffix(QStringLiteral(" MB"));
    m_memory->setValue(m_options.thumbMemoryMB);
    form->addRow(QStringLiteral("作成スレッド数(&W):"), m_workers);
    form->addRow(QStringLiteral("サムネイル用メモリ(&M):"), m_memory);
    return box;
}

QWidget* ThumbnailSettingsDialog::buildColours() {
    auto* box = new QGroupBox(QStringLiteral("色"), this);
    auto* grid = new QGridLayout(box);
    int row = 0;
    for (const ColourKey& c : kColours) {
        auto* button = new QPushButton(QString::fromUtf8(c.text), box);
        button->setObjectName(QString::fromLatin1(c.key));
        button->setStyleSheet(QStringLiteral("text-align: left; padding: 2px 6px;"));
        const char* key = c.key;
        connect(button, &QPushButton::clicked, this, [this, key] { chooseColour(key); });
        grid->addWidget(button, row / 2, row % 2);
        ++row;
    }
    return box;
}

void ThumbnailSettingsDialog::refreshSwatches() {
    for (const ColourKey& c : kColours) {
        auto* button = findChild<QPushButton*>(QString::fromLatin1(c.key));
        QColor colour;
        if (c.member != nullptr)
            colour = toQColor(m_options.*(c.member));
        else
            colour = m_grid.colBackground ? toQColor(*m_grid.colBackground)
                                          : palette().color(QPalette::Button);
        button->setIcon(swatch(colour));
    }
    const QFont font = captionFont(m_options);
    m_fontName->setText(QStringLiteral("%1  %2px%3")
                            .arg(font.family())
                            .arg(std::abs(m_options.fontHeight))
                            .arg(m_options.fontItalic ? QStringLiteral(" 斜体") : QString()));
}

void ThumbnailSettingsDialog::setColour(const char* key, QColor colour) {
    if (!colour.isValid())
        return;
    for (const ColourKey& c : kColours) {
        if (std::string_view(c.key) != key)
            continue;
        if (c.member != nullptr)
            m_options.*(c.member) = fromQColor(colour);
        else
            m_grid.colBackground = fromQColor(colour);
    }
    refreshSwatches();
    updatePreview();
}

void ThumbnailSettingsDialog::chooseColour(const char* key) {
    QColor initial;
    for (const ColourKey& c : kColours)
        if (std::string_view(c.key) == key)
            initial = c.member != nullptr    ? toQColor(m_options.*(c.member))
                      : m_grid.colBackground ? toQColor(*m_grid.colBackground)
                                             : palette().color(QPalette::Button);
    const QColor chosen = QColorDialog::getColor(initial, this, QStringLiteral("色の設定"));
    setColour(key, chosen);
}

void ThumbnailSettingsDialog::setCaptionFont(const QFont& font) {
    m_options.fontFaceName = font.family().toStdString();
    int pixels = font.pixelSize();
    if (pixels <= 0)
        pixels = static_cast<int>(std::lround(font.pointSizeF() * 96.0 / 72.0));
    m_options.fontHeight = -std::clamp(pixels, 1, 1000);
    m_options.fontWidth = 0;
    m_options.fontItalic = font.italic();
    m_options.fontWeight = font.weight() == QFont::Normal ? 0 : static_cast<int>(font.weight());
    refreshSwatches();
    updatePreview();
}

void ThumbnailSettingsDialog::chooseFont() {
    bool ok = false;
    const QFont chosen =
        QFontDialog::getFont(&ok, captionFont(m_options), this, QStringLiteral("文字のフォント"));
    if (ok)
        setCaptionFont(chosen);
}

DocumentOptions ThumbnailSettingsDialog::documentOptions() const {
    DocumentOptions o = m_options;
    o.thumbsSize = {m_width->value(), m_height->value()};
    o.captionLines.clear();
    const QStringList lines = m_captions->toPlainText().split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        // Lines are stored as quoted fields: a double quote cannot be kept.
        QString text = line;
        text.remove(QLatin1Char('"'));
        if (!text.trimmed().isEmpty() &&
            o.captionLines.size() < static_cast<std::size_t>(kMostCaptionLines))
            o.captionLines.push_back(text.toStdString());
    }
    o.name = check("Name")->isChecked();
    o.nameFrame = check("NameFrame")->isChecked();
    o.frame = check("Frame")->isChecked();
    o.scaleMode = m_scaleMode->currentData().toInt();
    o.unsharp = check("Unsharp")->isChecked();
    o.limitCheck = check("LimitCheck")->isChecked();
    o.thumbsCreate = check("ThumbsCreate")->isChecked();
    o.thumbWorkers = m_workers->value();
    o.thumbMemoryMB = m_memory->value();
    return o;
}

std::optional<QString> ThumbnailSettingsDialog::refusal(const DocumentOptions& o) {
    if (o.name && o.captionLines.empty())
        return QStringLiteral("表示文字列を1行以上入力してください");
    return std::nullopt;
}

void ThumbnailSettingsDialog::updatePreview() {
    if (m_renderer == nullptr || m_preview == nullptr || m_width == nullptr ||
        m_captions == nullptr || m_scaleMode == nullptr || check("ThumbsCreate") == nullptr)
        return; // still being built
    const DocumentOptions o = documentOptions();
    const QSize cell(o.thumbsSize.first, o.thumbsSize.second);
    const QImage image = m_renderer(o, cell);
    // The cell on the grid's outside colour with a margin, scaled down only
    // when it would not fit the preview.
    QImage shown(cell + QSize(2 * kPreviewMargin, 2 * kPreviewMargin), QImage::Format_RGB32);
    shown.fill(m_grid.colBackground ? toQColor(*m_grid.colBackground)
                                    : palette().color(QPalette::Button));
    QPainter painter(&shown);
    painter.drawImage(kPreviewMargin, kPreviewMargin, image);
    painter.end();
    const QSize room = m_preview->size().expandedTo(QSize(200, 200));
    if (shown.width() > room.width() || shown.height() > room.height())
        shown = shown.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    m_preview->setPixmap(QPixmap::fromImage(shown));
}

void ThumbnailSettingsDialog::onOk() {
    if (const auto why = refusal(documentOptions())) {
        showWarning(this, why->toStdString());
        return;
    }
    accept();
}

} // namespace vemra
