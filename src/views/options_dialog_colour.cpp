#include "views/options_dialog_colour.h"

#include "document/display_colours.h"
#include "views/options_dialog.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace vemra {

std::optional<std::string> displayProfileRefusal(const std::string& path) {
    if (path.empty())
        return std::nullopt;
    if (!path.starts_with('/'))
        return "ディスプレイのプロファイルはフルパスで指定してください";
    if (!DisplayColour::fromProfile(readColourProfileFile(path)))
        return "ディスプレイのプロファイルとして使用できないファイルです（RGBのICCプロファイル"
               "を指定してください）";
    return std::nullopt;
}

void OptionsDialog::buildColourPage() {
    auto* page = new QWidget(m_pages);
    auto* layout = new QVBoxLayout(page);
    layout->setAlignment(Qt::AlignTop);
    m_pages->addTab(page, QStringLiteral("カラー"));
    addCheck(page, "ColorManagement",
             QStringLiteral("埋め込まれたカラープロファイルに従って色を補正する(&C)"),
             m_initial.colorManagement);

    auto* row = new QWidget(page);
    auto* rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(0, 0, 0, 0);
    m_displayProfile = new QLineEdit(QString::fromStdString(m_initial.displayProfile), row);
    m_displayProfile->setMinimumWidth(260);
    auto* browse = new QPushButton(QStringLiteral("参照..."), row);
    rowLayout->addWidget(m_displayProfile, 1);
    rowLayout->addWidget(browse);
    QLineEdit* target = m_displayProfile;
    connect(browse, &QPushButton::clicked, row, [target, row] {
        const QString chosen = QFileDialog::getOpenFileName(
            row, QStringLiteral("ディスプレイのプロファイル"), target->text(),
            QStringLiteral("ICCプロファイル (*.icc *.icm *.ICC *.ICM);;すべてのファイル (*)"));
        if (!chosen.isEmpty())
            target->setText(chosen);
    });
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("ディスプレイのプロファイル"), row);
    form->addRow(QString(),
                 new QLabel(QStringLiteral("空欄: デスクトップの設定を使います（設定がなければ "
                                           "sRGB として扱います）"),
                            page));
    layout->addLayout(form);
    QCheckBox* managed = check("ColorManagement");
    const auto follow = [row](bool on) { row->setEnabled(on); };
    follow(managed->isChecked());
    connect(managed, &QCheckBox::toggled, row, follow);
}

} // namespace vemra
