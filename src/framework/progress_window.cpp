#include "framework/progress_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace vemra {

namespace {

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

ProgressWindow::ProgressWindow(QWidget* owner, std::string_view title)
    : QDialog(owner), m_text(new QLabel(this)), m_bar(new QProgressBar(this)),
      m_percent(new QLabel(this)), m_cancel(new QPushButton(QStringLiteral("中止"), this)) {
    setWindowTitle(title.empty() ? QStringLiteral("実行中") : toQString(title));
    setWindowModality(owner ? Qt::WindowModal : Qt::NonModal);
    m_text->setMinimumWidth(320);
    m_text->setTextFormat(Qt::PlainText);
    m_bar->setTextVisible(false);
    m_percent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_percent->setMinimumWidth(m_percent->fontMetrics().horizontalAdvance(QStringLiteral("100%")));

    auto* barRow = new QHBoxLayout;
    barRow->addWidget(m_bar, 1);
    barRow->addWidget(m_percent);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    buttonRow->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addLayout(barRow);
    layout->addLayout(buttonRow);

    connect(m_cancel, &QPushButton::clicked, this, [this] { requestCancel(); });
    showState();
}

ProgressWindow::~ProgressWindow() = default;

void ProgressWindow::setBlocksOwner(bool blocks) {
    setWindowModality(blocks && parentWidget() ? Qt::WindowModal : Qt::NonModal);
}

void ProgressWindow::setTitle(std::string_view title) {
    if (!title.empty())
        setWindowTitle(toQString(title));
    pumpEvents();
}

void ProgressWindow::setText(std::string_view text) {
    m_text->setText(toQString(text));
    pumpEvents();
}

QString ProgressWindow::text() const {
    return m_text->text();
}

void ProgressWindow::setRange(int lower, int upper) {
    m_lower = lower;
    m_upper = std::max(lower, upper);
    m_position = std::clamp(m_position, m_lower, m_upper);
    refresh();
}

void ProgressWindow::setStep(int step) {
    m_step = step;
}

void ProgressWindow::setPosition(int position) {
    m_position = std::clamp(position, m_lower, m_upper);
    refresh();
}

void ProgressWindow::offsetPosition(int delta) {
    setPosition(static_cast<int>(
        std::clamp<long long>(static_cast<long long>(m_position) + delta, m_lower, m_upper)));
}

void ProgressWindow::stepIt() {
    offsetPosition(m_step);
}

int ProgressWindow::percent() const {
    // An empty range has nothing left to do.
    const long long span = static_cast<long long>(m_upper) - m_lower;
    if (span <= 0)
        return m_position >= m_upper ? 100 : 0;
    const long long done = static_cast<long long>(m_position) - m_lower;
    return static_cast<int>(std::clamp(done * 100 / span, 0LL, 100LL));
}

QString ProgressWindow::percentText() const {
    return QString::number(percent()) + QLatin1Char('%');
}

bool ProgressWindow::checkCancelButton() {
    pumpEvents();
    const bool cancelled = m_cancelled;
    m_cancelled = false;
    return cancelled;
}

void ProgressWindow::reject() {
    requestCancel();
}

void ProgressWindow::closeEvent(QCloseEvent* event) {
    if (event->spontaneous()) {
        requestCancel();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void ProgressWindow::refresh() {
    showState();
    pumpEvents();
}

void ProgressWindow::showState() {
    // The bar works on a 0-based range of at most int's width.
    const long long span = static_cast<long long>(m_upper) - m_lower;
    const int barMax = static_cast<int>(std::min<long long>(span, 1'000'000'000LL));
    m_bar->setRange(0, std::max(barMax, 1));
    const long long done = static_cast<long long>(m_position) - m_lower;
    m_bar->setValue(span > 0 ? static_cast<int>(done * barMax / span)
                             : (m_position >= m_upper ? 1 : 0));
    m_percent->setText(percentText());
}

void ProgressWindow::pumpEvents() {
    QCoreApplication::processEvents();
}

} // namespace vemra
