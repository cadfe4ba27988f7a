#include "framework/history_combo.h"

#include "settings/settings_store.h"

namespace vemra {

HistoryCombo::HistoryCombo(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    // The history decides the order; typing must not add items by itself.
    setInsertPolicy(QComboBox::NoInsert);
}

void HistoryCombo::bind(SettingsStore& store, std::string section, std::string keyFormat,
                        int count) {
    m_store = &store;
    m_history.emplace(std::move(section), std::move(keyFormat), count);
    m_history->load(store);
    refill();
}

std::string HistoryCombo::acceptText() {
    const std::string text = currentText().toStdString();
    if (m_history && m_store) {
        m_history->accept(text);
        m_history->save(*m_store);
        refill();
    }
    setEditText(QString::fromStdString(text));
    return text;
}

void HistoryCombo::refill() {
    clear();
    for (const std::string& entry : m_history->entries())
        addItem(QString::fromStdString(entry));
    if (count() > 0)
        setCurrentIndex(0);
}

} // namespace vemra
