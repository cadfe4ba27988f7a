#pragma once

#include "app/system_status.h"

#include <QDialog>
#include <QTimer>

#include <string>

class QLabel;
class QProgressBar;

namespace vemra {

// The address the about box links to: the manual found beside the program
// or in its installed place (findManual), as a file address.
std::string homePageAddress();

// Opens `address` with the desktop's handler (xdg-open). The result follows
// the shell's convention: above 32 on success, else a code that
// hyperlinkErrorText() explains.
int openHyperlink(const std::string& address);

// "%s%s" of a memory figure: one decimal, thousands separators, "B", "KB"
// or "MB".
std::string memorySizeText(std::uint64_t bytes);

// "バージョン情報": the program's version, the system and library versions,
// and the memory figures, kept current while the box is open.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);

    // Shows `status` (the box refreshes from the machine itself every second).
    void showMemory(const MemoryStatus& status);

    QLabel* physicalLabel() const { return m_physical; }
    QLabel* physicalFreeLabel() const { return m_physicalFree; }
    QLabel* virtualLabel() const { return m_virtual; }
    QLabel* virtualFreeLabel() const { return m_virtualFree; }
    QProgressBar* physicalBar() const { return m_physicalBar; }
    QProgressBar* virtualBar() const { return m_virtualBar; }

protected:
    bool event(QEvent* event) override;

private:
    void onLinkActivated(const QString& link);

    QLabel* m_physical = nullptr;
    QLabel* m_physicalFree = nullptr;
    QLabel* m_virtual = nullptr;
    QLabel* m_virtualFree = nullptr;
    QProgressBar* m_physicalBar = nullptr;
    QProgressBar* m_virtualBar = nullptr;
    QTimer m_refresh;
    bool m_refreshing = false;
};

} // namespace vemra
