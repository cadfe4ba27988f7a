#pragma once

#include <QDialog>

#include <optional>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vemra {

// The one-name dialogs of the folder tree: "フォルダの新規作成" asks for the
// name of a folder to make in a folder, "フォルダの名前変更" for a folder's
// new name. OK stays disabled while the name could not be a folder's name
// (empty, ".", "..", or with a "/").
class FolderNameDialog : public QDialog {
    Q_OBJECT
public:
    enum class Purpose { Create, Rename };

    // `folder`: the folder to make the new one in, or the folder to rename.
    FolderNameDialog(Purpose purpose, const std::string& folder, QWidget* parent = nullptr);

    std::string name() const;
    void setName(const std::string& name);
    QLineEdit* nameEdit() const { return m_edit; }
    QPushButton* okButton() const { return m_ok; }

    // Whether `name` can name a folder in a folder.
    static bool isValidName(const std::string& name);

    // Runs the dialog; the name, or nothing when cancelled.
    static std::optional<std::string> ask(Purpose purpose, const std::string& folder,
                                          QWidget* parent);

private:
    QLineEdit* m_edit;
    QPushButton* m_ok;
};

} // namespace vemra
