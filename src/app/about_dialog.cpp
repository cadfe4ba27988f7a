#include "app/about_dialog.h"

#include "app/manual_file.h"
#include "document/size_text.h"
#include "framework/message_box.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace vemra {
namespace {

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

QString formatted(const char* format, const std::string& value) {
    char line[256];
    std::snprintf(line, sizeof line, format, value.c_str());
    return QString::fromUtf8(line);
}

// A progress bar takes int ranges; memory figures are scaled to kilobytes
// (and further when even that would overflow) keeping their proportion.
void setBar(QProgressBar* bar, std::uint64_t total, std::uint64_t used) {
    while (total > 0x7fffffffULL) {
        total >>= 10;
        used >>= 10;
    }
    bar->setRange(0, static_cast<int>(std::max<std::uint64_t>(total, 1)));
    bar->setValue(static_cast<int>(std::min(used, total)));
}

// The xdg-open exit codes turned into the shell's codes: 2 the file was not
// found, 3 no tool to open it, 4 the handler failed.
int shellCodeOfXdgOpen(int exitCode) {
    switch (exitCode) {
    case 2:
        return 2;
    case 3:
        return 31;
    case 4:
        return 27;
    default:
        return exitCode;
    }
}

} // namespace

std::string homePageAddress() {
    const std::filesystem::path folder = QCoreApplication::applicationDirPath().toStdString();
    std::filesystem::path manual = findManual(folder);
    if (manual.empty()) {
        // Opening it then reports the missing file as every failed link does.
        manual = folder / kManualFileName;
    }
    return QUrl::fromLocalFile(QString::fromStdString(manual.string())).toString().toStdString();
}

int openHyperlink(const std::string& address) {
    const QUrl url(text(address));
    if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile())) {
        return 2;
    }
    if (QDesktopServices::openUrl(url)) {
        return 33;
    }
    // The desktop services said no: ask xdg-open directly for its reason,
    // falling back to the handler registered for web pages.
    QProcess process;
    process.start(QStringLiteral("xdg-open"), {url.toString()});
    if (!process.waitForStarted(5000)) {
        return 2;
    }
    if (!process.waitForFinished(10000)) {
        return 28;
    }
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0) {
        return 33;
    }
    return shellCodeOfXdgOpen(process.exitCode());
}

std::string memorySizeText(std::uint64_t bytes) {
    return sizeText(bytes, 1, 2);
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("バージョン情報"));
    auto* layout = new QVBoxLayout(this);

    auto* versions = new QGridLayout;
    const QString lines[] = {
        formatted("Vemra Version %s", programVersionText()),
        text(systemVersionText()),
        text(qtVersionText()),
        text(libcVersionText()),
    };
    int row = 0;
    for (const QString& line : lines) {
        auto* label = new QLabel(line, this);
        label->setObjectName(QStringLiteral("versionLine%1").arg(row));
        versions->addWidget(label, row++, 0, 1, 2);
    }
    layout->addLayout(versions);

    auto* memory = new QGridLayout;
    m_physical = new QLabel(this);
    m_physicalBar = new QProgressBar(this);
    m_physicalFree = new QLabel(this);
    m_virtual = new QLabel(this);
    m_virtualBar = new QProgressBar(this);
    m_virtualFree = new QLabel(this);
    for (QProgressBar* bar : {m_physicalBar, m_virtualBar}) {
        bar->setTextVisible(false);
        bar->setFixedHeight(12);
    }
    memory->addWidget(m_physical, 0, 0);
    memory->addWidget(m_physicalBar, 0, 1);
    memory->addWidget(m_physicalFree, 1, 0);
    memory->addWidget(m_virtual, 2, 0);
    memory->addWidget(m_virtualBar, 2, 1);
    memory->addWidget(m_virtualFree, 3, 0);
    layout->addLayout(memory);

    const QString address = text(homePageAddress());
    auto* link =
        new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(address.toHtmlEscaped()), this);
    link->setObjectName(QStringLiteral("homePage"));
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(link, &QLabel::linkActivated, this, &AboutDialog::onLinkActivated);
    layout->addWidget(link);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* close = buttons->addButton(QStringLiteral("閉じる"), QDialogButtonBox::AcceptRole);
    close->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);

    showMemory(currentMemoryStatus());
    // The figures follow the machine while the box is open.
    connect(&m_refresh, &QTimer::timeout, this, [this] { showMemory(currentMemoryStatus()); });
    m_refresh.start(1000);
}

void AboutDialog::showMemory(const MemoryStatus& status) {
    m_physical->setText(formatted("物理ﾒﾓﾘｻｲｽﾞ %s", memorySizeText(status.totalPhysical)));
    m_physicalFree->setText(formatted("空きﾒﾓﾘｻｲｽﾞ %s", memorySizeText(status.freePhysical)));
    m_virtual->setText(formatted("仮想ﾒﾓﾘｻｲｽﾞ %s", memorySizeText(status.totalVirtual)));
    m_virtualFree->setText(formatted("空きﾒﾓﾘｻｲｽﾞ %s", memorySizeText(status.freeVirtual)));
    setBar(m_physicalBar, status.totalPhysical, status.totalPhysical - status.freePhysical);
    setBar(m_virtualBar, status.totalVirtual, status.totalVirtual - status.freeVirtual);
}

bool AboutDialog::event(QEvent* event) {
    // Input and window events refresh the figures too, as each message the
    // box handled did; the timer covers the quiet times.
    if (!m_refreshing && m_physical != nullptr &&
        (event->type() == QEvent::KeyPress || event->type() == QEvent::MouseButtonPress ||
         event->type() == QEvent::WindowActivate)) {
        m_refreshing = true;
        showMemory(currentMemoryStatus());
        m_refreshing = false;
    }
    return QDialog::event(event);
}

void AboutDialog::onLinkActivated(const QString& link) {
    const int result = openHyperlink(link.toStdString());
    if (result <= 32) {
        showWarning(this, hyperlinkErrorText(result));
    }
}

} // namespace vemra
