#include "views/slide_show_options_dialog.h"

#include "views/view_options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QSpinBox>

namespace vemra {

SlideShowOptionsDialog::SlideShowOptionsDialog(const SlideShowOptions& options, QWidget* parent)
    : QDialog(parent), m_options(options) {
    setObjectName(QStringLiteral("slideShowOptionsDialog"));
    setWindowTitle(QStringLiteral("オプション設定"));
    auto* form = new QFormLayout(this);
    m_fit = fitSizeCombo(4, options.fit.fitSize, this);
    m_scale = scaleModeCombo(options.fit.scaleMode, this);
    m_repeat = new QCheckBox(QStringLiteral("繰り返し再生"), this);
    m_repeat->setChecked(options.repeat);
    m_sleepTime = new QSpinBox(this);
    m_sleepTime->setRange(0, 3600000);
    m_sleepTime->setSingleStep(100);
    m_sleepTime->setSuffix(QStringLiteral(" ミリ秒"));
    m_sleepTime->setValue(options.sleepTime);
    m_positionBar = new QCheckBox(QStringLiteral("位置バーを表示する"), this);
    m_positionBar->setChecked(options.positionBar);
    m_information = new QCheckBox(QStringLiteral("情報を表示する"), this);
    m_information->setChecked(options.infomation);
    form->addRow(QStringLiteral("表示サイズ"), m_fit);
    form->addRow(QStringLiteral("拡大縮小方法"), m_scale);
    form->addRow(QStringLiteral("表示間隔"), m_sleepTime);
    form->addRow(m_repeat);
    form->addRow(m_positionBar);
    form->addRow(m_information);
    addDialogButtons(*this, *form);
}

SlideShowOptions SlideShowOptionsDialog::options() const {
    SlideShowOptions o = m_options;
    o.fit.fitSize = m_fit->currentIndex();
    o.fit.scaleMode = scaleModeOf(*m_scale);
    o.repeat = m_repeat->isChecked();
    o.sleepTime = m_sleepTime->value();
    o.positionBar = m_positionBar->isChecked();
    o.infomation = m_information->isChecked();
    return o;
}

} // namespace vemra
