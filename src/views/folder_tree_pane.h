#pragma once

#include "framework/document_base.h"

#include <QTreeView>

#include <string>

class QFileSystemModel;

namespace vemra {

class FolderDocument;
class SettingsStore;

// The left pane: the folders of the file system as a tree. Selecting a
// folder opens it in the document; the document's requests to show a folder
// (the SelectFolder and StartupFinished hints) select it here.
class FolderTreePane : public QTreeView, public DocumentView {
    Q_OBJECT
public:
    FolderTreePane(FolderDocument& document, QWidget* parent = nullptr);
    ~FolderTreePane() override;

    void onUpdate(DocumentView* sender, const UpdateHint& hint) override;

    // Selects `path` (a folder, or a file whose folder is selected) and
    // opens it in the document. False when no such folder exists.
    bool selectFolder(const std::string& path);
    // The folder selected now; empty when none.
    std::string selectedFolder() const;
    // DrvView/Path: the folder to open next time.
    void saveState(SettingsStore& settings) const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void onCurrentChanged(const QModelIndex& current);
    // Scrolls the selected folder into view once the rows are laid out.
    void keepInSight();

    FolderDocument& m_document;
    QFileSystemModel* m_model = nullptr;
    bool m_selecting = false;
    bool m_keepInSight = false; // a folder was selected by the program
    bool m_scrollPending = false;
    bool m_started = false; // StartupFinished came, or a folder was asked for
};

} // namespace vemra
