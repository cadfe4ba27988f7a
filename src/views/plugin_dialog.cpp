#include "views/plugin_dialog.h"

#include "framework/message_box.h"
#include "imaging/plugin_module.h"
#include "platform/field_list.h"
#include "settings/settings_store.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace vemra {
namespace {

constexpr int kIdRole = Qt::UserRole;
constexpr int kLargestColumnWidth = 4000;

// Rows sort by their check state in the first column and by the locale's
// collation, ignoring case, in the others.
class PluginItem : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override {
        const int column = treeWidget() != nullptr ? treeWidget()->sortColumn() : 1;
        if (column == 0 && treeWidget()->columnCount() > 1)
            return checkState(0) < other.checkState(0);
        return QString::localeAwareCompare(text(column).toCaseFolded(),
                                           other.text(column).toCaseFolded()) < 0;
    }
};

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

PluginDialog::PluginDialog(DecoderRegistry& registry, SettingsStore& store, QWidget* parent)
    : QDialog(parent), m_registry(registry), m_store(store), m_shownSet(registry.currentSet()) {
    setObjectName(QStringLiteral("pluginDialog"));
    setWindowTitle(QStringLiteral("プラグイン設定"));
    const QStringList columns{QStringLiteral("/"), QStringLiteral("ﾌﾟﾗｸﾞｲﾝ名"),
                              QStringLiteral("ﾌﾟﾗｸﾞｲﾝ情報"), QStringLiteral("対応拡張子")};
    m_pictures = makeList(columns, "SPIColumn", "20,85,360,100");
    m_archives = makeList(columns, "ARCSPIColumn", "20,85,270,100");
    m_members = makeList({QStringLiteral("ﾌﾟﾗｸﾞｲﾝ名")}, "USESPIColumn", "80");
    m_members->setSortingEnabled(false);

    auto* layout = new QVBoxLayout(this);
    const auto listButtons = [this](QTreeWidget* list) {
        auto* row = new QHBoxLayout;
        auto* use = new QPushButton(QStringLiteral("使用状態"), this);
        auto* settings = new QPushButton(QStringLiteral("プラグイン設定"), this);
        auto* property = new QPushButton(QStringLiteral("プロパティ"), this);
        connect(use, &QPushButton::clicked, this, [this, list] { toggleSelected(list); });
        connect(settings, &QPushButton::clicked, this, [this, list] { openPluginSettings(list); });
        connect(property, &QPushButton::clicked, this, [this, list] { showProperties(list); });
        // The plug-in's own settings only where it offers them.
        const auto update = [this, list, settings, property] {
            QTreeWidgetItem* item = list->currentItem();
            const bool any = item != nullptr;
            property->setEnabled(any);
            settings->setEnabled(any && m_registry.hasConfigurationDialog(
                                            item->data(0, kIdRole).toInt(), kindOf(list)));
        };
        connect(list, &QTreeWidget::currentItemChanged, this, update);
        update();
        row->addWidget(use);
        row->addWidget(settings);
        row->addWidget(property);
        row->addStretch();
        return row;
    };
    layout->addWidget(new QLabel(QStringLiteral("表示用SPI"), this));
    layout->addWidget(m_pictures, 3);
    layout->addLayout(listButtons(m_pictures));

    m_add = new QPushButton(QStringLiteral("↓追加"), this);
    m_remove = new QPushButton(QStringLiteral("↑解除"), this);
    connect(m_add, &QPushButton::clicked, this, &PluginDialog::addMembers);
    connect(m_remove, &QPushButton::clicked, this, &PluginDialog::removeMembers);
    connect(m_pictures, &QTreeWidget::itemDoubleClicked, this, &PluginDialog::addMembers);

    auto* lower = new QGridLayout;
    lower->addWidget(new QLabel(QStringLiteral("展開用SPI"), this), 0, 0);
    lower->addWidget(m_archives, 1, 0);
    lower->addLayout(listButtons(m_archives), 2, 0);
    auto* middle = new QVBoxLayout;
    middle->addStretch();
    middle->addWidget(m_add);
    middle->addWidget(m_remove);
    middle->addStretch();
    lower->addLayout(middle, 1, 1);
    lower->addWidget(new QLabel(QStringLiteral("展開後表示SPI"), this), 0, 2);
    lower->addWidget(m_members, 1, 2);
    m_allPictures = new QCheckBox(QStringLiteral("全表示用ﾌﾟﾗｸﾞｲﾝ使用"), this);
    connect(m_allPictures, &QCheckBox::clicked, this, &PluginDialog::onAllPictures);
    lower->addWidget(m_allPictures, 2, 2);
    lower->setColumnStretch(0, 3);
    lower->setColumnStretch(2, 1);
    layout->addLayout(lower, 2);

    m_sets = new QComboBox(this);
    m_sets->setEditable(true);
    m_sets->setInsertPolicy(QComboBox::NoInsert);
    m_sets->setMinimumWidth(200);
    const std::string setList = m_store.getText("SPI", "SPISetList", "");
    for (const std::string_view name : splitFields(setList))
        if (!name.empty())
            m_sets->addItem(text(std::string(name)));
    m_sets->setEditText(text(m_shownSet));
    connect(m_sets, &QComboBox::activated, this,
            [this](int index) { switchToSet(m_sets->itemText(index)); });
    connect(m_sets->lineEdit(), &QLineEdit::editingFinished, this,
            [this] { nameSet(m_sets->currentText()); });
    m_deleteSet = new QPushButton(QStringLiteral("X"), this);
    m_deleteSet->setFixedWidth(32);
    connect(m_deleteSet, &QPushButton::clicked, this, &PluginDialog::deleteShownSet);
    m_close = new QPushButton(QStringLiteral("閉じる"), this);
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(new QLabel(QStringLiteral("プラグインセット: "), this));
    bottom->addWidget(m_sets);
    bottom->addWidget(m_deleteSet);
    bottom->addStretch();
    bottom->addWidget(m_close);
    layout->addLayout(bottom);

    connect(m_pictures, &QTreeWidget::itemChanged, this, &PluginDialog::onItemChanged);
    connect(m_archives, &QTreeWidget::itemChanged, this, &PluginDialog::onItemChanged);
    connect(m_archives, &QTreeWidget::currentItemChanged, this, &PluginDialog::fillMembers);
    fillLists();
    resize(720, 560);
}

QTreeWidget* PluginDialog::makeList(const QStringList& columns, const char* widthKey,
                                    const char* defaultWidths) {
    auto* list = new QTreeWidget(this);
    list->setObjectName(QString::fromLatin1(widthKey));
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setHeaderLabels(columns);
    list->setSortingEnabled(true);
    list->sortByColumn(1, Qt::AscendingOrder);
    const std::vector<int> stored = readIntList(m_store.getText("SPI", widthKey, defaultWidths));
    const std::vector<int> fallback = readIntList(defaultWidths);
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
        const std::size_t at = static_cast<std::size_t>(i);
        const int width = at < stored.size() && stored[at] > 0 ? stored[at] : fallback[at];
        list->setColumnWidth(i, std::clamp(width, 8, kLargestColumnWidth));
    }
    return list;
}

DecoderKind PluginDialog::kindOf(const QTreeWidget* list) const {
    return list == m_archives ? DecoderKind::Archive : DecoderKind::Picture;
}

void PluginDialog::fillLists() {
    m_filling = true;
    for (QTreeWidget* list : {m_pictures, m_archives}) {
        const DecoderKind kind = kindOf(list);
        list->clear();
        for (DecoderId id = 0; id < m_registry.count(kind); ++id) {
            const PluginModule* module = m_registry.plugin(id, kind);
            auto* item = new PluginItem(list);
            item->setData(0, kIdRole, id);
            item->setCheckState(0, m_registry.inUse(id, kind) ? Qt::Checked : Qt::Unchecked);
            item->setText(1, text(m_registry.name(id, kind)));
            item->setText(2, module != nullptr ? text(module->description()) : QString());
            item->setText(3, text(m_registry.extensionList(id, kind)));
        }
        list->sortItems(list->sortColumn(), list->header()->sortIndicatorOrder());
    }
    if (m_archives->topLevelItemCount() > 0 && m_archives->currentItem() == nullptr)
        m_archives->setCurrentItem(m_archives->topLevelItem(0));
    m_filling = false;
    fillMembers();
}

DecoderId PluginDialog::selectedArchive() const {
    const QTreeWidgetItem* item = m_archives->currentItem();
    return item != nullptr ? item->data(0, kIdRole).toInt() : kNoDecoder;
}

void PluginDialog::fillMembers() {
    m_members->clear();
    const DecoderId archive = selectedArchive();
    const bool any = archive != kNoDecoder;
    const bool all = any && m_registry.allUseFlags(archive) == 0;
    m_allPictures->setEnabled(any);
    m_allPictures->setChecked(all);
    m_members->setEnabled(any && !all);
    m_add->setEnabled(any);
    m_remove->setEnabled(any && !all);
    if (!any || all)
        return;
    for (const DecoderId picture : m_registry.viewList(archive)) {
        auto* item = new QTreeWidgetItem(m_members);
        item->setText(0, text(m_registry.name(picture, DecoderKind::Picture)));
        item->setData(0, kIdRole, picture);
    }
}

void PluginDialog::onItemChanged(QTreeWidgetItem* item) {
    if (m_filling)
        return;
    const DecoderKind kind = kindOf(item->treeWidget());
    m_registry.setInUse(item->data(0, kIdRole).toInt(), kind, item->checkState(0) == Qt::Checked);
}

void PluginDialog::toggleSelected(QTreeWidget* list) {
    for (QTreeWidgetItem* item : list->selectedItems())
        item->setCheckState(0, item->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

void PluginDialog::openPluginSettings(QTreeWidget* list) {
    if (QTreeWidgetItem* item = list->currentItem()) {
        const DecoderId id = item->data(0, kIdRole).toInt();
        if (m_registry.hasConfigurationDialog(id, kindOf(list)))
            m_registry.configurationDialog(id, kindOf(list), nullptr, 1);
    }
}

std::vector<std::pair<QString, QString>> PluginDialog::properties(DecoderId id,
                                                                  DecoderKind kind) const {
    std::vector<std::pair<QString, QString>> lines;
    const PluginModule* module = m_registry.plugin(id, kind);
    if (module == nullptr)
        return lines;
    const QFileInfo file(text(module->path()));
    lines.emplace_back(QStringLiteral("名前"), text(module->description()));
    lines.emplace_back(
        QStringLiteral("ファイル情報"),
        QStringLiteral("%1 %2 %3")
            .arg(text(module->name()))
            .arg(file.size(), 10)
            .arg(file.lastModified().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))));
    // Shared libraries carry no version resource: these stay empty.
    for (const char* key : {"CompanyName", "FileDescription", "FileVersion", "InternalName",
                            "LegalCopyright", "OriginalFilename", "ProductName", "ProductVersion"})
        lines.emplace_back(QString::fromLatin1(key), QString());
    lines.emplace_back(QStringLiteral("API Version"), text(module->typeString()));
    lines.emplace_back(QStringLiteral("画像_Open"),
                       module->informationCount() > 3 ? text(module->information(3)) : QString());
    lines.emplace_back(QStringLiteral("画像拡張子"), text(module->extensionList()));
    return lines;
}

void PluginDialog::showProperties(QTreeWidget* list) {
    QTreeWidgetItem* item = list->currentItem();
    if (item == nullptr)
        return;
    QDialog box(this);
    box.setWindowTitle(QStringLiteral("プラグイン情報"));
    auto* form = new QFormLayout(&box);
    for (const auto& [label, value] : properties(item->data(0, kIdRole).toInt(), kindOf(list))) {
        auto* shown = new QLabel(value, &box);
        shown->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(label + QStringLiteral(":"), shown);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &box);
    connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    form->addRow(buttons);
    box.exec();
}

void PluginDialog::addMembers() {
    const DecoderId archive = selectedArchive();
    if (archive == kNoDecoder)
        return;
    if (m_registry.allUseFlags(archive) == 0)
        m_registry.setAllUseFlags(archive, 1);
    for (QTreeWidgetItem* item : m_pictures->selectedItems())
        m_registry.addToViewList(archive, item->data(0, kIdRole).toInt());
    fillMembers();
}

void PluginDialog::removeMembers() {
    const DecoderId archive = selectedArchive();
    if (archive == kNoDecoder || m_registry.allUseFlags(archive) == 0)
        return;
    const QList<QTreeWidgetItem*> chosen = m_members->selectedItems();
    for (auto it = chosen.rbegin(); it != chosen.rend(); ++it)
        m_registry.removeFromViewList(archive, (*it)->text(0).toStdString());
    fillMembers();
}

void PluginDialog::onAllPictures(bool on) {
    const DecoderId archive = selectedArchive();
    if (archive == kNoDecoder)
        return;
    if (on) {
        m_registry.setAllUseFlags(archive, 0);
        m_registry.clearViewList(archive);
    } else {
        m_registry.setAllUseFlags(archive, 1);
    }
    fillMembers();
}

void PluginDialog::switchToSet(const QString& name) {
    const std::string chosen = name.toStdString();
    if (chosen == m_shownSet)
        return;
    m_registry.saveSet(m_shownSet);
    m_registry.loadSet(chosen);
    m_shownSet = chosen;
    m_sets->setEditText(name);
    fillLists();
}

void PluginDialog::nameSet(const QString& typed) {
    const QString name = typed.trimmed();
    if (name.isEmpty() || name.contains(QLatin1Char(',')) || name.contains(QLatin1Char('\\')))
        return; // a list separator or a section separator could not be kept
    if (const int at = m_sets->findText(name); at >= 0)
        m_sets->removeItem(at);
    m_sets->insertItem(0, name);
    m_sets->setCurrentIndex(0);
    m_shownSet = name.toStdString();
    m_registry.saveSet(m_shownSet);
}

void PluginDialog::deleteShownSet() {
    const QString name = m_sets->currentText();
    if (!askYesNo(this,
                  (QStringLiteral("プラグインセット：[%1]を削除します。よろしいですか？").arg(name))
                      .toStdString()))
        return;
    m_store.deleteSection("SPISET\\" +
                          (name.isEmpty() ? std::string("_Default") : name.toStdString()));
    if (const int at = m_sets->findText(name); at >= 0)
        m_sets->removeItem(at);
    m_sets->setEditText(QString());
    m_shownSet.clear();
}

void PluginDialog::done(int result) {
    std::vector<std::string> names;
    for (int i = 0; i < m_sets->count(); ++i)
        names.push_back(m_sets->itemText(i).toStdString());
    std::string list;
    for (const std::string& name : names)
        list += (list.empty() ? "" : ",") + name;
    const auto widths = [](const QTreeWidget* tree) {
        std::vector<int> w;
        for (int i = 0; i < tree->columnCount(); ++i)
            w.push_back(tree->columnWidth(i));
        return formatIntList(w);
    };
    m_chosenSet = m_sets->currentText().trimmed().toStdString();
    {
        SettingsStore::Batch batch(m_store);
        m_store.putText("SPI", "SPISetList", list);
        m_store.putText("SPI", "SPIColumn", widths(m_pictures));
        m_store.putText("SPI", "ARCSPIColumn", widths(m_archives));
        m_store.putText("SPI", "USESPIColumn", widths(m_members));
        m_registry.settings().setName = m_chosenSet;
        m_store.putText("SPI", "SPISet", m_chosenSet);
        m_registry.saveSet(m_chosenSet);
    }
    m_registry.applyDynamicLoading();
    QDialog::done(result);
}

} // namespace vemra
