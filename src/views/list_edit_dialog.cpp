#include "views/list_edit_dialog.h"

#include "settings/settings_store.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace vemra {

std::vector<RememberedList> rememberedLists() {
    std::vector<RememberedList> lists;
    const auto add = [&lists](const char* title, const char* section, const char* keys, int count) {
        lists.push_back({QString::fromUtf8(title), TextHistory(section, keys, count)});
    };
    add("移動・複写・展開先フォルダ", "Filer", "Folder%d", 100);
    add("クイックアクセス", "DrvView", "QUICKACC_%d", 10);
    add("連番ファイル名形式", "Filer", "RenameFormat%d", 100);
    add("表示フィルタのファイル名", "Filter", "Filter%d", 10);
    add("表示フィルタのサイズ（下限）", "Filter", "SizeBegin%d", 10);
    add("表示フィルタのサイズ（上限）", "Filter", "SizeEnd%d", 10);
    add("HTMLカタログの出力フォルダ", "Html", "Folder%d", 10);
    add("HTMLカタログのファイル名", "Html", "FileName%d", 10);
    add("HTMLカタログの定義ファイル", "Html", "HtmlFile%d", 10);
    add("HTMLカタログのサムネイルフォルダ", "Html", "ThumbsFolder%d", 10);
    add("コンタクトシートの出力フォルダ", "Catalog", "Folder%d", 10);
    add("コンタクトシートのファイル名", "Catalog", "FileName%d", 10);
    return lists;
}

ListEditDialog::ListEditDialog(SettingsStore& store, QWidget* parent)
    : QDialog(parent), m_store(store), m_lists(rememberedLists()) {
    setObjectName(QStringLiteral("listEditDialog"));
    setWindowTitle(QStringLiteral("リスト編集"));
    m_changed.assign(m_lists.size(), false);
    m_choice = new QComboBox(this);
    for (RememberedList& list : m_lists) {
        list.history.load(m_store);
        m_choice->addItem(list.title);
    }
    m_entries = new QListWidget(this);
    m_entries->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_entries->setMinimumSize(420, 240);
    m_delete = new QPushButton(QStringLiteral("削除(&D)"), this);
    m_deleteAll = new QPushButton(QStringLiteral("すべて削除(&A)"), this);
    connect(m_delete, &QPushButton::clicked, this, &ListEditDialog::deleteSelected);
    connect(m_deleteAll, &QPushButton::clicked, this, &ListEditDialog::deleteAll);
    connect(m_choice, &QComboBox::currentIndexChanged, this, &ListEditDialog::showList);

    auto* buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    connect(m_ok, &QPushButton::clicked, this, [this] {
        save();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* side = new QVBoxLayout;
    side->addWidget(m_delete);
    side->addWidget(m_deleteAll);
    side->addStretch();
    auto* middle = new QHBoxLayout;
    middle->addWidget(m_entries, 1);
    middle->addLayout(side);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_choice);
    layout->addLayout(middle, 1);
    layout->addWidget(buttons);
    showList(0);
}

void ListEditDialog::showList(int index) {
    m_entries->clear();
    if (index < 0 || static_cast<std::size_t>(index) >= m_lists.size())
        return;
    for (const std::string& entry : m_lists[static_cast<std::size_t>(index)].history.entries())
        m_entries->addItem(QString::fromStdString(entry));
    m_deleteAll->setEnabled(m_entries->count() > 0);
}

void ListEditDialog::deleteSelected() {
    const int index = m_choice->currentIndex();
    if (index < 0)
        return;
    TextHistory& history = m_lists[static_cast<std::size_t>(index)].history;
    std::vector<std::string> kept;
    for (int row = 0; row < m_entries->count(); ++row)
        if (!m_entries->item(row)->isSelected())
            kept.push_back(m_entries->item(row)->text().toStdString());
    if (kept.size() == history.entries().size())
        return;
    history.setEntries(std::move(kept));
    m_changed[static_cast<std::size_t>(index)] = true;
    showList(index);
}

void ListEditDialog::deleteAll() {
    m_entries->selectAll();
    deleteSelected();
}

void ListEditDialog::save() {
    SettingsStore::Batch batch(m_store);
    for (std::size_t i = 0; i < m_lists.size(); ++i)
        if (m_changed[i])
            m_lists[i].history.save(m_store);
}

} // namespace vemra
