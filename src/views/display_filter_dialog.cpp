#include "views/display_filter_dialog.h"

#include "document/folder_document.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace vemra {
namespace {

QComboBox* editableList(const std::vector<std::string>& items, const std::string& text,
                        QWidget* parent) {
    auto* list = new QComboBox(parent);
    list->setEditable(true);
    list->setInsertPolicy(QComboBox::NoInsert);
    for (const std::string& item : items)
        list->addItem(QString::fromStdString(item));
    list->setEditText(QString::fromStdString(text));
    return list;
}

QComboBox* unitList(int unit, QWidget* parent) {
    auto* list = new QComboBox(parent);
    for (const std::string_view name : DisplayFilterForm::kUnits)
        list->addItem(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
    list->setCurrentIndex(unit);
    return list;
}

QDateEdit* dayPicker(const QDate& day, QWidget* parent) {
    auto* picker = new QDateEdit(day, parent);
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
    return picker;
}

std::vector<std::string> itemsOf(const QComboBox* list) {
    std::vector<std::string> items;
    for (int i = 0; i < list->count(); ++i)
        items.push_back(list->itemText(i).toStdString());
    return items;
}

} // namespace

DisplayFilterDialog::DisplayFilterDialog(DisplayFilterForm form, SettingsStore& store,
                                         QWidget* parent)
    : QDialog(parent), m_form(std::move(form)), m_store(store) {
    setObjectName(QStringLiteral("displayFilterDialog"));
    setWindowTitle(QStringLiteral("表示フィルタ設定"));

    m_maskCheck = new QCheckBox(QStringLiteral("ファイル名(&N)"), this);
    m_maskCheck->setChecked(m_form.useMask);
    m_masks = editableList(m_form.masks, m_form.maskText, this);
    auto* hint =
        new QLabel(QStringLiteral("*.JPG;(セミコロンで区切り） file????.jpg等指定します"), this);

    m_dateCheck = new QCheckBox(QStringLiteral("ファイル日付(&D)"), this);
    m_dateCheck->setChecked(m_form.dateOn);
    m_dateFrom = dayPicker(m_form.dateFrom, this);
    m_dateTo = dayPicker(m_form.dateTo, this);

    m_sizeCheck = new QCheckBox(QStringLiteral("ファイルサイズ(&S)"), this);
    m_sizeCheck->setChecked(m_form.sizeOn);
    m_sizeBegin = editableList(m_form.sizeBeginItems, m_form.sizeBeginText, this);
    m_sizeEnd = editableList(m_form.sizeEndItems, m_form.sizeEndText, this);
    m_unitBegin = unitList(m_form.unitBegin, this);
    m_unitEnd = unitList(m_form.unitEnd, this);

    auto* grid = new QGridLayout;
    grid->addWidget(m_maskCheck, 0, 0);
    grid->addWidget(m_masks, 0, 1, 1, 5);
    grid->addWidget(hint, 1, 1, 1, 5);
    grid->addWidget(m_dateCheck, 2, 0);
    grid->addWidget(m_dateFrom, 2, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("≦"), this), 2, 3, Qt::AlignCenter);
    grid->addWidget(m_dateTo, 2, 4, 1, 2);
    grid->addWidget(m_sizeCheck, 3, 0);
    grid->addWidget(m_sizeBegin, 3, 1);
    grid->addWidget(m_unitBegin, 3, 2);
    grid->addWidget(new QLabel(QStringLiteral("≦"), this), 3, 3, Qt::AlignCenter);
    grid->addWidget(m_sizeEnd, 3, 4);
    grid->addWidget(m_unitEnd, 3, 5);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(4, 1);

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setDefault(true);
    m_release = new QPushButton(QStringLiteral("解除"), this);
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_release);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    connect(m_ok, &QPushButton::clicked, this, &DisplayFilterDialog::onOk);
    connect(m_release, &QPushButton::clicked, this, &DisplayFilterDialog::onRelease);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void DisplayFilterDialog::takeInput() {
    m_form.useMask = m_maskCheck->isChecked();
    m_form.maskText = m_masks->currentText().trimmed().toStdString();
    m_form.masks = itemsOf(m_masks);
    m_form.dateOn = m_dateCheck->isChecked();
    m_form.dateFrom = m_dateFrom->date();
    m_form.dateTo = m_dateTo->date();
    m_form.sizeOn = m_sizeCheck->isChecked();
    m_form.sizeBeginText = m_sizeBegin->currentText().trimmed().toStdString();
    m_form.sizeEndText = m_sizeEnd->currentText().trimmed().toStdString();
    m_form.sizeBeginItems = itemsOf(m_sizeBegin);
    m_form.sizeEndItems = itemsOf(m_sizeEnd);
    m_form.unitBegin = m_unitBegin->currentIndex();
    m_form.unitEnd = m_unitEnd->currentIndex();
}

void DisplayFilterDialog::onOk() {
    takeInput();
    // An inverted range keeps the dialog open without a message; the
    // cursor goes to the end that is out of order.
    switch (m_form.check()) {
    case DisplayFilterForm::Check::DateRangeInverted:
        m_dateTo->setFocus();
        return;
    case DisplayFilterForm::Check::SizeRangeInverted:
        m_sizeEnd->setFocus();
        return;
    case DisplayFilterForm::Check::Accepted:
        break;
    }
    m_chosen = m_form.accept(m_store);
    if (m_chosen)
        accept();
}

void DisplayFilterDialog::onRelease() {
    takeInput();
    m_chosen = m_form.release(m_store);
    accept();
}

std::optional<DisplayFilter> DisplayFilterDialog::ask(QWidget* parent, FolderDocument& document,
                                                      SettingsStore& store) {
    DisplayFilterDialog dialog(DisplayFilterForm::load(store, document.options()), store, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.chosen();
}

} // namespace vemra
