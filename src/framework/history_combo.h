#pragma once

#include "framework/text_history.h"

#include <QComboBox>

#include <optional>

namespace vemra {

class SettingsStore;

// An editable combo box that offers a TextHistory. bind() fills it from the
// store with the most recent text shown; acceptText() (called from the
// dialog's OK) moves the edited text to the top and rewrites every key.
class HistoryCombo : public QComboBox {
    Q_OBJECT
public:
    explicit HistoryCombo(QWidget* parent = nullptr);

    // Reads the history of `keyFormat` ("Folder%d") in `section`, N keys.
    void bind(SettingsStore& store, std::string section, std::string keyFormat, int count);
    // The history's entries (empty before bind).
    const TextHistory* history() const { return m_history ? &*m_history : nullptr; }

    // The edited text, moved to the top of the history and stored; the
    // combo's list follows and shows it first.
    std::string acceptText();

private:
    void refill();

    SettingsStore* m_store = nullptr;
    std::optional<TextHistory> m_history;
};

} // namespace vemra
