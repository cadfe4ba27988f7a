#pragma once

#include "document/display_filter.h"
#include "document/display_filter_form.h"

#include <QDialog>

#include <optional>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QPushButton;

namespace vemra {

class FolderDocument;
class SettingsStore;

// "表示フィルタ設定": which of the folder's files are listed, by name masks,
// by the day of their last change and by their size. "OK" refuses an end
// before the start (the dialog stays open) and otherwise stores the
// settings with their histories; "解除" switches every filter off.
class DisplayFilterDialog : public QDialog {
    Q_OBJECT
public:
    DisplayFilterDialog(DisplayFilterForm form, SettingsStore& store, QWidget* parent = nullptr);

    // Shows the dialog for the document's present filter; the filter chosen
    // with "OK" or "解除", or nullopt when cancelled.
    static std::optional<DisplayFilter> ask(QWidget* parent, FolderDocument& document,
                                            SettingsStore& store);

    // The filter of the button that closed the dialog.
    const std::optional<DisplayFilter>& chosen() const { return m_chosen; }

    // --- the controls, for tests
    QCheckBox* maskCheck() const { return m_maskCheck; }
    QComboBox* maskList() const { return m_masks; }
    QCheckBox* dateCheck() const { return m_dateCheck; }
    QDateEdit* dateFrom() const { return m_dateFrom; }
    QDateEdit* dateTo() const { return m_dateTo; }
    QCheckBox* sizeCheck() const { return m_sizeCheck; }
    QComboBox* sizeBegin() const { return m_sizeBegin; }
    QComboBox* sizeEnd() const { return m_sizeEnd; }
    QComboBox* unitBegin() const { return m_unitBegin; }
    QComboBox* unitEnd() const { return m_unitEnd; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* releaseButton() const { return m_release; }

private:
    void takeInput();
    void onOk();
    void onRelease();

    DisplayFilterForm m_form;
    SettingsStore& m_store;
    std::optional<DisplayFilter> m_chosen;
    QCheckBox* m_maskCheck = nullptr;
    QComboBox* m_masks = nullptr;
    QCheckBox* m_dateCheck = nullptr;
    QDateEdit* m_dateFrom = nullptr;
    QDateEdit* m_dateTo = nullptr;
    QCheckBox* m_sizeCheck = nullptr;
    QComboBox* m_sizeBegin = nullptr;
    QComboBox* m_sizeEnd = nullptr;
    QComboBox* m_unitBegin = nullptr;
    QComboBox* m_unitEnd = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_release = nullptr;
};

} // namespace vemra
