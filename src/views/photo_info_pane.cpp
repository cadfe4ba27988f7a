#include "views/photo_info_pane.h"

#include "document/shooting_info.h"
#include "imaging/photo_metadata.h"

#include <QHBoxLayout>
#include <QLabel>

namespace vemra {

PhotoInfoPane::PhotoInfoPane(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("photoInfo"));
    // Readable over any picture: light text on a dark, half-transparent box.
    setStyleSheet(
        QStringLiteral("#photoInfo { background: rgba(0, 0, 0, 170); border-radius: 6px; }"
                       "#photoInfo QLabel { color: white; background: transparent; }"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 8, 10, 8);
    layout->setSpacing(12);
    m_labels = new QLabel(this);
    m_values = new QLabel(this);
    m_labels->setTextFormat(Qt::PlainText);
    m_values->setTextFormat(Qt::PlainText);
    m_labels->setAlignment(Qt::AlignRight | Qt::AlignTop);
    m_values->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(m_labels);
    layout->addWidget(m_values);
    hide();
}

void PhotoInfoPane::setMetadata(const PhotoMetadata& metadata) {
    QStringList labels;
    QStringList values;
    for (const ShootingItem& item : shootingInfo(metadata)) {
        labels << QString::fromStdString(item.label);
        values << QString::fromStdString(item.value);
    }
    if (labels.isEmpty()) {
        labels << QString();
        values << QStringLiteral("撮影情報がありません");
    }
    m_labels->setText(labels.join(QLatin1Char('\n')));
    m_values->setText(values.join(QLatin1Char('\n')));
    adjustSize();
}

QString PhotoInfoPane::text() const {
    const QStringList labels = m_labels->text().split(QLatin1Char('\n'));
    const QStringList values = m_values->text().split(QLatin1Char('\n'));
    QStringList lines;
    for (qsizetype i = 0; i < values.size(); ++i) {
        const QString label = i < labels.size() ? labels[i] : QString();
        lines << (label.isEmpty() ? values[i] : label + QStringLiteral("：") + values[i]);
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace vemra
