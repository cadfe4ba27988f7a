#include "views/details_list_model.h"

#include "document/size_text.h"
#include "document/sort_rows.h"

#include <QFileIconProvider>
#include <QMimeDatabase>

#include <algorithm>
#include <ctime>

namespace vemra {
namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Cells are one line high: line breaks of notes and information texts
// would otherwise cut them off after the first line.
QString oneLine(std::string_view text) {
    QString line = fromUtf8(text);
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return line;
}

QString localTimeText(std::int64_t seconds) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (localtime_r(&time, &local) == nullptr)
        return {};
    char text[32];
    const std::size_t length = std::strftime(text, sizeof text, "%Y/%m/%d %H:%M:%S", &local);
    return QString::fromLatin1(text, static_cast<qsizetype>(length));
}

} // namespace

QString detailsCellText(const SortRow& row, int column) {
    switch (column) {
    case kSortBySize:
        return QString::fromStdString(groupedNumber(row.length));
    case kSortByDate:
        return localTimeText(row.lastWriteTime);
    case kSortByPixels:
        // Nothing is known of a picture not read yet: no "0x0 0bpp".
        if (row.width == 0 && row.height == 0 && row.bitCount == 0)
            return {};
        return QStringLiteral("%1x%2 %3bpp")
            .arg(static_cast<unsigned>(row.width))
            .arg(static_cast<unsigned>(row.height))
            .arg(static_cast<unsigned>(row.bitCount));
    case kSortByInfo:
    case kSortByNote:
        return oneLine(row.text(column));
    default:
        return fromUtf8(row.text(column));
    }
}

DetailsListModel::DetailsListModel(QObject* parent) : QAbstractTableModel(parent) {
    for (int column = 0; column < kSortColumnCount; ++column)
        m_headings[static_cast<std::size_t>(column)] = fromUtf8(sortHeading(column, 0));
}

int DetailsListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int DetailsListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kSortColumnCount;
}

QVariant DetailsListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const SortRow& row = m_rows[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return detailsCellText(row, index.column());
    case Qt::DecorationRole:
        return index.column() == kSortByName ? QVariant(iconFor(row)) : QVariant();
    case Qt::TextAlignmentRole:
        return index.column() == kSortBySize ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                             : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::ToolTipRole: {
        QString path = fromUtf8(row.text(kSortByFolder)) + QLatin1Char('/');
        if (!row.text(kSortByArchive).empty())
            path += fromUtf8(row.text(kSortByArchive)) + QLatin1Char('/');
        path += fromUtf8(row.text(kSortByName));
        if (!row.text(kSortByExtension).empty())
            path += QLatin1Char('.') + fromUtf8(row.text(kSortByExtension));
        return path;
    }
    default:
        return {};
    }
}

QVariant DetailsListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kSortColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return m_headings[static_cast<std::size_t>(section)];
    if (role == Qt::TextAlignmentRole)
        return section == kSortBySize ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                      : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags DetailsListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled |
           Qt::ItemNeverHasChildren;
}

void DetailsListModel::setRows(std::vector<SortRow> rows) {
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void DetailsListModel::replaceRow(int row, SortRow data) {
    if (row < 0 || row >= rowCount())
        return;
    m_rows[static_cast<std::size_t>(row)] = std::move(data);
    emit dataChanged(index(row, 0), index(row, kSortColumnCount - 1));
}

void DetailsListModel::appendRow(SortRow data) {
    const int row = rowCount();
    beginInsertRows({}, row, row);
    m_rows.push_back(std::move(data));
    endInsertRows();
}

bool DetailsListModel::removeRowsAt(std::vector<int> rows) {
    std::erase_if(rows, [this](int row) { return row < 0 || row >= rowCount(); });
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (rows.empty())
        return false;
    struct Run {
        int first;
        int last;
    };
    std::vector<Run> runs;
    for (const int row : rows) {
        if (!runs.empty() && runs.back().last + 1 == row)
            runs.back().last = row;
        else
            runs.push_back({row, row});
    }
    // Each step below moves every later row and the views' bookkeeping.
    constexpr std::size_t kRunsOneByOne = 16;
    if (runs.size() <= kRunsOneByOne) {
        for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
            beginRemoveRows({}, run->first, run->last);
            m_rows.erase(m_rows.begin() + run->first, m_rows.begin() + run->last + 1);
            endRemoveRows();
        }
        return false;
    }
    beginResetModel();
    std::size_t kept = 0;
    std::size_t next = 0;
    for (std::size_t row = 0; row < m_rows.size(); ++row) {
        if (next < rows.size() && static_cast<std::size_t>(rows[next]) == row) {
            ++next;
            continue;
        }
        if (kept != row)
            m_rows[kept] = std::move(m_rows[row]);
        ++kept;
    }
    m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(kept), m_rows.end());
    endResetModel();
    return true;
}

void DetailsListModel::sortBy(std::span<const SortKey> keysNewestFirst) {
    beginResetModel();
    sortRows(m_rows, keysNewestFirst);
    endResetModel();
}

void DetailsListModel::setHeadings(const std::array<QString, kSortColumnCount>& headings) {
    for (int column = 0; column < kSortColumnCount; ++column) {
        const auto c = static_cast<std::size_t>(column);
        if (m_headings[c] != headings[c]) {
            m_headings[c] = headings[c];
            emit headerDataChanged(Qt::Horizontal, column, column);
        }
    }
}

const QString& DetailsListModel::heading(int column) const {
    static const QString none;
    if (column < 0 || column >= kSortColumnCount)
        return none;
    return m_headings[static_cast<std::size_t>(column)];
}

// The icon depends on the type only: asking the system per file costs too
// much in large folders, so it is looked up by the name's extension once.
QIcon DetailsListModel::iconFor(const SortRow& row) const {
    const QString suffix = fromUtf8(row.text(kSortByExtension)).toLower();
    if (const auto found = m_icons.constFind(suffix); found != m_icons.constEnd())
        return *found;
    static const QFileIconProvider provider;
    const QMimeType type = QMimeDatabase().mimeTypeForFile(QStringLiteral("x.") + suffix,
                                                           QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(type.genericIconName());
    if (icon.isNull())
        icon = provider.icon(QFileIconProvider::File);
    m_icons.insert(suffix, icon);
    return icon;
}

} // namespace vemra
