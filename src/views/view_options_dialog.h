#pragma once

#include "views/viewer_options.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QFormLayout;
class QSpinBox;

namespace vemra {

// The display choices offered by both option dialogs of the viewers.
QComboBox* fitSizeCombo(int largestMode, int current, QWidget* parent);
QComboBox* scaleModeCombo(int current, QWidget* parent);
int scaleModeOf(const QComboBox& combo);
// "OK" and "キャンセル" at the foot of an options dialog's form.
void addDialogButtons(QDialog& dialog, QFormLayout& form);

// "表示モード設定": the window viewer's options of section "COneView".
class ViewOptionsDialog : public QDialog {
    Q_OBJECT
public:
    ViewOptionsDialog(const ViewerOptions& options, QWidget* parent = nullptr);
    // The options as the dialog shows them now.
    ViewerOptions options() const;

private:
    ViewerOptions m_options;
    QComboBox* m_fit = nullptr;
    QComboBox* m_scale = nullptr;
    QSpinBox* m_angleUnit = nullptr;
    QDoubleSpinBox* m_zoomStep = nullptr;
    QCheckBox* m_zoomUp = nullptr;
    QCheckBox* m_zoomDown = nullptr;
    QCheckBox* m_repeat = nullptr;
};

} // namespace vemra
