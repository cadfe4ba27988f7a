#include "views/view_options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSpinBox>

#include <algorithm>
#include <array>

namespace vemra {
namespace {

constexpr std::array<const char*, 5> kFitNames{"そのまま", "画像サイズ", "ウインドウサイズへ伸縮",
                                               "縦横固定して伸縮", "画面の向きに回転して伸縮"};
struct ScaleName {
    int mode;
    const char* name;
};
constexpr std::array<ScaleName, 5> kScaleNames{{{0, "通常"},
                                                {1, "最近傍法"},
                                                {2, "線形補間法"},
                                                {3, "RGB平均法"},
                                                {10, "自動判定 美麗モード"}}};

} // namespace

QComboBox* fitSizeCombo(int largestMode, int current, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    for (int i = 0; i <= largestMode && i < static_cast<int>(kFitNames.size()); ++i)
        combo->addItem(QString::fromUtf8(kFitNames[static_cast<std::size_t>(i)]));
    combo->setCurrentIndex(std::clamp(current, 0, largestMode));
    return combo;
}

QComboBox* scaleModeCombo(int current, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    for (const ScaleName& s : kScaleNames) {
        combo->addItem(QString::fromUtf8(s.name), s.mode);
        if (s.mode == current)
            combo->setCurrentIndex(combo->count() - 1);
    }
    return combo;
}

int scaleModeOf(const QComboBox& combo) {
    return combo.currentData().toInt();
}

void addDialogButtons(QDialog& dialog, QFormLayout& form) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form.addRow(buttons);
}

ViewOptionsDialog::ViewOptionsDialog(const ViewerOptions& options, QWidget* parent)
    : QDialog(parent), m_options(options) {
    setObjectName(QStringLiteral("viewOptionsDialog"));
    setWindowTitle(QStringLiteral("表示モード設定"));
    auto* form = new QFormLayout(this);
    m_fit = fitSizeCombo(3, options.fit.fitSize, this);
    m_scale = scaleModeCombo(options.fit.scaleMode, this);
    m_angleUnit = new QSpinBox(this);
    m_angleUnit->setRange(1, 359);
    m_angleUnit->setValue(std::clamp(options.angleUnit, 1, 359));
    m_angleUnit->setSuffix(QStringLiteral(" 度"));
    m_zoomStep = new QDoubleSpinBox(this);
    m_zoomStep->setRange(0.01, 8);
    m_zoomStep->setSingleStep(0.1);
    m_zoomStep->setValue(options.fit.zoomStep);
    m_zoomUp = new QCheckBox(QStringLiteral("ウインドウより小さい画像を拡大する"), this);
    m_zoomUp->setChecked(options.fit.zoomUp);
    m_zoomDown = new QCheckBox(QStringLiteral("ウインドウより大きい画像を縮小する"), this);
    m_zoomDown->setChecked(options.fit.zoomDown);
    m_repeat = new QCheckBox(QStringLiteral("繰り返し再生"), this);
    m_repeat->setChecked(options.repeat);
    form->addRow(QStringLiteral("表示サイズ"), m_fit);
    form->addRow(QStringLiteral("拡大縮小方法"), m_scale);
    form->addRow(QStringLiteral("回転角度"), m_angleUnit);
    form->addRow(QStringLiteral("拡大率の刻み"), m_zoomStep);
    form->addRow(m_zoomUp);
    form->addRow(m_zoomDown);
    form->addRow(m_repeat);
    addDialogButtons(*this, *form);
}

ViewerOptions ViewOptionsDialog::options() const {
    ViewerOptions o = m_options;
    o.fit.fitSize = m_fit->currentIndex();
    o.fit.scaleMode = scaleModeOf(*m_scale);
    o.angleUnit = m_angleUnit->value();
    o.fit.zoomStep = m_zoomStep->value();
    o.fit.zoomUp = m_zoomUp->isChecked();
    o.fit.zoomDown = m_zoomDown->isChecked();
    o.repeat = m_repeat->isChecked();
    return o;
}

} // namespace vemra
