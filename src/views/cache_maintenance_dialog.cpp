#include "views/cache_maintenance_dialog.h"

#include "document/thumb_cache_file.h"
#include "document/thumb_record.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cctype>

namespace vemra {
namespace {

constexpr int kFolderRole = Qt::UserRole; // index into the folder list, or -1

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

QString upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text(s);
}

// The item named `name` under `parent`, made when there is none.
QTreeWidgetItem* child(QTreeWidgetItem* parent, const QString& name) {
    for (int i = 0; i < parent->childCount(); ++i)
        if (parent->child(i)->text(0) == name)
            return parent->child(i);
    auto* item = new QTreeWidgetItem(parent, {name});
    item->setData(0, kFolderRole, -1);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, Qt::Unchecked);
    return item;
}

void setTickBelow(QTreeWidgetItem* item, Qt::CheckState state) {
    for (int i = 0; i < item->childCount(); ++i) {
        item->child(i)->setCheckState(0, state);
        setTickBelow(item->child(i), state);
    }
}

} // namespace

CacheMaintenanceDialog::CacheMaintenanceDialog(std::string centralFolder, QWidget* parent)
    : QDialog(parent), m_central(std::move(centralFolder)) {
    setObjectName(QStringLiteral("cacheMaintenanceDialog"));
    setWindowTitle(QStringLiteral("サムネイル情報メンテナンス"));
    m_tree = new QTreeWidget(this);
    m_tree->setHeaderHidden(true);
    m_records = new QTreeWidget(this);
    m_records->setRootIsDecorated(false);
    m_records->setHeaderLabels(
        {QStringLiteral("ﾌｧｲﾙ名"), QStringLiteral("ext"), QStringLiteral("ｻｲｽﾞ"),
         QStringLiteral("更新日付"), QStringLiteral("ｵﾘｼﾞﾅﾙ画素"), QStringLiteral("書庫"),
         QStringLiteral("ｻﾑﾈｲﾙｻｲｽﾞ"), QStringLiteral("SPI"), QStringLiteral("ﾌｫﾙﾀﾞ")});
    m_caption = new QLabel(this);
    auto* right = new QWidget(this);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addWidget(m_caption);
    rightLayout->addWidget(m_records, 1);
    auto* split = new QSplitter(this);
    split->addWidget(m_tree);
    split->addWidget(right);
    split->setStretchFactor(1, 1);

    auto* note = new QLabel(
        QStringLiteral(
            "チェックしたフォルダのサムネイル情報から、存在しない画像の情報を削除します。\n"
            "存在しない媒体のフォルダは最適化しません。"),
        this);
    m_optimise = new QPushButton(QStringLiteral("最適化(&D)"), this);
    auto* close = new QPushButton(QStringLiteral("閉じる(&C)"), this);
    connect(m_optimise, &QPushButton::clicked, this, [this] { optimise(); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(note, 1);
    buttons->addWidget(m_optimise);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(split, 1);
    layout->addLayout(buttons);

    connect(m_tree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { showRecords(item); });
    connect(m_tree, &QTreeWidget::itemChanged, this, &CacheMaintenanceDialog::onItemChanged);
    fillTree();
    resize(820, 480);
}

void CacheMaintenanceDialog::fillTree() {
    m_ticking = true;
    m_tree->clear();
    m_present = new QTreeWidgetItem(m_tree, {QStringLiteral("存在する媒体")});
    m_absent = new QTreeWidgetItem(m_tree, {QStringLiteral("存在しない媒体")});
    for (QTreeWidgetItem* root : {m_present, m_absent}) {
        root->setData(0, kFolderRole, -1);
        root->setFlags(root->flags() | Qt::ItemIsUserCheckable);
        root->setCheckState(0, Qt::Unchecked);
    }
    m_folders = listCachedFolders(m_central);
    for (std::size_t i = 0; i < m_folders.size(); ++i) {
        QTreeWidgetItem* item = m_folders[i].present ? m_present : m_absent;
        const QStringList parts =
            text(m_folders[i].folder).split(QLatin1Char('/'), Qt::SkipEmptyParts);
        for (const QString& part : parts)
            item = child(item, part);
        if (item != m_present && item != m_absent)
            item->setData(0, kFolderRole, static_cast<int>(i));
    }
    m_tree->sortItems(0, Qt::AscendingOrder);
    // The roots keep their order: present media first.
    m_tree->takeTopLevelItem(m_tree->indexOfTopLevelItem(m_absent));
    m_tree->addTopLevelItem(m_absent);
    m_tree->expandAll();
    m_ticking = false;
}

void CacheMaintenanceDialog::onItemChanged(QTreeWidgetItem* item, int column) {
    if (m_ticking || column != 0)
        return;
    m_ticking = true;
    setTickBelow(item, item->checkState(0));
    m_ticking = false;
}

void CacheMaintenanceDialog::showRecords(QTreeWidgetItem* item) {
    m_records->clear();
    m_caption->clear();
    const int index = item != nullptr ? item->data(0, kFolderRole).toInt() : -1;
    if (index < 0 || static_cast<std::size_t>(index) >= m_folders.size())
        return;
    const CachedFolder& folder = m_folders[static_cast<std::size_t>(index)];
    m_caption->setText(text(folder.folder));
    ThumbCacheFile file(folder.folder, folder.file);
    file.load();
    const QColor missing = palette().color(QPalette::Disabled, QPalette::Text);
    for (std::size_t at = 0; at < file.recordCount(); ++at) {
        const std::optional<ThumbRecord> record = file.recordAt(at);
        if (!record)
            continue;
        const ThumbRecord& r = *record;
        const QString name = text(r.fileName());
        const int dot = name.lastIndexOf(QLatin1Char('.'));
        std::string decoders = r.text(ThumbRecord::PictureDecoder);
        if (!r.archiveFileName().empty())
            decoders += "/" + r.text(ThumbRecord::ArchiveDecoder);
        auto* row = new QTreeWidgetItem(m_records);
        row->setText(0, dot > 0 ? name.left(dot) : name);
        row->setText(1, dot > 0 ? name.mid(dot + 1) : QString());
        row->setText(2, QString::number(r.u32(ThumbRecord::Length)));
        row->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        row->setText(3, QDateTime::fromSecsSinceEpoch(r.u32(ThumbRecord::LastWriteTime))
                            .toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
        row->setText(4, QStringLiteral("%1x%2 %3bpp")
                            .arg(r.u32(ThumbRecord::PictureWidth))
                            .arg(r.u32(ThumbRecord::PictureHeight))
                            .arg(r.u32(ThumbRecord::BitCount)));
        row->setText(5, text(r.archiveFileName()));
        row->setText(6, QStringLiteral("%1x%2")
                            .arg(r.i32(ThumbRecord::DrawnCellWidth))
                            .arg(r.i32(ThumbRecord::DrawnCellHeight)));
        row->setText(7, upper(decoders));
        row->setText(8, text(folder.folder));
        if (!folder.present || !recordPictureExists(r, folder.folder))
            for (int c = 0; c < m_records->columnCount(); ++c)
                row->setForeground(c, missing);
    }
}

int CacheMaintenanceDialog::optimise() {
    // The ticked folders of present media, depth first.
    std::vector<QTreeWidgetItem*> ticked;
    std::vector<QTreeWidgetItem*> stack{m_present};
    while (!stack.empty()) {
        QTreeWidgetItem* item = stack.back();
        stack.pop_back();
        if (item->checkState(0) == Qt::Checked && item->data(0, kFolderRole).toInt() >= 0)
            ticked.push_back(item);
        for (int i = 0; i < item->childCount(); ++i)
            stack.push_back(item->child(i));
    }
    QProgressDialog progress(QStringLiteral("サムネイル情報を最適化しています..."),
                             QStringLiteral("中止"), 0, static_cast<int>(ticked.size()), this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    int removed = 0;
    for (std::size_t i = 0; i < ticked.size(); ++i) {
        if (progress.wasCanceled())
            break;
        progress.setValue(static_cast<int>(i));
        QTreeWidgetItem* item = ticked[i];
        const auto& folder =
            m_folders[static_cast<std::size_t>(item->data(0, kFolderRole).toInt())];
        progress.setLabelText(text(folder.folder));
        const OptimiseOutcome outcome = optimiseCachedFolder(m_central, folder);
        removed += outcome.removed;
        if (!outcome.fileDeleted)
            continue;
        item->setData(0, kFolderRole, -1);
        // The item goes, and so do parents left with nothing below them.
        while (item != m_present && item->childCount() == 0 &&
               item->data(0, kFolderRole).toInt() < 0) {
            QTreeWidgetItem* parent = item->parent();
            delete item;
            item = parent;
        }
    }
    progress.setValue(static_cast<int>(ticked.size()));
    showRecords(m_tree->currentItem());
    return removed;
}

} // namespace vemra
