#include "views/wallpaper_dialog.h"

#include "framework/message_box.h"
#include "framework/wait_cursor.h"
#include "imaging/picture_qimage.h"
#include "imaging/scaling.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace vemra {
namespace {

constexpr int kBoxWidth = 256;
constexpr int kBoxHeight = 192;

struct Level {
    const char* label;
    int limit;
};
constexpr std::array<Level, 4> kLevels{
    {{"輝度調節", 100}, {"赤の調節", 255}, {"緑の調節", 255}, {"青の調節", 255}}};

// The box shrunk in one direction to the screen's proportions, centred
// where it was.
QRect proportionalBox(QSize screen) {
    QRect box(0, 0, kBoxWidth, kBoxHeight);
    if (screen.width() <= 0 || screen.height() <= 0)
        return box;
    const double screenRatio = static_cast<double>(screen.width()) / screen.height();
    if (screenRatio > static_cast<double>(kBoxWidth) / kBoxHeight) {
        const int h = std::max(1, static_cast<int>(kBoxWidth / screenRatio));
        box = QRect(0, (kBoxHeight - h) / 2, kBoxWidth, h);
    } else {
        const int w = std::max(1, static_cast<int>(kBoxHeight * screenRatio));
        box = QRect((kBoxWidth - w) / 2, 0, w, kBoxHeight);
    }
    return box;
}

} // namespace

WallpaperDialog::WallpaperDialog(SettingsStore& store, const PictureBuffer& picture, QSize screen,
                                 QWidget* parent)
    : QDialog(parent), m_store(store), m_picture(picture), m_screen(screen),
      m_stored(WallpaperOptions::load(store)), m_folder(wallpaperFolder()) {
    setWindowTitle(QStringLiteral("壁紙設定"));
    m_box = proportionalBox(screen);
    // The preview never needs more pixels than its box holds.
    const QSize fit = QSize(picture.width(), picture.height())
                          .scaled(m_box.size(), Qt::KeepAspectRatio)
                          .expandedTo(QSize(1, 1));
    m_small = picture.width() > fit.width()
                  ? scalePicture(picture, fit.width(), fit.height(), 0, ScaleMode::Automatic)
                  : picture.duplicate();

    m_previewLabel = new QLabel(this);
    m_previewLabel->setFixedSize(kBoxWidth, kBoxHeight);
    m_previewLabel->setFrameShape(QFrame::NoFrame);

    auto* levels = new QGridLayout;
    const int values[] = {m_stored.bright, m_stored.red, m_stored.green, m_stored.blue};
    for (std::size_t i = 0; i < kLevels.size(); ++i) {
        auto* number = new QSpinBox(this);
        number->setRange(-kLevels[i].limit, kLevels[i].limit);
        auto* slider = new QSlider(Qt::Horizontal, this);
        slider->setRange(-kLevels[i].limit, kLevels[i].limit);
        slider->setPageStep(10);
        number->setValue(values[i]);
        slider->setValue(values[i]);
        connect(slider, &QSlider::valueChanged, number, &QSpinBox::setValue);
        connect(number, &QSpinBox::valueChanged, slider, &QSlider::setValue);
        connect(number, &QSpinBox::valueChanged, this, &WallpaperDialog::changed);
        const int row = static_cast<int>(i);
        levels->addWidget(new QLabel(QString::fromUtf8(kLevels[i].label), this), row, 0);
        levels->addWidget(number, row, 1);
        levels->addWidget(slider, row, 2);
        m_numbers[i] = number;
        m_sliders[i] = slider;
    }
    levels->setColumnMinimumWidth(2, 200);

    m_placement = new QComboBox(this);
    m_placement->addItems({QStringLiteral("中央に表示"), QStringLiteral("並べて表示"),
                           QStringLiteral("拡大"), QStringLiteral("拡大(画像比固定)")});
    m_placement->setCurrentIndex(m_stored.mode);
    connect(m_placement, &QComboBox::currentIndexChanged, this, &WallpaperDialog::changed);
    auto* placementLabel = new QLabel(QStringLiteral("表示位置(&D):"), this);
    placementLabel->setBuddy(m_placement);
    m_previewCheck = new QCheckBox(QStringLiteral("プレビュー"), this);
    m_previewCheck->setChecked(m_stored.preview);
    connect(m_previewCheck, &QCheckBox::toggled, this, &WallpaperDialog::changed);

    auto* run = new QPushButton(QStringLiteral("実行"), this);
    auto* close = new QPushButton(QStringLiteral("閉じる"), this);
    auto* resetButton = new QPushButton(QStringLiteral("リセット"), this);
    run->setDefault(true);
    connect(run, &QPushButton::clicked, this, [this] { apply(); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(resetButton, &QPushButton::clicked, this, &WallpaperDialog::reset);

    auto* placementRow = new QHBoxLayout;
    placementRow->addWidget(placementLabel);
    placementRow->addWidget(m_placement, 1);
    placementRow->addWidget(m_previewCheck);
    auto* right = new QVBoxLayout;
    right->addLayout(levels);
    right->addLayout(placementRow);
    right->addStretch(1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(run);
    buttons->addWidget(close);
    buttons->addWidget(resetButton);
    buttons->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_previewLabel, 0, Qt::AlignTop);
    layout->addLayout(right, 1);
    layout->addLayout(buttons);

    // The first preview is drawn whether or not it follows the changes.
    drawPreview();
}

WallpaperOptions WallpaperDialog::options() const {
    WallpaperOptions o = m_stored;
    o.mode = m_placement->currentIndex();
    o.preview = m_previewCheck->isChecked();
    o.bright = m_numbers[0]->value();
    o.red = m_numbers[1]->value();
    o.green = m_numbers[2]->value();
    o.blue = m_numbers[3]->value();
    return o;
}

void WallpaperDialog::reset() {
    for (QSpinBox* number : m_numbers)
        number->setValue(0);
}

QImage WallpaperDialog::previewImage() const {
    return m_previewLabel->pixmap().toImage();
}

void WallpaperDialog::changed() {
    if (m_previewCheck->isChecked())
        drawPreview();
}

void WallpaperDialog::drawPreview() {
    const WallpaperOptions o = options();
    const QImage adjusted = pictureToImage(adjustColours(m_small, o.adjustment()));
    QImage view(kBoxWidth, kBoxHeight, QImage::Format_RGB32);
    view.fill(palette().color(QPalette::Window));
    QPainter painter(&view);
    painter.fillRect(m_box, Qt::black);
    painter.setClipRect(m_box);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QSize picture(m_picture.width(), m_picture.height());
    if (!adjusted.isNull() && !picture.isEmpty() && !m_screen.isEmpty()) {
        // Placements 0 and 1 show the picture at the size it has on the
        // screen, 2 fills the box, 3 fits it keeping the proportions.
        const QSize onScreen(std::max(1, picture.width() * m_box.width() / m_screen.width()),
                             std::max(1, picture.height() * m_box.height() / m_screen.height()));
        switch (o.mode) {
        case 1:
            for (int y = m_box.top(); y <= m_box.bottom(); y += onScreen.height())
                for (int x = m_box.left(); x <= m_box.right(); x += onScreen.width())
                    painter.drawImage(QRect(QPoint(x, y), onScreen), adjusted);
            break;
        case 2:
            painter.drawImage(m_box, adjusted);
            break;
        case 3: {
            const QSize fitted = picture.scaled(m_box.size(), Qt::KeepAspectRatio);
            QRect r(QPoint(), fitted);
            r.moveCenter(m_box.center());
            painter.drawImage(r, adjusted);
            break;
        }
        default: {
            QRect r(QPoint(), onScreen);
            r.moveCenter(m_box.center());
            painter.drawImage(r, adjusted);
            break;
        }
        }
    }
    painter.end();
    m_previewLabel->setPixmap(QPixmap::fromImage(view));
}

int WallpaperDialog::apply() {
    const WallpaperOptions o = options();
    o.save(m_store);
    m_stored = o;
    WallpaperResult result;
    {
        const WaitCursor busy;
        result = applyWallpaper(m_picture, o, m_screen.width(), m_screen.height(), m_folder,
                                m_tellDesktop, currentDesktopKind());
    }
    if (result.code != 0)
        showInformation(this, wallpaperFailureText(result.code));
    return result.code;
}

void runWallpaperDialog(QWidget* parent, SettingsStore& store, const PictureBuffer& picture) {
    const QScreen* screen = parent != nullptr ? parent->screen() : nullptr;
    QSize size(1024, 768);
    if (screen != nullptr)
        size = (QSizeF(screen->size()) * screen->devicePixelRatio()).toSize();
    WallpaperDialog dialog(store, picture, size, parent);
    dialog.exec();
}

} // namespace vemra
