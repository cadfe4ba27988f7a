#pragma once

#include "views/viewer_options.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QSpinBox;

namespace vemra {

// "オプション設定" of the full-screen window: its fit and scaling, Repeat,
// the interval and whether the bar and the information line are drawn.
class SlideShowOptionsDialog : public QDialog {
    Q_OBJECT
public:
    SlideShowOptionsDialog(const SlideShowOptions& options, QWidget* parent = nullptr);
    SlideShowOptions options() const;

private:
    SlideShowOptions m_options;
    QComboBox* m_fit = nullptr;
    QComboBox* m_scale = nullptr;
    QCheckBox* m_repeat = nullptr;
    QSpinBox* m_sleepTime = nullptr;
    QCheckBox* m_positionBar = nullptr;
    QCheckBox* m_information = nullptr;
};

} // namespace vemra
