#include "views/folder_tree_pane.h"

#include "document/folder_document.h"
#include "platform/file_status.h"
#include "settings/settings_store.h"

#include <QFileSystemModel>
#include <QHeaderView>
#include <QTimer>

namespace vemra {
namespace {

// The nearest existing folder of `path` (itself when it is one).
std::string nearestFolder(std::string path) {
    while (!path.empty() && !isExistingFolder(path)) {
        const auto slash = path.rfind('/');
        if (slash == std::string::npos) {
            return {};
        }
        path = slash == 0 ? std::string("/") : path.substr(0, slash);
    }
    return path;
}

} // namespace

FolderTreePane::FolderTreePane(FolderDocument& document, QWidget* parent)
    : QTreeView(parent), m_document(document), m_model(new QFileSystemModel(this)) {
    setObjectName(QStringLiteral("folderTree"));
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    m_model->setReadOnly(true);
    m_model->setRootPath(QStringLiteral("/"));
    setModel(m_model);
    setRootIndex(m_model->index(QStringLiteral("/")).parent());
    // The name is all a folder tree shows.
    for (int column = 1; column < m_model->columnCount(); ++column) {
        hideColumn(column);
    }
    header()->hide();
    setUniformRowHeights(true);
    // The model reads and sorts folders in the background, so rows above a
    // folder just selected arrive after it: keep it in sight until the user
    // moves the view himself.
    connect(m_model, &QFileSystemModel::directoryLoaded, this, &FolderTreePane::keepInSight);
    connect(m_model, &QAbstractItemModel::layoutChanged, this, &FolderTreePane::keepInSight);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &FolderTreePane::keepInSight);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { onCurrentChanged(current); });
    document.addView(this);
}

FolderTreePane::~FolderTreePane() {
    if (document() != nullptr) {
        document()->removeView(this);
    }
}

void FolderTreePane::onUpdate(DocumentView*, const UpdateHint& update) {
    visitHint(
        update, [this](const hint::SelectFolder& select) { selectFolder(select.path); },
        [this](const hint::StartupFinished&) {
            m_started = true;
            if (!m_document.currentFolder().empty()) {
                selectFolder(m_document.currentFolder());
            }
        });
}

bool FolderTreePane::selectFolder(const std::string& path) {
    m_started = true;
    const std::string folder = nearestFolder(path);
    if (folder.empty()) {
        return false;
    }
    const QModelIndex index = m_model->index(QString::fromStdString(folder));
    if (!index.isValid()) {
        return false;
    }
    if (index == currentIndex()) {
        // Selected already: open it again (the history or a refresh asks).
        onCurrentChanged(index);
    } else {
        setCurrentIndex(index);
    }
    expand(index);
    m_keepInSight = true;
    keepInSight();
    return true;
}

void FolderTreePane::keepInSight() {
    // The view lays new rows out later, so the scroll waits for that; one
    // pending scroll serves every change that comes before it.
    if (!m_keepInSight || m_scrollPending) {
        return;
    }
    m_scrollPending = true;
    QTimer::singleShot(0, this, [this] {
        m_scrollPending = false;
        if (m_keepInSight && currentIndex().isValid()) {
            scrollTo(currentIndex(), QAbstractItemView::PositionAtCenter);
        }
    });
}

void FolderTreePane::mousePressEvent(QMouseEvent* event) {
    m_keepInSight = false;
    QTreeView::mousePressEvent(event);
}

void FolderTreePane::wheelEvent(QWheelEvent* event) {
    m_keepInSight = false;
    QTreeView::wheelEvent(event);
}

void FolderTreePane::keyPressEvent(QKeyEvent* event) {
    m_keepInSight = false;
    QTreeView::keyPressEvent(event);
}

std::string FolderTreePane::selectedFolder() const {
    const QModelIndex index = currentIndex();
    return index.isValid() ? m_model->filePath(index).toStdString() : std::string();
}

void FolderTreePane::saveState(SettingsStore& settings) const {
    const std::string folder = selectedFolder();
    if (!folder.empty()) {
        settings.putText("DrvView", "Path", folder);
    }
}

void FolderTreePane::onCurrentChanged(const QModelIndex& current) {
    // Before start-up has finished the view may make its first row current
    // on its own (when it is shown or gets the focus); that is no request
    // to open the root folder.
    if (!current.isValid() || m_selecting || !m_started) {
        return;
    }
    m_selecting = true;
    const std::string folder = m_model->filePath(current).toStdString();
    m_document.openFolder(folder, this, m_document.options().cacheFolder);
    m_selecting = false;
}

} // namespace vemra
