#include "views/same_name_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace vemra {
namespace {

constexpr int kPaneSide = 160;

struct ActionText {
    SameNameAction action;
    const char* text;
};

constexpr ActionText kActions[] = {
    {SameNameAction::NewerOnly, "新しい日付のみ(&T)"},
    {SameNameAction::Overwrite, "上書き(&O)"},
    {SameNameAction::Skip, "スキップ(&S)"},
    {SameNameAction::Rename, "名前変更(&R)"},
    {SameNameAction::AutoNumber, "自動連番(&N)"},
    {SameNameAction::Larger, "大きなサイズ(&B)"},
};

QString fileNameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return QString::fromStdString(slash == std::string::npos ? path : path.substr(slash + 1));
}

} // namespace

SameNameAction SameNameDialog::preselection(Mode mode, int stored) {
    if (mode == Mode::Overwrite) {
        const bool kept = stored == 0 || stored == 2 || stored == 4 || stored == 5;
        return kept ? static_cast<SameNameAction>(stored) : SameNameAction::Overwrite;
    }
    // Renaming needs a name typed for this file; it is never preselected.
    const SameNameAction action = sameNameActionFrom(stored, SameNameAction::NewerOnly);
    return action == SameNameAction::Rename ? SameNameAction::NewerOnly : action;
}

SameNameDialog::SameNameDialog(QWidget* parent, Mode mode, const std::string& source,
                               const std::string& target, int preselected,
                               const std::string& autoFileFormat)
    : QDialog(parent), m_target(target), m_autoFileFormat(autoFileFormat) {
    const bool overwrite = mode == Mode::Overwrite;
    setWindowTitle(overwrite ? QStringLiteral("重ね書き")
                             : QStringLiteral("同名ファイルが存在しています"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral(" %1").arg(fileNameOf(source)), this));
    m_name = new QLineEdit(QString::fromStdString(target), this);
    m_name->setObjectName(QStringLiteral("name"));
    m_name->installEventFilter(this);
    layout->addWidget(m_name);

    auto* middle = new QHBoxLayout;
    auto* group = new QGroupBox(QStringLiteral("対処方法"), this);
    auto* radios = new QVBoxLayout(group);
    m_actions = new QButtonGroup(this);
    for (const ActionText& a : kActions) {
        auto* button = new QRadioButton(QString::fromUtf8(a.text), group);
        radios->addWidget(button);
        m_actions->addButton(button, static_cast<int>(a.action));
    }
    // Renaming is chosen by editing the name, not by the button.
    actionButton(SameNameAction::Rename)->setEnabled(false);
    middle->addWidget(group);
    middle->addWidget(
        makePane(overwrite ? QStringLiteral(" 保存データ") : QStringLiteral(" 転送元ファイル"),
                 m_pictures[0], m_sizes[0], m_pixels[0]));
    middle->addWidget(
        makePane(overwrite ? QStringLiteral(" 既存ファイル") : QStringLiteral(" 転送先ファイル"),
                 m_pictures[1], m_sizes[1], m_pixels[1]));
    layout->addLayout(middle);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    m_all = new QCheckBox(QStringLiteral("以降全て(&A)"), this);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_all);
    bottom->addStretch();
    bottom->addWidget(buttons);
    layout->addLayout(bottom);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    connect(m_actions, &QButtonGroup::idClicked, this,
            [this](int id) { chooseAction(static_cast<SameNameAction>(id)); });
    connect(m_name, &QLineEdit::textEdited, this, &SameNameDialog::nameEdited);
    chooseAction(preselection(mode, preselected));
}

QWidget* SameNameDialog::makePane(const QString& title, QLabel*& picture, QLabel*& size,
                                  QLabel*& pixels) {
    auto* pane = new QGroupBox(title, this);
    auto* layout = new QVBoxLayout(pane);
    picture = new QLabel(pane);
    picture->setFixedSize(kPaneSide, kPaneSide);
    picture->setAlignment(Qt::AlignCenter);
    picture->setFrameShape(QFrame::Panel);
    picture->setFrameShadow(QFrame::Sunken);
    size = new QLabel(pane);
    pixels = new QLabel(pane);
    layout->addWidget(picture);
    layout->addWidget(size);
    layout->addWidget(pixels);
    return pane;
}

void SameNameDialog::setPanes(const SameNamePane& source, const SameNamePane& target) {
    const SameNamePane* panes[] = {&source, &target};
    for (std::size_t i = 0; i < 2; ++i) {
        const QImage& image = panes[i]->picture;
        m_pictures[i]->setPixmap(
            image.isNull() ? QPixmap()
                           : QPixmap::fromImage(
                                 image.width() > kPaneSide - 4 || image.height() > kPaneSide - 4
                                     ? image.scaled(kPaneSide - 4, kPaneSide - 4,
                                                    Qt::KeepAspectRatio, Qt::SmoothTransformation)
                                     : image));
        m_sizes[i]->setText(panes[i]->sizeLine);
        m_pixels[i]->setText(panes[i]->pixelLine);
    }
}

QRadioButton* SameNameDialog::actionButton(SameNameAction action) const {
    return qobject_cast<QRadioButton*>(m_actions->button(static_cast<int>(action)));
}

bool SameNameDialog::applyToAll() const {
    return m_all->isEnabled() && m_all->isChecked();
}

std::string SameNameDialog::targetText() const {
    return m_name->text().toStdString();
}

void SameNameDialog::chooseAction(SameNameAction action) {
    m_action = action;
    if (QRadioButton* button = actionButton(action))
        button->setChecked(true);
    if (action == SameNameAction::Rename)
        return;
    const std::string name = action == SameNameAction::AutoNumber
                                 ? firstFreeNumberedName(m_autoFileFormat, m_target)
                                 : m_target;
    m_name->setText(QString::fromStdString(name));
    actionButton(SameNameAction::Rename)->setEnabled(false);
    m_all->setEnabled(true);
}

void SameNameDialog::nameEdited(const QString& text) {
    const bool renamed = text.toStdString() != m_target;
    if (renamed && m_action != SameNameAction::Rename) {
        m_beforeRename = m_action;
        m_action = SameNameAction::Rename;
        actionButton(SameNameAction::Rename)->setEnabled(true);
        actionButton(SameNameAction::Rename)->setChecked(true);
        // A typed name is for this file alone.
        m_all->setEnabled(false);
    } else if (!renamed && m_action == SameNameAction::Rename) {
        chooseAction(m_beforeRename);
    }
}

bool SameNameDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_name && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            focusNextChild();
            return true;
        }
        if (key == Qt::Key_Escape) {
            m_name->setText(QString::fromStdString(m_target));
            nameEdited(m_name->text());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace vemra
