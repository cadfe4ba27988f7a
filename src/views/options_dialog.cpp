#include "views/options_dialog.h"

#include "views/options_dialog_colour.h"

#include "framework/command_id.h"
#include "framework/message_box.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace vemra {
namespace {

constexpr int kFirstExternalApp = 20000;
constexpr int kLastExternalApp = 20099;
constexpr int kLargestSyncFileCount = 1000000;
constexpr std::string_view kExeDir = "$(ExeDir)";

QWidget* newPage(QTabWidget* pages, const QString& title) {
    auto* page = new QWidget(pages);
    auto* layout = new QVBoxLayout(page);
    layout->setAlignment(Qt::AlignTop);
    pages->addTab(page, title);
    return page;
}

// A line edit with a "参照..." button that picks a folder into it.
QWidget* folderField(QLineEdit*& edit, const std::string& text, const QString& caption,
                     QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    edit = new QLineEdit(QString::fromStdString(text), row);
    edit->setMinimumWidth(260);
    auto* browse = new QPushButton(QStringLiteral("参照..."), row);
    layout->addWidget(edit, 1);
    layout->addWidget(browse);
    QLineEdit* target = edit;
    QObject::connect(browse, &QPushButton::clicked, row, [target, caption, row] {
        const QString chosen = QFileDialog::getExistingDirectory(row, caption, target->text());
        if (!chosen.isEmpty())
            target->setText(chosen);
    });
    return row;
}

// Whether `folder` is usable as a folder setting: "$(ExeDir)" at its start
// stands for the program's folder; anything else must be an absolute path.
bool absoluteOrExeDir(std::string_view folder) {
    return folder.starts_with(kExeDir) || folder.starts_with('/');
}

} // namespace

std::vector<OptionsDialog::Choice>
OptionsDialog::doubleClickChoices(const std::vector<std::string>& appTitles) {
    std::vector<Choice> choices{{kCmdOpenViewer, QStringLiteral(" 内蔵ビューアで表示")},
                                {kCmdFullScreen, QStringLiteral(" 全画面で表示")},
                                {kCmdRunAssociated, QStringLiteral(" 関連付けに従い実行")}};
    int id = kFirstExternalApp;
    for (const std::string& title : appTitles) {
        if (id > kLastExternalApp)
            break;
        choices.emplace_back(id++, QStringLiteral(" ") + QString::fromStdString(title));
    }
    return choices;
}

OptionsDialog::OptionsDialog(const BehaviourOptions& values, std::vector<Choice> choices,
                             QWidget* parent)
    : QDialog(parent), m_initial(values), m_choices(std::move(choices)) {
    setObjectName(QStringLiteral("optionsDialog"));
    setWindowTitle(QStringLiteral("動作設定"));
    m_pages = new QTabWidget(this);
    // Every page's title in view: the dialog grows to show them all.
    m_pages->setUsesScrollButtons(false);
    buildOpeningPage();
    buildScanningPage();
    buildCachePage();
    buildFilesPage();
    buildFoldersPage();
    buildViewerPage();
    buildPhotoPage();
    buildColourPage();

    auto* buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    connect(m_ok, &QPushButton::clicked, this, &OptionsDialog::onOk);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pages);
    layout->addWidget(buttons);
}

QCheckBox* OptionsDialog::addCheck(QWidget* page, const char* key, const QString& text, bool on) {
    auto* box = new QCheckBox(text, page);
    box->setObjectName(QString::fromLatin1(key));
    box->setChecked(on);
    page->layout()->addWidget(box);
    return box;
}

QCheckBox* OptionsDialog::check(const char* key) const {
    return findChild<QCheckBox*>(QString::fromLatin1(key));
}

void OptionsDialog::buildOpeningPage() {
    QWidget* page = newPage(m_pages, QStringLiteral("起動・表示"));
    m_doubleClick = new QComboBox(page);
    int current = -1;
    for (const auto& [id, text] : m_choices) {
        if (id == m_initial.idViewer)
            current = m_doubleClick->count();
        m_doubleClick->addItem(text, id);
    }
    // A stored command no choice names any more (an application removed
    // since) is kept as it is rather than changed behind the user's back.
    if (current < 0) {
        current = m_doubleClick->count();
        m_doubleClick->addItem(QStringLiteral(" (コマンド %1)").arg(m_initial.idViewer),
                               m_initial.idViewer);
    }
    m_doubleClick->setCurrentIndex(current);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("ダブルクリック時の動作(&W):"), m_doubleClick);
    static_cast<QVBoxLayout*>(page->layout())->addLayout(form);
    addCheck(page, "RestoreFolder", QStringLiteral("前回終了時のフォルダを開く(&R)"),
             m_initial.restoreFolder);
    auto* homeForm = new QFormLayout;
    homeForm->addRow(
        QStringLiteral("起動時のフォルダ(&H):"),
        folderField(m_homeFolder, m_initial.homeFolder, QStringLiteral("起動時のフォルダ"), page));
    homeForm->addRow(
        QString(),
        new QLabel(QStringLiteral("空欄: カレントフォルダ、$(ExeDir): プログラムのフォルダ"),
                   page));
    static_cast<QVBoxLayout*>(page->layout())->addLayout(homeForm);
}

void OptionsDialog::buildScanningPage() {
    QWidget* page = newPage(m_pages, QStringLiteral("フォルダ読み込み"));
    addCheck(page, "DownScan", QStringLiteral("サブフォルダのファイルも表示対象(&F)"),
             m_initial.downScan);
    addCheck(page, "ScanSPI", QStringLiteral("プラグインで読めるファイルだけを表示する(&P)"),
             m_initial.scanSpi);
    QCheckBox* syncFind =
        addCheck(page, "SyncFind", QStringLiteral("検索しながら表示する(&S)"), m_initial.syncFind);
    m_syncFileCount = new QSpinBox(page);
    m_syncFileCount->setRange(0, kLargestSyncFileCount);
    m_syncFileCount->setValue(std::clamp(m_initial.syncFileCount, 0, kLargestSyncFileCount));
    m_syncFileCount->setSuffix(QStringLiteral(" ファイル"));
    m_syncFileCount->setEnabled(m_initial.syncFind);
    connect(syncFind, &QCheckBox::toggled, m_syncFileCount, &QWidget::setEnabled);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("　表示を始めるファイル数(&N):"), m_syncFileCount);
    static_cast<QVBoxLayout*>(page->layout())->addLayout(form);
    addCheck(page, "SyncJump", QStringLiteral("表示位置を他のビューに知らせる(&J)"),
             m_initial.syncJump);
    addCheck(page, "Synchronous", QStringLiteral("表示の同期(&Y)"), m_initial.synchronous);
}

void OptionsDialog::buildCachePage() {
    QWidget* page = newPage(m_pages, QStringLiteral("サムネイル情報"));
    addCheck(page, "CacheFolder", QStringLiteral("サムネイル情報を優先する(&P)"),
             m_initial.cacheFolder);
    addCheck(page, "AutoCacheFolder", QStringLiteral("サムネイル情報を自動保存する(&A)"),
             m_initial.autoCacheFolder);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("サムネイル情報保存フォルダ(&F)："),
                 folderField(m_cacheDataFolder, m_initial.cacheDataFolder,
                             QStringLiteral("サムネイル情報保存フォルダ"), page));
    form->addRow(
        QString(),
        new QLabel(QStringLiteral("空欄: 画像のフォルダに保存します（_THUMBS_.KPI）"), page));
    static_cast<QVBoxLayout*>(page->layout())->addLayout(form);
}

void OptionsDialog::buildFilesPage() {
    QWidget* page = newPage(m_pages, QStringLiteral("ファイル操作"));
    addCheck(page, "TrashCan", QStringLiteral("削除したファイルをごみ箱に移動する(&T)"),
             m_initial.trashCan);
    addCheck(page, "DELQA", QStringLiteral("削除の確認をしない(&Q)"), m_initial.delqa);
    addCheck(page, "DaDMOVE", QStringLiteral("D&&Dの標準を移動にする(&M)"), m_initial.dadMove);
    addCheck(page, "ClipboardCopyTEXT",
             QStringLiteral("コピー時にパス名をテキストとしてクリップボードに入れる(&X)"),
             m_initial.clipboardCopyText);
    addCheck(page, "ClipboardCopyDIB", QStringLiteral("コピー時に画像をクリップボードに入れる(&B)"),
             m_initial.clipboardCopyDib);
}

void OptionsDialog::buildFoldersPage() {
    QWidget* page = newPage(m_pages, QStringLiteral("フォルダツリー"));
    m_shellTree = new QRadioButton(QStringLiteral("デスクトップ形式のツリー(&D)"), page);
    m_driveTree = new QRadioButton(QStringLiteral("ドライブ形式のツリー(&V)"), page);
    (m_initial.shellTree ? m_shellTree : m_driveTree)->setChecked(true);
    page->layout()->addWidget(m_shellTree);
    page->layout()->addWidget(m_driveTree);
    addCheck(page, "FolderMonitor", QStringLiteral("表示中のフォルダを監視する(&W)"),
             m_initial.folderMonitor);
    addCheck(page, "Monitoring",
             QStringLiteral("ドライブ形式のツリーでフォルダの変更を監視する(&M)"),
             m_initial.monitoring);
}

void OptionsDialog::buildViewerPage() {
    QWidget* page = newPage(m_pages, QStringLiteral("ビューア"));
    addCheck(page, "MultiPicView", QStringLiteral("画像を常に新しいウインドウで開く(&N)"),
             m_initial.multiPicView);
    addCheck(page, "Stay", QStringLiteral("フォルダを移ってもビューアを閉じない(&S)"),
             m_initial.stay);
    addCheck(page, "TopMost", QStringLiteral("ビューアを常に手前に表示する(&T)"),
             m_initial.topMost);
}

void OptionsDialog::buildPhotoPage() {
    QWidget* page = newPage(m_pages, QStringLiteral("写真"));
    addCheck(page, "AutoRotate", QStringLiteral("撮影時の向きに合わせて回転する(&O)"),
             m_initial.autoRotate);
    addCheck(page, "ExifThumbnailFirst",
             QStringLiteral("サムネイル作成までカメラの縮小画像を表示する(&E)"),
             m_initial.exifThumbnailFirst);
    addCheck(page, "SortDateTaken", QStringLiteral("日付の並べ替えに撮影日時を使う(&D)"),
             m_initial.sortDateTaken);
}

BehaviourOptions OptionsDialog::values() const {
    BehaviourOptions v = m_initial;
    v.idViewer = m_doubleClick->currentData().toInt();
    v.homeFolder = m_homeFolder->text().trimmed().toStdString();
    v.cacheDataFolder = m_cacheDataFolder->text().trimmed().toStdString();
    v.displayProfile = m_displayProfile->text().trimmed().toStdString();
    v.syncFileCount = m_syncFileCount->value();
    v.shellTree = m_shellTree->isChecked();
    const std::pair<const char*, bool BehaviourOptions::*> flags[] = {
        {"RestoreFolder", &BehaviourOptions::restoreFolder},
        {"DownScan", &BehaviourOptions::downScan},
        {"ScanSPI", &BehaviourOptions::scanSpi},
        {"SyncFind", &BehaviourOptions::syncFind},
        {"SyncJump", &BehaviourOptions::syncJump},
        {"Synchronous", &BehaviourOptions::synchronous},
        {"CacheFolder", &BehaviourOptions::cacheFolder},
        {"AutoCacheFolder", &BehaviourOptions::autoCacheFolder},
        {"TrashCan", &BehaviourOptions::trashCan},
        {"DELQA", &BehaviourOptions::delqa},
        {"DaDMOVE", &BehaviourOptions::dadMove},
        {"ClipboardCopyTEXT", &BehaviourOptions::clipboardCopyText},
        {"ClipboardCopyDIB", &BehaviourOptions::clipboardCopyDib},
        {"FolderMonitor", &BehaviourOptions::folderMonitor},
        {"Monitoring", &BehaviourOptions::monitoring},
        {"MultiPicView", &BehaviourOptions::multiPicView},
        {"Stay", &BehaviourOptions::stay},
        {"TopMost", &BehaviourOptions::topMost},
        {"AutoRotate", &BehaviourOptions::autoRotate},
        {"ExifThumbnailFirst", &BehaviourOptions::exifThumbnailFirst},
        {"SortDateTaken", &BehaviourOptions::sortDateTaken},
        {"ColorManagement", &BehaviourOptions::colorManagement},
    };
    for (const auto& [key, member] : flags)
        v.*member = check(key)->isChecked();
    return v;
}

std::optional<QString> OptionsDialog::refusal(const BehaviourOptions& v) {
    if (!v.homeFolder.empty()) {
        if (!absoluteOrExeDir(v.homeFolder))
            return QStringLiteral("起動時のフォルダはフルパスで指定してください");
        if (!v.homeFolder.starts_with(kExeDir) &&
            !QFileInfo(QString::fromStdString(v.homeFolder)).isDir())
            return QStringLiteral("起動時のフォルダが見つかりません");
    }
    if (!v.cacheDataFolder.empty()) {
        if (!absoluteOrExeDir(v.cacheDataFolder))
            return QStringLiteral("サムネイル情報保存フォルダはフルパスで指定してください");
        // A missing folder is made when the first thumbnail is stored; a
        // file in its place could never hold one.
        const QFileInfo info(QString::fromStdString(v.cacheDataFolder));
        if (!v.cacheDataFolder.starts_with(kExeDir) && info.exists() && !info.isDir())
            return QStringLiteral("サムネイル情報保存フォルダにファイルが指定されています");
    }
    if (const auto why = displayProfileRefusal(v.displayProfile))
        return QString::fromStdString(*why);
    return std::nullopt;
}

void OptionsDialog::onOk() {
    if (const auto why = refusal(values())) {
        showWarning(this, why->toStdString());
        return;
    }
    accept();
}

} // namespace vemra
