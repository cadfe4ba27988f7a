#pragma once

#include "document/same_name_rule.h"

#include <QDialog>
#include <QImage>
#include <QString>

#include <array>
#include <string>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace vemra {

// One side of the question: the picture reduced to fit and its two caption
// lines (size and date, pixel size and depth).
struct SameNamePane {
    QImage picture; // null: nothing is drawn
    QString sizeLine;
    QString pixelLine;
};

// "同名ファイルが存在しています": a file of the target's name exists. The
// user sees both pictures side by side and chooses one of the six actions,
// optionally for every further case ("以降全て(&A)"); editing the name
// switches to renaming. The same dialog asks "重ね書き" for the save-in-format
// command, with other pane titles and its own preselection.
class SameNameDialog : public QDialog {
    Q_OBJECT
public:
    enum class Mode { Transfer, Overwrite };

    // `preselected` is the stored option (SameOption or OverWriteOption),
    // taken by the mode's rule. `autoFileFormat` makes the numbered name.
    SameNameDialog(QWidget* parent, Mode mode, const std::string& source, const std::string& target,
                   int preselected, const std::string& autoFileFormat);

    void setPanes(const SameNamePane& source, const SameNamePane& target);

    SameNameAction action() const { return m_action; }
    bool applyToAll() const;
    std::string targetText() const;

    // The action a stored option preselects in `mode`.
    static SameNameAction preselection(Mode mode, int stored);

    // Parts, for tests.
    QLineEdit* nameEdit() const { return m_name; }
    QRadioButton* actionButton(SameNameAction action) const;
    QCheckBox* applyToAllBox() const { return m_all; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void chooseAction(SameNameAction action);
    void nameEdited(const QString& text);
    QWidget* makePane(const QString& title, QLabel*& picture, QLabel*& size, QLabel*& pixels);

    std::string m_target;
    std::string m_autoFileFormat;
    SameNameAction m_action = SameNameAction::NewerOnly;
    SameNameAction m_beforeRename = SameNameAction::NewerOnly;
    bool m_settingName = false;
    QLineEdit* m_name = nullptr;
    QCheckBox* m_all = nullptr;
    QButtonGroup* m_actions = nullptr;
    std::array<QLabel*, 2> m_pictures{};
    std::array<QLabel*, 2> m_sizes{};
    std::array<QLabel*, 2> m_pixels{};
};

// "重ね書き": the save-in-format command's question before it writes over an
// existing file; panes " 保存データ" (the picture being saved) and " 既存ファイル".
// `stored` is OverWriteOption: 0, 2, 4 and 5 are kept, anything else
// preselects overwriting.
class OverwriteDialog final : public SameNameDialog {
public:
    OverwriteDialog(QWidget* parent, const std::string& saved, const std::string& existing,
                    int stored, const std::string& autoFileFormat)
        : SameNameDialog(parent, Mode::Overwrite, saved, existing, stored, autoFileFormat) {}
};

} // namespace vemra
